#pragma once
// A person's name as the phone shows it from its parts: a blank between parts written in alphabetic
// scripts ("Pat Tee"), none between parts written in Chinese, Japanese or Korean ("王小明"); blanks
// around a part are not part of it, and an empty part leaves the other alone.
#include <string>
#include <string_view>

namespace dunmere {

std::string PersonName(std::string_view first, std::string_view last);

}  // namespace dunmere
