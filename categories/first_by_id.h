#pragma once
// The loaders' joins keep the first row that carries an id; an index by id makes each lookup
// constant instead of a walk over every row.
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace dunmere {

template <typename Row, typename Key>
std::unordered_map<std::int32_t, const Row*> FirstById(const std::vector<Row>& rows, Key key) {
  std::unordered_map<std::int32_t, const Row*> index;
  index.reserve(rows.size());
  for (const Row& row : rows) index.emplace(key(row), &row);  // emplace keeps the first of equal ids
  return index;
}

}  // namespace dunmere
