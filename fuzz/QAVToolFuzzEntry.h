#ifndef QAVToolFuzzEntry_H
#define QAVToolFuzzEntry_H

#include <cstddef>
#include <cstdint>

// Hostile-input entry points: each takes one arbitrary byte string, feeds it to one input path of
// the tool and returns 0. Bad input must end in the tool's own error handling; a crash, a hang, a
// sanitizer report or any other exception is a fault. The fuzz targets and the regression suite
// both call them, so every saved input replays exactly as it was found.

// 'qavtas de' options, one argument per line. Inputs whose size options ask for more than a small
// bound, or that name an output file, are skipped, so that every input runs in milliseconds and
// writes nothing.
int QAVToolFuzzDeOptions(const std::uint8_t* ipData, std::size_t iSize);

// A point file of 'qavtas ellipse' (two numbers per line): read, then the point set's geometry.
// A reader that accepts non-finite values, or a largest distance unequal to the all-pairs one,
// stops the process.
int QAVToolFuzzPointFile(const std::uint8_t* ipData, std::size_t iSize);

// A tolerancing data file, read twice on one object (which must give the same status); a small
// problem that was read is solved exactly and reported.
int QAVToolFuzzDataFile(const std::uint8_t* ipData, std::size_t iSize);

// An allocation problem file: read (a refusal is one line); what is read must write back to a file
// that reads as the same problem, and a small problem is solved and reported, an optimum being
// held to its certificate.
int QAVToolFuzzAllocationFile(const std::uint8_t* ipData, std::size_t iSize);

// An allocation problem built in memory from the bytes, hostile numbers and indices included: a
// problem with defects is refused by the solver, the selector and the yield estimator with its
// defects; a valid one is solved (an optimum meeting its limits) and its selection simulated.
int QAVToolFuzzAllocationProblem(const std::uint8_t* ipData, std::size_t iSize);

#endif
