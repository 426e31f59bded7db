#pragma once
// The data list's columns per category and the texts of a row's cells (their words in the language
// chosen).
#include <string>
#include <vector>

#include "categories/category_records.h"

namespace dunmere {

struct ListColumn {
  const char* title;
  int width;  // 0: takes the rest
};

// The columns of a category's list (App Photos and App Videos by app, or an app's files).
std::vector<ListColumn> ColumnSet(CategoryId category, bool appLevel = false);

// Whether a category's list has the deleted-only filter.
bool HasDeletedFilter(CategoryId category);

std::vector<std::string> RowCells(const MediaFileRecord& r);
std::vector<std::string> RowCells(const AttachmentFileRecord& r);
std::vector<std::string> AppRowCells(const std::string& appName);
std::vector<std::string> RowCells(const AppMediaRecord& r);
std::vector<std::string> RowCells(const MessageRecord& lastMessage);
std::vector<std::string> RowCells(const ContactRecord& r);
std::vector<std::string> RowCells(const CallRecord& r);
std::vector<std::string> RowCells(const NoteRecord& r);
std::vector<std::string> RowCells(const WhatsAppMessageRecord& lastMessage);

}  // namespace dunmere
