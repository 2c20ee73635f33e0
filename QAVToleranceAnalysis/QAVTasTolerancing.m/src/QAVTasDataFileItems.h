#ifndef QAVTasDataFileItems_H
#define QAVTasDataFileItems_H

#include <cstdint>

// What a tolerancing data file holds, step by step, named by the line of the report that
// QAVTasOptimizerTolerancing makes when a step fails (the report's file is
// "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing"). The reader reports at
// these lines and a tool reads Expected(line) to tell a user what the file should have held there;
// the numbers are written nowhere else.
//
// ReadDataFile's steps, in file order: the form number; "Dimension du vecteur Nx : <count>";
// "Dimension du vecteur Ny : <count>"; "Coefficients de la matrice W :" and Ny rows of Nx values;
// "Tolerancement sur Y (Ymin puis Ymax) :", Ny lower then Ny upper bounds; "Domaine de definition
// de X (bornes inf puis sup) :", Nx lower then Nx upper bounds. A count that is negative, or too
// large for the rest of the file or for memory, fails at its own line.
//
// Optimize and OptimizeExact then refuse data that was read but cannot be solved, at the lines of
// the second group, in the order they are tested (non-positive lower X bounds only in the direct
// form, where 1/X is taken of the genes). The last group names the outcomes of OptimizeExact and
// of a run the engine refused.
struct QAVTasDataFileItems
{
  enum Line : std::int32_t
  {
    kNullStream = 274,
    kForm = 277,
    kNx = 281,
    kNy = 283,
    kWLabel = 292,
    kW = 300,
    kWEnd = 303,
    kYLabel = 310,
    kYmin = 314,
    kYminEnd = 317,
    kYmax = 321,
    kYmaxEnd = 324,
    kXLabel = 329,
    kXinf = 333,
    kXinfEnd = 336,
    kXsup = 342,

    kWNotFinite = 190,
    kYNotFinite = 191,
    kYCrossed = 192,
    kXNotFinite = 193,
    kXCrossed = 194,
    kXNotPositive = 195,

    kEngineRefused = 230,
    kInfeasible = 710,
    kNotCertified = 711
  };

  struct Item
  {
    std::int32_t Line;
    const char* Expected;
  };

  static constexpr Item kItems[] = {{kForm, "the form number (2 direct, 3 multiplier)"},
                                    {kNx, "'Dimension du vecteur Nx : <count>' with a count of 0 or more"},
                                    {kNy, "'Dimension du vecteur Ny : <count>' with a count of 0 or more"},
                                    {kWLabel, "the line 'Coefficients de la matrice W :'"},
                                    {kW, "Ny rows of Nx coefficients of W"},
                                    {kWEnd, "a line end"},
                                    {kYLabel, "the line 'Tolerancement sur Y (Ymin puis Ymax) :'"},
                                    {kYmin, "the Ny lower bounds of Y (Ymin)"},
                                    {kYminEnd, "a line end"},
                                    {kYmax, "the Ny upper bounds of Y (Ymax)"},
                                    {kYmaxEnd, "a line end"},
                                    {kXLabel, "the line 'Domaine de definition de X (bornes inf puis sup) :'"},
                                    {kXinf, "the Nx lower bounds of X (Xinf)"},
                                    {kXinfEnd, "a line end"},
                                    {kXsup, "the Nx upper bounds of X (Xsup)"},
                                    {kWNotFinite, "finite coefficients of W"},
                                    {kYNotFinite, "finite bounds of Y"},
                                    {kYCrossed, "Ymin <= Ymax for every Y"},
                                    {kXNotFinite, "finite bounds of X"},
                                    {kXCrossed, "Xinf <= Xsup for every X"},
                                    {kXNotPositive, "Xinf > 0 for every X (the direct form takes 1/X)"}};

  // What the file should hold at the step that failed at iLine; null for a line of no step.
  static const char* Expected(std::int32_t iLine)
  {
    for (const Item& item : kItems)
      if (item.Line == iLine)
        return item.Expected;
    return nullptr;
  }
};

#endif
