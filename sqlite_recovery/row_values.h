#pragma once
// One decoded row as the table decoders see it, and the ways they read its values: texts (clean or
// not), integers, and the three kinds of stored date.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "sqlite_recovery/page_maps.h"
#include "sqlite_recovery/record_format.h"

namespace dunmere {

struct DecodedRow {
  RowState state = RowState::kNormal;
  bool live = false;              // from a live cell (of the table or of a freed page)
  std::uint64_t rowid = 0;        // 0 for a deleted candidate
  std::uint64_t headerLength = 0; // the record's header length (live form only)
  std::vector<ColumnValue> columns;

  // The value at a zero-based column position, or nullptr when the row has none there.
  const ColumnValue* At(std::uint32_t position) const;
};

// Valid UTF-8 with no U+FFFD and no NUL.
bool IsCleanText(std::string_view text);

// The text at position: empty when the column is missing or holds no text; as UTF-8 with ill-formed
// bytes shown as U+FFFD. With clean set, a text that is not clean gives 87.
Status TextAt(const DecodedRow& row, std::uint32_t position, bool clean, std::string& out);

// The same for a text or a blob (some tables store their texts as blobs).
Status TextOrBlobAt(const DecodedRow& row, std::uint32_t position, bool clean, std::string& out);

// The integer at position (1 to 4 bytes read unsigned); 0 when missing or not an integer.
std::int64_t IntegerAt(const DecodedRow& row, std::uint32_t position);

// The serial type at position; -1 when the row has none there.
std::int64_t SerialTypeAt(const DecodedRow& row, std::uint32_t position);

// Dates as local "%04d-%02d-%02d %02d:%02d:%02d" text; empty when the system cannot represent them.
std::string UnixDateText(std::int64_t unixSeconds);
std::string AppleSecondsDateText(std::int64_t appleSeconds);

// An Apple-seconds date column: an integer of any width, or a real truncated to whole seconds.
std::string AppleSecondsAt(const DecodedRow& row, std::uint32_t position);
// A Unix-seconds date column (integer).
std::string UnixSecondsAt(const DecodedRow& row, std::uint32_t position);
// A messages date column: 1 to 4 byte integers hold Apple seconds, 8-byte values (an integer, or a
// real's eight bytes read as one) Apple nanoseconds.
std::string MessageDateAt(const DecodedRow& row, std::uint32_t position);

}  // namespace dunmere
