#pragma once
// Finding the contact a phone number or address belongs to: the first contact, in the order the
// decoder gave them, whose raw phone text holds the number. When none does, a number written in
// another form (blanks, dashes, brackets, with or without the country code) is matched on its digits:
// the first contact with a phone whose digits end in the number's, or the other way round, over at
// least seven digits. Numbers repeat across many messages and calls, so each answer is kept.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "categories/category_records.h"

namespace dunmere {

class ContactNameLookup {
 public:
  explicit ContactNameLookup(const std::vector<ContactRecord>& contacts) : contacts_(contacts) {}

  // The name of the first contact whose phones contain number; empty when none does.
  const std::string& NameFor(const std::string& number) {
    const auto found = cache_.find(number);
    if (found != cache_.end()) return found->second;
    std::string name;
    for (const ContactRecord& c : contacts_) {
      if (c.phones.find(number) != std::string::npos) {
        name = c.name;
        break;
      }
    }
    if (name.empty()) name = NameByDigits(Digits(number));
    return cache_.emplace(number, std::move(name)).first->second;
  }

 private:
  static constexpr std::size_t kMinimumDigits = 7;

  static std::string Digits(std::string_view text) {
    std::string digits;
    for (const char c : text) {
      if (c >= '0' && c <= '9') digits += c;
    }
    return digits;
  }

  static bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  }

  std::string NameByDigits(const std::string& digits) {
    if (digits.size() < kMinimumDigits) return std::string();
    if (phoneDigits_.empty()) {
      // Each contact's phone texts hold several spellings separated by blanks or lines.
      for (const ContactRecord& c : contacts_) {
        std::vector<std::string> pieces;
        std::string piece;
        for (const char ch : c.phones + " ") {
          if (ch == ' ' || ch == '\n') {
            if (const std::string d = Digits(piece); d.size() >= kMinimumDigits) pieces.push_back(d);
            piece.clear();
          } else {
            piece += ch;
          }
        }
        phoneDigits_.push_back(std::move(pieces));
      }
    }
    for (std::size_t i = 0; i < contacts_.size(); ++i) {
      for (const std::string& d : phoneDigits_[i]) {
        if (EndsWith(d, digits) || EndsWith(digits, d)) return contacts_[i].name;
      }
    }
    return std::string();
  }

  const std::vector<ContactRecord>& contacts_;
  std::unordered_map<std::string, std::string> cache_;
  std::vector<std::vector<std::string>> phoneDigits_;  // digits of each contact's phone spellings
};

}  // namespace dunmere
