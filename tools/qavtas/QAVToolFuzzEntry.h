#ifndef QAVToolFuzzEntry_H
#define QAVToolFuzzEntry_H

#include <cstddef>
#include <cstdint>

// Hostile-input entry points: each takes one arbitrary byte string, feeds it to one input path of
// the tool and returns 0. Bad input must end in the tool's own error handling; a crash, a hang, a
// sanitizer report or any other exception is a fault. The fuzz targets and the regression suite
// both call them, so every saved input replays exactly as it was found.

// 'qavtas de' options, one argument per line. Runs whose size options ask for more than a small
// bound are parsed only up to that check, so that every accepted input also runs in milliseconds.
int QAVToolFuzzDeOptions(const std::uint8_t* ipData, std::size_t iSize);

#endif
