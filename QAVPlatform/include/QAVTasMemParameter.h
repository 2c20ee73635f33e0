#ifndef QAVTasMemParameter_H
#define QAVTasMemParameter_H

#include "QAVIKwpParm.h"
#include "QAVISpecAttrAccess.h"
#include "QAVPlatformExport.h"

#include <limits>
#include <string>
#include <vector>

// In-memory knowledge parameter. Its valid range is where the geometry it drives can be
// built; a value outside it makes the analysis update fail. Through QAVISpecAttrAccess it
// lists the point features it drives.
class QAV_PLATFORM_API QAVTasMemParameter : public QAVIKwpParm, public QAVISpecAttrAccess
{
public:
  QAVTasMemParameter(std::string iName, double iValue, double iMin = -std::numeric_limits<double>::infinity(),
                     double iMax = std::numeric_limits<double>::infinity());

  HRESULT QueryInterface(const QAVIID& iIID, void** oppObject) override;
  HRESULT Valuate(double iValue) override;
  double Value() const override { return _Value; }
  QAVListValQAVBaseUnknown_var* ListAttributes(const QAVIID& iIID, std::int32_t iFlags, std::int32_t iDepth) override;

  const std::string& Name() const { return _Name; }
  bool IsValid() const { return _Value >= _Min && _Value <= _Max; }
  std::int32_t ValuationCount() const { return _ValuationCount; }

  // Features driven by this parameter register themselves; the parameter does not hold a
  // reference on them (they hold one on it).
  void AddDriven(QAVBaseUnknown* ipFeature);
  void RemoveDriven(QAVBaseUnknown* ipFeature);

private:
  std::string _Name;
  double _Value;
  double _Min;
  double _Max;
  std::int32_t _ValuationCount = 0;
  std::vector<QAVBaseUnknown*> _Driven;
};

#endif
