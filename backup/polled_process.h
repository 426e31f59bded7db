#pragma once
// Running a helper program (the decryptor, the archive extractor) the way the program watches them:
// standard output and standard error on one pipe, polled every 5 ms, read 4,096 bytes at a time,
// and after the program's end at most 100 more passes to drain what it left in the pipe.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace dunmere {

// Each piece of output as it is read; a non-zero answer ends the watch with that result.
using OutputHandler = std::function<Status(std::string_view piece)>;

// Runs argv[0] (a path) with input written to its standard input. Returns 87 when it cannot be
// started, else the first non-zero answer of onOutput, else 0. A program still running when the
// watch ends is stopped.
Status RunPolled(const std::vector<std::string>& argv, const std::string& input, const OutputHandler& onOutput);

}  // namespace dunmere
