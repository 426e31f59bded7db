#pragma once
// Finding the contact a phone number or address belongs to: the first contact, in the order the
// decoder gave them, whose raw phone text holds the number. Numbers repeat across many messages and
// calls, so each answer is kept.
#include <string>
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
    return cache_.emplace(number, std::move(name)).first->second;
  }

 private:
  const std::vector<ContactRecord>& contacts_;
  std::unordered_map<std::string, std::string> cache_;
};

}  // namespace dunmere
