#pragma once
// The words of the values the program writes into its lists and printed pages itself ("Incoming",
// "Deleted", "Folder", a call's duration), in the language chosen.
#include <cstdint>
#include <string>
#include <string_view>

#include "categories/category_records.h"

namespace dunmere {

// A word of section "ListValues"; the English word where the language file has none.
std::string ValueWord(std::string_view english);
// A byte count as SizeText writes it, with the language's decimal mark ("1,50 MB" in German).
std::string SizeWords(std::uint64_t bytes);
// A call's duration with the language's units; "Missed" or "Canceled" for a call that did not connect.
std::string CallDurationWords(const CallRecord& call);

}  // namespace dunmere
