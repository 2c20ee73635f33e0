#ifndef QAVTasMemAnalysis_H
#define QAVTasMemAnalysis_H

#include "QAVBaseUnknown_var.h"
#include "QAVISpecUpdate.h"
#include "QAVITasAnalysis.h"
#include "QAVITasDisplayResults.h"
#include "QAVPlatformExport.h"
#include "QAVTasMemFeature.h"

#include <array>
#include <string>
#include <vector>

// In-memory tolerance analysis with a linear stack-up model.
//
// The analysis has requirements r = 1..R. Each has a nominal value n_r and contributions
// (p, s): a parameter p (a knowledge parameter or a coordinate of a point) with sensitivity s.
// Update computes every requirement's value
//     v_r = n_r + sum over its contributions of s * value(p)
// and the results are the v_r, in requirement order. With one contribution per requirement,
// sum |v_r| is smallest, 0, when every parameter sits at -n_r / s: that is the known best
// placement a run can be checked against.
//
// Update fails (returns 1, and leaves no result) when a parameter of the analysis is outside
// its valid range, since the geometry cannot be built there; results are only available after
// a successful update. The analysis owns every object built through it.
class QAV_PLATFORM_API QAVTasMemAnalysis : public QAVITasAnalysis, public QAVISpecUpdate, public QAVITasDisplayResults
{
public:
  QAVTasMemAnalysis() = default;

  HRESULT QueryInterface(const QAVIID& iIID, void** oppObject) override;
  HRESULT PrepareAnalysis(std::int32_t iMode) override;
  HRESULT Update(const QAVIDomain_var& iDomain) override;
  HRESULT GetResults(const QAVTasImageOptions& iOptions, QAVBaseUnknown_var& oResultSet, std::int32_t& oCount,
                     float*& oValues, std::int32_t*& oRequirements, double*& oNominals) override;

  // Building the model; the objects returned are owned by the analysis.
  QAVTasMemParameter* AddParameter(const std::string& iName, double iValue, double iMin, double iMax);
  QAVTasMemPoint* AddPoint(double iX, double iY, double iZ);
  QAVTasMemSupport* AddSupport(const std::vector<std::array<double, 3>>& iNodeCoordinates);
  QAVTasMemFeature* AddFeature(QAVTasMemFeature::Kind iKind, QAVTasMemParameter* ipParameter);
  QAVTasMemFeature* AddFeature(QAVTasMemFeature::Kind iKind, QAVISpecObject* ipSupport, QAVTasMemPoint* ipPoint);
  // Returns the new requirement's number (1-based).
  std::int32_t AddRequirement(double iNominal);
  void AddContribution(std::int32_t iRequirement, QAVTasMemParameter* ipParameter, double iSensitivity);

  std::int32_t PreparationCount() const { return _PreparationCount; }
  std::int32_t UpdateCount() const { return _UpdateCount; }
  std::int32_t ResultQueryCount() const { return _ResultQueryCount; }
  // Values of the last successful update, empty if none.
  const std::vector<double>& Values() const { return _Values; }

private:
  struct Contribution
  {
    QAVTasMemParameter* _pParameter;
    double _Sensitivity;
  };
  struct Requirement
  {
    double _Nominal;
    std::vector<Contribution> _Contributions;
  };

  template <class T>
  T* Keep(T* ipObject);

  std::vector<QAVBaseUnknown_var> _Objects;
  std::vector<QAVTasMemParameter*> _Parameters;
  std::vector<Requirement> _Requirements;
  std::vector<double> _Values;
  bool _HasResults = false;
  std::int32_t _PreparationCount = 0;
  std::int32_t _UpdateCount = 0;
  std::int32_t _ResultQueryCount = 0;
};

#endif
