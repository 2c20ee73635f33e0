#ifndef QAVTasOptimizerParameters_H
#define QAVTasOptimizerParameters_H

#include "QAVITasAnalysis.h"
#include "QAVITasDisplayResults.h"
#include "QAVListValQAVBaseUnknown_var.h"
#include "QAVMathIntGAOptimizer.h"
#include "QAVRawCollPV.h"
#include "QAVRawColldouble.h"
#include "QAVRawCollint.h"
#include "QAVTasOptimizerExport.h"

#include <cstdint>
#include <cstdio>
#include <memory>

class QAVTasGenomeIndex;
struct QAVMSHNode;

// Places the construction points of a tolerance analysis so that the analysis result, the sum
// of the absolute result values, is smallest.
//
// Genome: one gene 0..10 per parameter-driven point (a point on a curve or between points),
// setting its parameter to gene * (hi - lo) / 10.0, then one gene per point on a plane or
// surface: the index of the mesh node its reference point is moved to (coordinates * 0.001).
// Every genome evaluated is cached with its fitness for the object's life, and logged to the
// genome log "E:\Temp\GeneratedGenomes.txt" (see QAVTasUIServices for where that lands).
//
// Failures are reported through the error record; a failed evaluation returns _ErrorFitness,
// which grows by 1.0 on every failure so failed genomes never tie.
// It evaluates in one thread, in turn: its runs set one thread and no batch evaluator.
class QAV_TASOPT_API QAVTasOptimizerParameters : public QAVMathIntGAOptimizer
{
public:
  QAVTasOptimizerParameters();
  // Sorts iFeatures (two bounds each in iBounds, lower then upper) into parameter genes and
  // mesh-node genes; stops at the first feature that fails, reporting it.
  QAVTasOptimizerParameters(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults,
                            QAVListValQAVBaseUnknown_var& iFeatures, QAVRawColldouble& iBounds);
  // From knowledge parameters: each one is matched with the point feature it drives; the
  // parameters that drive none are kept in _UnmatchedParameters.
  QAVTasOptimizerParameters(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults,
                            QAVListValQAVBaseUnknown_var*& iParameters, QAVRawColldouble& iBounds);
  ~QAVTasOptimizerParameters() override;

  // Where Optimize writes its genome log (QAVTasUIServices::QAVTasMapPath tells where it lands).
  static constexpr const char* _GenomeLogPath = "E:\\Temp\\GeneratedGenomes.txt";

  // Runs the search and applies the best genome found to the analysis; S_OK or E_FAIL.
  HRESULT Optimize();
  double EvalFitness(std::int32_t iCount, std::int32_t* ipX) override;
  // 1 (and oFitness) if a genome equal to the iCount genes of ipX is cached, else 0.
  std::int32_t AlreadyComputed(const std::int32_t iCount, const std::int32_t* ipX, double& oFitness);

  QAVListValQAVBaseUnknown_var _ParameterFeatures;
  QAVListValQAVBaseUnknown_var _Parameters;
  QAVRawColldouble _Bounds;
  QAVRawCollint _StepCounts;
  QAVListValQAVBaseUnknown_var _UnmatchedParameters;
  QAVRawColldouble _UnmatchedBounds;
  QAVListValQAVBaseUnknown_var _CoordPoints;
  QAVRawCollint _NodeCounts;
  QAVRawCollPV _NodeArrays;
  QAVITasAnalysis* _piAnalysis;
  QAVITasDisplayResults* _piResults;
  QAVRawCollPV _CachedGenomes;
  QAVRawColldouble _CachedFitness;
  FILE* _pFile;
  double _ErrorFitness;
  unsigned char _EvalFailed;

protected:
  // Appends a copy of the iCount genes of ipX with its fitness to the cache.
  void CacheGenome(std::int32_t iCount, const std::int32_t* ipX, double iFitness);

private:
  struct Sites;
  typedef void (*Reporter)(std::int32_t iKind, const char* iText, std::int32_t iLine);

  void ClassifyFeatures();
  void HoldServices(QAVITasAnalysis* iAnalysis, QAVITasDisplayResults* iResults);
  double GeneValue(std::int32_t iParameter, std::int32_t iGene);
  bool ValuateParameter(std::int32_t iParameter, double iValue, std::int32_t iLine, Reporter iReport);
  bool PlaceOnNode(std::int32_t iPoint, std::int32_t iNodeIndex, const Sites& iSites, Reporter iReport,
                   const QAVMSHNode*& opNode);
  bool ApplyGenome(const std::int32_t* ipX);
  bool ReadResults(double& oFitness);
  HRESULT ApplyBestGenome(const std::int32_t* ipBest);
  void OpenLog();
  void Log(const char* iFormat, ...) __attribute__((format(printf, 2, 3)));
  double LogFitness(double iFitness);
  double FailEvaluation();

  std::unique_ptr<QAVTasGenomeIndex> _pGenomeIndex;
};

#endif
