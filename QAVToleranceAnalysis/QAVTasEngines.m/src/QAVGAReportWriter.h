#ifndef QAVGAReportWriter_H
#define QAVGAReportWriter_H

// Internal to the two engines: the layout of their reports, written once. Each engine passes
// its own texts and a sink for its own stream; failure lines always go to std::cout.
//
// Sink requirements: Text(const char*), Value(v), Value(v, width), EndLine(),
// Repeat(const char* text, std::int32_t count).

#include <cstdint>
#include <iostream>

namespace QAVGAReportDetail
{
struct Texts
{
  const char* populationSize; // " QAV...Population size       = "
  const char* generations;    // " Number of QAV...Optimizers  = "
  const char* statistics;     // "__________Initial QAV...Optimizer statistics____________"
  const char* initialMaximum; // " Initial QAV...Population maximum fitness = "
  const char* initialMinimum; // " Initial QAV...Population minimum fitness = "
  const char* reportTitle;    // "QAV...Population report"
  const char* generation;     // "QAV...Optimizer "
  const char* note;           // " Note : QAV...Optimizer "
  const char* individual;     // "  (QAV...Individual = "
  const char* populationGone; // when a population is missing; null: treated as no individuals
  const char* parentsGone;    // when the parents have no individuals
  const char* childrenGone;   // when the children have no individuals
};

constexpr std::int32_t kRuler = 79;

inline void Fail(const char* iText)
{
  std::cout << iText << std::endl;
}

template <class Sink>
void Ruler(Sink& ioOut)
{
  ioOut.Repeat("-", kRuler);
  ioOut.EndLine();
}

template <class Sink, class Value>
void Labelled(Sink& ioOut, const char* iLabel, Value iValue, int iWidth)
{
  ioOut.Text(iLabel);
  ioOut.Value(iValue, iWidth);
  ioOut.EndLine();
}

template <class Sink, class Population>
void WriteInitReport(Sink& ioOut, const Texts& iTexts, const Population* iOld, std::int32_t iPopulationSize,
                     std::int32_t iNumParams, std::int32_t iMaxGenerations, double iCross, double iMutat)
{
  ioOut.Text("__________Simple GA parameters_____________________");
  ioOut.EndLine();
  ioOut.EndLine();
  Labelled(ioOut, iTexts.populationSize, iPopulationSize, 4);
  Labelled(ioOut, " Chromosome length        = ", iNumParams, 4);
  Labelled(ioOut, iTexts.generations, iMaxGenerations, 4);
  Labelled(ioOut, " Crossover value          = ", iCross, 15);
  Labelled(ioOut, " Mutation  value          = ", iMutat, 15);
  ioOut.EndLine();
  ioOut.Text(iTexts.statistics);
  ioOut.EndLine();
  ioOut.EndLine();
  // Before any run there are no statistics to show.
  if (iOld == nullptr)
    return;
  Labelled(ioOut, iTexts.initialMaximum, iOld->_MaxFitness, 15);
  Labelled(ioOut, iTexts.initialMinimum, iOld->_MinFitness, 15);
}

template <class Sink>
void WriteGenerationHeading(Sink& ioOut, const Texts& iTexts, std::int32_t iGeneration)
{
  ioOut.Repeat(" ", 33);
  ioOut.Text(iTexts.generation);
  ioOut.Value(iGeneration, 2);
  ioOut.EndLine();
}

// The individual at the population's _MinIndex; false (after the failure line) when it has none.
template <class Sink, class Population>
bool WriteBlock(Sink& ioOut, const Population* iPop, std::int32_t iNumParams, const char* iGone)
{
  if (iPop == nullptr || iPop->_Individuals == nullptr)
  {
    Fail(iGone);
    return false;
  }
  const auto& ind = iPop->_Individuals[iPop->_MinIndex];
  ioOut.Value(iPop->_MinIndex + 1, 3);
  ioOut.Text(") ");
  ioOut.EndLine();
  for (std::int32_t k = 1; k <= iNumParams; ++k)
  {
    ioOut.Value(k, 5);
    ioOut.Text(") ");
    ioOut.Value(ind._Code[k - 1], 15);
    ioOut.EndLine();
  }
  ioOut.Text(" ");
  ioOut.Value(ind._Fitness, 15);
  ioOut.Text(" ");
  ioOut.EndLine();
  return true;
}

template <class Sink>
void WriteExtreme(Sink& ioOut, const Texts& iTexts, const char* iLabel, double iFitness, std::int32_t iIndex)
{
  ioOut.Text(iLabel);
  ioOut.Value(iFitness, 15);
  ioOut.Text(iTexts.individual);
  ioOut.Value(iIndex + 1, 4);
  ioOut.Text(")");
  ioOut.EndLine();
}

// Called before the populations are exchanged: iOld holds generation - 1, iNew generation.
template <class Sink, class Population>
void WriteReport(Sink& ioOut, const Texts& iTexts, const Population* iOld, const Population* iNew,
                 std::int32_t iNumParams, std::int32_t iGeneration)
{
  Ruler(ioOut);
  ioOut.Repeat(" ", 31);
  ioOut.Text(iTexts.reportTitle);
  ioOut.EndLine();
  Ruler(ioOut);
  WriteGenerationHeading(ioOut, iTexts, iGeneration - 1);
  ioOut.Text("#                 value                  ");
  ioOut.Text("                  _Fitness  ");
  ioOut.EndLine();
  if (iTexts.populationGone != nullptr && (iOld == nullptr || iNew == nullptr))
    return Fail(iTexts.populationGone);
  if (!WriteBlock(ioOut, iOld, iNumParams, iTexts.parentsGone))
    return;
  ioOut.EndLine();
  WriteGenerationHeading(ioOut, iTexts, iGeneration);
  ioOut.Text("#                 _Code                   ");
  ioOut.Text("   value          _Fitness  ");
  ioOut.EndLine();
  if (!WriteBlock(ioOut, iNew, iNumParams, iTexts.childrenGone))
    return;
  Ruler(ioOut);
  ioOut.Text(iTexts.note);
  ioOut.Value(iGeneration, 2);
  ioOut.EndLine();
  ioOut.Text(" Accumulated statistics : ");
  ioOut.EndLine();
  WriteExtreme(ioOut, iTexts, "   _MaxFitness  = ", iNew->_MaxFitness, iNew->_MaxIndex);
  WriteExtreme(ioOut, iTexts, "   _MinFitness  = ", iNew->_MinFitness, iNew->_MinIndex);
  Ruler(ioOut);
}

template <class Sink, class Individual>
void WritePrint(Sink& ioOut, const Individual& iInd, std::int32_t iGenes, const char* iTitle)
{
  ioOut.EndLine();
  Ruler(ioOut);
  ioOut.Repeat(" ", 32);
  ioOut.Text(iTitle != nullptr ? iTitle : "");
  ioOut.Repeat(" ", 30);
  ioOut.EndLine();
  Ruler(ioOut);
  for (std::int32_t k = 0; k < iGenes; ++k)
  {
    ioOut.Text("_Code [");
    ioOut.Value(k, 2);
    ioOut.Text("] = ");
    ioOut.Value(iInd._Code[k]);
    ioOut.EndLine();
  }
  ioOut.EndLine();
  ioOut.Text("_Fitness   = ");
  ioOut.Value(iInd._Fitness);
  ioOut.EndLine();
  Ruler(ioOut);
}
} // namespace QAVGAReportDetail

#endif
