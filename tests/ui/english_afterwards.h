#pragma once
// Puts the program's language back to English when a test that switched it ends, however it ends
// (the choice is written to the settings file that every later test reads).
#include "settings/settings.h"

namespace dunmere {

struct EnglishAfterwards {
  EnglishAfterwards() = default;
  EnglishAfterwards(const EnglishAfterwards&) = delete;
  EnglishAfterwards& operator=(const EnglishAfterwards&) = delete;
  ~EnglishAfterwards() { CSettings::Get().SetLanguage("English"); }
};

}  // namespace dunmere
