// Places a construction point with the analysis-parameter optimiser, on the platform's
// in-memory analysis.
#include "QAVListValQAVBaseUnknown_var.h"
#include "QAVRawColldouble.h"
#include "QAVTasMemAnalysis.h"
#include "QAVTasOptimizerParameters.h"

#include <cmath>
#include <cstdio>

int main()
{
  // README: parameters
  // One point on a curve, driven by the parameter Offset in [0, 5]; the analysis result is
  // |Offset - 2|, so the optimiser should set Offset to 2.
  QAVTasMemAnalysis* analysis = new QAVTasMemAnalysis; // reference counted: Release() below
  QAVTasMemParameter* offset = analysis->AddParameter("Offset", 0.0, 0.0, 5.0);
  QAVListValQAVBaseUnknown_var features;
  QAVRawColldouble bounds; // lower then upper bound per feature
  features.Append(analysis->AddFeature(QAVTasMemFeature::Kind::Curve, offset));
  bounds.Append(0.0);
  bounds.Append(5.0);
  analysis->AddContribution(analysis->AddRequirement(-2.0), offset, 1.0);

  HRESULT status = E_FAIL;
  {
    QAVTasOptimizerParameters optimizer(analysis, analysis, features, bounds);
    optimizer.SetMaxNumber(20);
    status = optimizer.Optimize(); // evaluates each new placement once, applies the best
  }
  std::printf("Offset = %g\n", offset->Value());
  const bool placed = status == S_OK && std::fabs(offset->Value() - 2.0) < 1e-9;
  analysis->Release();
  // README end
  return placed ? 0 : 1;
}
