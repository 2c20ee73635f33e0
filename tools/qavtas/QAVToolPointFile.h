#ifndef QAVToolPointFile_H
#define QAVToolPointFile_H

#include <string>
#include <vector>

// The most points a point file may hold: more is an error, not minutes of silent work.
constexpr std::size_t kQAVToolMostPoints = 10000000;

// Reads a point file of 'qavtas ellipse' ("-" is standard input): two finite numbers x y per line,
// apart by spaces, tabs, commas or semicolons; '#' starts a comment, blank lines are skipped, and a
// first line whose first word is no number is a header. Points are appended interleaved (x, y).
// False with a one-line oError naming the file and line on any other text, a line over 1 MiB, or
// more than kQAVToolMostPoints points.
bool QAVToolReadPoints(const std::string& iPath, std::vector<double>& oPoints, std::string& oError);

#endif
