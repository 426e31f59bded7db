#pragma once
// The engine that reads one table's rows by its columns: every live row of its B-tree, then every
// deleted row the searches find (freeblocks, unallocated gaps, cells left behind stale pointers,
// freed leaf, trunk and interior pages, overflow chains, older page versions a write-ahead log kept),
// each value as the file stores it. A deleted row equal to a live row of the same row id (or to any
// live row, when its own row id is lost) is an old copy of it and is not handed on; deleted rows are
// handed on once for each distinct row id where their cells kept one.
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/any_row.h"

namespace dunmere {

class SqliteFileReader;

// Hands every row of the table to sink as it is found. 87 without columns.
Status RunRowEngine(SqliteFileReader& reader, const TableRequest& request, const std::vector<DeclaredColumn>& columns,
                    const AnyRowSink& sink);

}  // namespace dunmere
