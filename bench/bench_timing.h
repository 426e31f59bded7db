#pragma once
// What the benchmarks share: timing a piece of work, and the row series their SQL fills tables from.
#include <chrono>
#include <functional>
#include <string>

namespace dunmere::bench {

// Milliseconds body took.
inline double Ms(const std::function<void()>& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A recursive common table expression c(x) of the numbers 1 to count.
inline std::string Series(int count) {
  return "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + std::to_string(count) + ")";
}

}  // namespace dunmere::bench
