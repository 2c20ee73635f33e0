#ifndef QAVToolSvgPlot_H
#define QAVToolSvgPlot_H

#include <sstream>
#include <string>
#include <vector>

// One picture in the tool's style: a white page, a title, a framed plot area with grid lines,
// tick labels and axis names, data drawn in data coordinates, and a legend to the right.
// Every qavtas picture is drawn with it, so they all look alike.
class QAVToolSvgPlot
{
public:
  struct Axis
  {
    double lo, hi; // the data range shown (for a log axis, both above 0)
    std::string name;
    bool log = false; // decades instead of equal steps
  };

  static constexpr double kWidth = 820, kHeight = 640;
  static constexpr double kLeft = 90, kRight = 190, kTop = 56, kBottom = 64; // around the plot area

  QAVToolSvgPlot(const std::string& iTitle, const Axis& iX, const Axis& iY);

  // Data coordinates to the page; a log axis clamps values at or below 0 to its lower edge.
  double X(double iX) const { return Map(_X, iX, kLeft, kWidth - kRight); }
  double Y(double iY) const { return Map(_Y, iY, kHeight - kBottom, kTop); }

  // Points are interleaved x, y in data coordinates.
  void Line(const std::vector<double>& iPoints, const char* iColour);
  void Dots(const std::vector<double>& iPoints, const char* iColour);
  void Cross(double iX, double iY, double iSize, const char* iColour);
  void Note(const std::string& iText); // a line of small print under the title

  void LegendLine(const std::string& iText, const char* iColour);
  void LegendDot(const std::string& iText, const char* iColour);
  void LegendCross(const std::string& iText, double iSize, const char* iColour);

  // The whole SVG document.
  std::string Text() const;

  // Text made safe inside SVG or HTML markup, attribute values included.
  static std::string Escape(const std::string& iText);

  // A number as the pictures print it: 6 significant digits, no "-0".
  static std::string Num(double iValue);

private:
  static double Map(const Axis& iAxis, double iValue, double iFrom, double iTo);
  void WriteGrid(std::ostream& out) const;
  void WriteTicks(std::ostream& out, const Axis& iAxis, bool iHorizontal) const;
  void CrossAt(std::ostream& out, double iPageX, double iPageY, double iSize, const char* iColour) const;
  double NextLegendY();

  std::string _Title;
  std::vector<std::string> _Notes;
  Axis _X, _Y;
  std::ostringstream _Data, _Legend;
  int _LegendRows = 0;
};

#endif
