#ifndef QAVTolerancingCase_H
#define QAVTolerancingCase_H

// Helpers of the tolerancing suites: data files as text, reports as text, problems by value.
#include "ErrorDepthHandler.h"
#include "QAVTasOptimizerTolerancing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

using Tol = QAVTasOptimizerTolerancing; // short, for the suites' tables
inline const char kTolFile[] = "QAVToleranceAnalysis/QAVTasOptimizer.m/src/QAVTasOptimizerTolerancing";
inline const char kGood[] =
  "2\nDimension du vecteur Nx : 2\nDimension du vecteur Ny : 1\nCoefficients de la matrice W :\n"
  "1.0 1.0\nTolerancement sur Y (Ymin puis Ymax) :\n 0.0\n 0.5\n"
  "Domaine de definition de X (bornes inf puis sup) :\n 0.01 0.01\n 1.0 1.0\n";

inline std::string OneLine(int form, int nx, int ny, const std::string& w, const std::string& y, const std::string& x)
{
  return std::to_string(form) + " Dimension du vecteur Nx : " + std::to_string(nx) +
    " Dimension du vecteur Ny : " + std::to_string(ny) + " Coefficients de la matrice W : " + w +
    " Tolerancement sur Y (Ymin puis Ymax) : " + y + " Domaine de definition de X (bornes inf puis sup) : " + x;
}

// ReadDataFile on a text, through a memory stream or (pipe) through a pipe, which cannot seek.
inline HRESULT Read(Tol& opt, std::string text, bool pipe = false)
{
  int ends[2] = {-1, -1};
  if (pipe && ::pipe(ends) == 0) // the texts here fit in the pipe's buffer
  {
    EXPECT_EQ(write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(ends[1]);
  }
  FILE* file = pipe ? fdopen(ends[0], "r") : text.empty() ? std::tmpfile() : fmemopen(&text[0], text.size(), "r");
  const HRESULT hr = opt.ReadDataFile(file);
  std::fclose(file);
  return hr;
}

// What CheckConstraints (or the exact report) writes, after checking its result.
inline std::string Report(Tol& opt, HRESULT expected = S_OK, bool exact = false)
{
  char* buffer = nullptr;
  std::size_t size = 0;
  FILE* file = open_memstream(&buffer, &size);
  EXPECT_EQ(expected, exact ? opt.CheckExactConstraints(file) : opt.CheckConstraints(file));
  std::fclose(file);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

inline void ExpectReport(std::int32_t kind, const std::string& text, std::int32_t line, const char* file = kTolFile)
{
  EXPECT_EQ(kind, ErrorDepthHandler::_ier_);
  EXPECT_EQ(text, ErrorDepthHandler::_c_err_);
  EXPECT_EQ(line, ErrorDepthHandler::_i_errline_);
  EXPECT_EQ(file, ErrorDepthHandler::_errfile_);
}

// A problem held by value for the data constructor.
struct Data
{
  std::vector<std::vector<double>> w;
  std::vector<double> ymin, ymax, xsup, xinf;

  std::unique_ptr<Tol> Make() const
  {
    std::vector<double*> rows;
    for (const auto& r : w)
      rows.push_back(const_cast<double*>(r.data()));
    return std::unique_ptr<Tol>(new Tol(static_cast<std::int32_t>(w.size()), static_cast<std::int32_t>(xinf.size()),
                                        rows.data(), const_cast<double*>(ymin.data()), const_cast<double*>(ymax.data()),
                                        const_cast<double*>(xsup.data()), const_cast<double*>(xinf.data())));
  }
};
inline const Data kThreeByTwo{
  {{1.0, 2.0, 0.5}, {0.5, 0.5, 1.0}}, {0.0, 0.0}, {0.2, 0.15}, {0.2, 0.2, 0.2}, {0.005, 0.005, 0.005}};

inline void SetParams(Tol& opt, const std::vector<double>& p)
{
  delete[] opt._pParams;
  opt._pParams = new double[p.size()];
  std::copy(p.begin(), p.end(), opt._pParams);
}

#endif
