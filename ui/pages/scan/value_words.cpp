#include "ui/pages/scan/value_words.h"

#include "settings/settings.h"

namespace dunmere {

std::string ValueWord(std::string_view english) { return CSettings::Get().Word("ListValues", english); }

std::string CallDurationWords(const CallRecord& call) {
  if (call.duration <= 0) return ValueWord(call.incoming != 0 ? "Missed" : "Canceled");
  return DurationText(call.duration, DurationUnits{ValueWord("Hour"), ValueWord("Min"), ValueWord("Sec")});
}

}  // namespace dunmere
