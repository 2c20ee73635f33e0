#ifndef QAVToolEllipseSvg_H
#define QAVToolEllipseSvg_H

#include <string>
#include <vector>

// A fitted ellipse as the tool reports it, in the data's own coordinates.
struct QAVToolEllipseFigure
{
  double centreX, centreY;
  double semiAxis1, semiAxis2; // along the first and second principal directions
  double angle;                // of the first principal direction, radians from the x axis
  double focal1X, focal1Y, focal2X, focal2Y;
};

// An SVG picture of the points (interleaved x, y), the ellipse and its focal points, with axes,
// tick labels and a legend; with iFeet (each point's foot on the ellipse, interleaved), also each
// point's orthogonal residual, magnified by a round factor when it would be too small to see.
std::string QAVToolEllipseSvg(const std::vector<double>& iPoints, const QAVToolEllipseFigure& iEllipse,
                              const std::vector<double>& iFeet = {});

#endif
