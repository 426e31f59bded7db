#pragma once
// The readable CSV files of an export: one row per record with a header row, every value as it was
// recovered (nothing made up: an unknown row id is left empty), a deleted column and a source column
// for records found only in an older page version the database's log kept, dates in ISO 8601 with
// their offset from UTC. Texts have their control characters other than tab and line ends written
// out (\x1B), as in the export's text files.
#include <string>

#include "categories/category_records.h"

namespace dunmere {

// "2020-01-01 10:00:00" (local time) as "2020-01-01T10:00:00+01:00", the offset the local time zone
// had then; a text that is no such date as it stands.
std::string IsoDate(const std::string& localDate);

std::string MessagesCsvHeader();
std::string MessagesCsvRow(const MessageRecord& m);
std::string ChatsCsvHeader();
std::string ChatsCsvRow(const WhatsAppMessageRecord& m);
std::string ContactsCsvHeader();
std::string ContactsCsvRow(const ContactRecord& c);
std::string CallsCsvHeader();
std::string CallsCsvRow(const CallRecord& c);
std::string NotesCsvHeader();
std::string NotesCsvRow(const NoteRecord& n);

}  // namespace dunmere
