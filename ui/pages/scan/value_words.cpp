#include "ui/pages/scan/value_words.h"

#include "settings/settings.h"
#include "ui/pages/scan/size_text.h"

namespace dunmere {

std::string ValueWord(std::string_view english) { return CSettings::Get().Word("ListValues", english); }

std::string SizeWords(std::uint64_t bytes) {
  std::string text = SizeText(bytes);
  // The language file's decimal mark in place of the point (its key: "Decimalmark").
  const std::string mark = ValueWord("Decimal mark");
  if (mark != "Decimal mark" && !mark.empty()) {
    if (const std::size_t point = text.find('.'); point != std::string::npos) text.replace(point, 1, mark);
  }
  return text;
}

std::string CallDurationWords(const CallRecord& call) {
  if (call.duration <= 0) return ValueWord(call.incoming != 0 ? "Missed" : "Canceled");
  return DurationText(call.duration, DurationUnits{ValueWord("Hour"), ValueWord("Min"), ValueWord("Sec")});
}

}  // namespace dunmere
