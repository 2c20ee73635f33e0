#ifndef QAVToolText_H
#define QAVToolText_H

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>

// The few pieces every report of the tool is built from: a number in a printf format, a column
// padded to its width, a number of the JSON answers, and the rows of the pages' sortable tables.
struct QAVToolText
{
  static std::string Format(const char* iFormat, double iValue)
  {
    char text[64];
    std::snprintf(text, sizeof text, iFormat, iValue);
    return text;
  }

  // JSON has no infinity or NaN: a figure that is not finite is null.
  static nlohmann::ordered_json Figure(double iValue)
  {
    return std::isfinite(iValue) ? nlohmann::ordered_json(iValue) : nlohmann::ordered_json(nullptr);
  }

  // At least one space follows, so a long cell never runs into the next column.
  static std::string Padded(const std::string& iText, std::size_t iWidth)
  {
    return iText + std::string(iText.size() < iWidth ? iWidth - iText.size() : 1, ' ');
  }

  static void HtmlRow(std::ostream& out, std::initializer_list<std::string> iCells)
  {
    out << "<tr>";
    for (const std::string& c : iCells)
      out << "<td>" << c << "</td>";
    out << "</tr>\n";
  }

  static void HtmlHead(std::ostream& out, std::initializer_list<const char*> iNames)
  {
    out << "<table class=\"sortable\"><thead><tr>";
    for (const char* n : iNames)
      out << "<th>" << n << "</th>";
    out << "</tr></thead><tbody>\n";
  }
};

#endif
