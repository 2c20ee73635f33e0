#ifndef QAVToolOutput_H
#define QAVToolOutput_H

#include <string>

// Writes iText to the output file iPath, "-" meaning standard output. A file is written under a
// fresh name in the same folder and renamed to iPath only once the whole text is on disk, so an
// interrupted or failed write never leaves a partial file (and an existing iPath stays as it
// was). False with oError, "PATH: reason", when anything fails.
bool QAVToolWriteOutput(const std::string& iPath, const std::string& iText, std::string& oError);

// Whether a QAVToolWriteOutput to standard output failed (and its caller said so).
bool QAVToolStandardOutputFailed();

#endif
