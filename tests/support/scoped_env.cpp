#include "tests/support/scoped_env.h"

#include <cstdlib>
#include <ctime>

namespace dunmere::testing {
namespace {

void Put(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
  if (name == "TZ") ::tzset();
}

}  // namespace

void ScopedEnv::Set(const std::string& name, const std::optional<std::string>& value) {
  const char* old = std::getenv(name.c_str());
  saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
  Put(name, value);
}

ScopedEnv::~ScopedEnv() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) Put(it->first, it->second);
}

}  // namespace dunmere::testing
