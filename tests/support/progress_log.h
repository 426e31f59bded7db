#pragma once
// A progress callback for tests: keeps every number reported and answers 2 (stop) from the
// stopFrom-th report on.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/status.h"

namespace dunmere::testing {

struct ProgressLog {
  std::vector<std::int32_t> values;
  std::size_t stopFrom = std::numeric_limits<std::size_t>::max();

  static Status Record(void* user, std::int32_t value) {
    auto* log = static_cast<ProgressLog*>(user);
    log->values.push_back(value);
    return log->values.size() >= log->stopFrom ? 2 : 0;
  }
};

}  // namespace dunmere::testing
