#pragma once
// Finding the contact a phone number or address belongs to: the first contact, in the order the
// decoder gave them, whose raw phone text holds the number. When none does, a number written in
// another form (blanks, dashes, brackets, with or without the country code) is matched on its digits:
// the first contact with a phone whose digits end in the number's, or the other way round, over at
// least seven digits. Numbers repeat across many messages and calls, so each answer is kept.
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
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

  // Two numbers of at least seven digits where one ends with the other share their last seven
  // digits: those index the phones, each with its contact, in contact order.
  static std::string Tail(const std::string& digits) { return digits.substr(digits.size() - kMinimumDigits); }

  std::string NameByDigits(const std::string& digits) {
    if (digits.size() < kMinimumDigits) return std::string();
    if (!indexed_) {
      indexed_ = true;
      // Each contact's phone texts hold several spellings separated by blanks or lines.
      for (std::size_t i = 0; i < contacts_.size(); ++i) {
        std::string piece;
        for (const char ch : contacts_[i].phones + " ") {
          if (ch == ' ' || ch == '\n') {
            if (std::string d = Digits(piece); d.size() >= kMinimumDigits) phonesByTail_[Tail(d)].emplace_back(i, std::move(d));
            piece.clear();
          } else {
            piece += ch;
          }
        }
      }
    }
    const auto found = phonesByTail_.find(Tail(digits));
    if (found == phonesByTail_.end()) return std::string();
    for (const auto& [contact, d] : found->second) {
      if (EndsWith(d, digits) || EndsWith(digits, d)) return contacts_[contact].name;
    }
    return std::string();
  }

  const std::vector<ContactRecord>& contacts_;
  std::unordered_map<std::string, std::string> cache_;
  bool indexed_ = false;
  // The digits of every phone spelling, with its contact's index, by their last seven digits.
  std::unordered_map<std::string, std::vector<std::pair<std::size_t, std::string>>> phonesByTail_;
};

}  // namespace dunmere
