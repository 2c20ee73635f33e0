#ifndef QAVToolPointFile_H
#define QAVToolPointFile_H

#include <string>
#include <vector>

// Reads a point file: two numbers (x y) per line, apart by spaces, tabs, commas or semicolons; '#'
// starts a comment, blank lines are skipped, and a first line whose first word is no number is a
// header.
// Returns false with a one-line message (file:line: what is wrong) on a bad file.
bool QAVToolReadPoints(const std::string& iPath, std::vector<double>& oPoints, std::string& oError);

#endif
