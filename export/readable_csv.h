#pragma once
// The readable CSV files of an export: one row per record with a header row, every value as it was
// recovered (nothing made up: an unknown row id is left empty), a deleted column and a source column
// for records found only in an older page version the database's log kept, dates in ISO 8601 with
// their offset from UTC. Texts have their control characters other than tab and line ends written
// out (\x1B), as in the export's text files.
#include <string>

#include "categories/category_records.h"

namespace dunmere {

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
