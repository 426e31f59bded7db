#include "tests/support/sql_text.h"

namespace dunmere::testing {

std::string SqlText(const std::string& text) {
  std::string out = "'";
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string InsertRow(const std::string& table, std::initializer_list<std::pair<std::string, std::string>> values) {
  std::string columns;
  std::string literals;
  for (const auto& [column, literal] : values) {
    if (!columns.empty()) {
      columns += ", ";
      literals += ", ";
    }
    columns += column;
    literals += literal;
  }
  return "INSERT INTO " + table + " (" + columns + ") VALUES (" + literals + ");";
}

std::string SqlBlob(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "X'";
  for (const char c : bytes) {
    out += kHex[static_cast<unsigned char>(c) >> 4];
    out += kHex[static_cast<unsigned char>(c) & 0x0F];
  }
  return out + "'";
}

}  // namespace dunmere::testing
