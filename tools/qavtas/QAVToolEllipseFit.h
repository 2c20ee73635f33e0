#ifndef QAVToolEllipseFit_H
#define QAVToolEllipseFit_H

#include "QAVTasEllipseFitter.h"

class QAVToolSession;

#include <string>
#include <vector>

// What 'qavtas ellipse' asks of the geometric or the algebraic fit.
struct QAVToolEllipseFitRequest
{
  std::string name; // the point file as messages name it
  std::string svg;  // picture to write, or empty
  bool json = false;
  QAVTasEllipseFitter::Options options;
};

// Fits, prints the answer on standard output (text, or one JSON object), draws the picture with
// each point's orthogonal residual and returns the exit status: 0; 1 for points no ellipse fits,
// or an output not written; 3 when the points do not determine the ellipse (the answer is printed
// all the same). Errors go to standard error through ioSession, one line each.
int QAVToolFitEllipse(const QAVToolEllipseFitRequest& iRequest, const std::vector<double>& iPoints,
                      QAVToolSession& ioSession);

#endif
