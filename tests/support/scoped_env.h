#pragma once
// Sets environment variables for one test and puts every one back as it was at the end. A change of
// TZ also tells the C library's time-zone state.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dunmere::testing {

class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

  // value nullopt removes the variable.
  void Set(const std::string& name, const std::optional<std::string>& value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace dunmere::testing
