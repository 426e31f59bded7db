#pragma once
// Small helpers for writing the SQL of fixture rows.
#include <initializer_list>
#include <string>
#include <utility>

namespace dunmere::testing {

// A text as an SQL literal ('it''s').
std::string SqlText(const std::string& text);

// Bytes as an SQL blob literal (X'00FF').
std::string SqlBlob(const std::string& bytes);

// "INSERT INTO table (a, b) VALUES (x, y);" from column/literal pairs.
std::string InsertRow(const std::string& table, std::initializer_list<std::pair<std::string, std::string>> values);

}  // namespace dunmere::testing
