#pragma once
// What the user narrows a category to: a text looked for in every field a person reads (names,
// numbers, texts, titles, file names), a range of days, and the deleted records only. One filter serves
// the record list and the conversation in the preview, so that both show the same records.
#include <QDate>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "categories/category_records.h"

namespace dunmere {

struct RecordFilter {
  QString text;            // looked for without regard to case; empty: any
  QDate from, until;       // the first and last day, each inclusive; an invalid date leaves that end open
  bool deletedOnly = false;

  // Whether the text or the dates narrow anything (the deleted-only mark is the category's own).
  bool Searching() const { return !text.trimmed().isEmpty() || from.isValid() || until.isValid(); }
};

// The text looked for, folded once; searched in UTF-8 record texts without converting each of them
// when it is plain ASCII.
class TextNeedle {
 public:
  explicit TextNeedle(const QString& text);
  bool Empty() const { return empty_; }
  bool In(std::string_view utf8) const;

 private:
  bool empty_ = true;
  bool ascii_ = true;
  std::string lower_;  // the ASCII needle, lower case
  QString folded_;     // any other needle, case-folded
};

// A filter made ready for many records.
class RecordMatcher {
 public:
  explicit RecordMatcher(const RecordFilter& filter);

  // Whether a dated record's date text ("YYYY-MM-DD hh:mm:ss") lies in the range; a dated record whose
  // date is missing passes only while the range is open. Records of no date at all (contacts, files)
  // are not narrowed by the range; files have no deleted mark either.
  bool DateIn(std::string_view date) const;
  bool HasText() const { return !needle_.Empty(); }
  bool TextIn(std::string_view value) const { return needle_.In(value); }

  bool Matches(const MessageRecord& m) const;
  bool Matches(const WhatsAppMessageRecord& m) const;
  bool Matches(const ContactRecord& r) const;
  bool Matches(const CallRecord& r) const;
  bool Matches(const NoteRecord& r) const;
  bool Matches(const MediaFileRecord& r) const;
  bool Matches(const AttachmentFileRecord& r) const;
  bool Matches(const AppMediaRecord& r) const;

  // A conversation passes when one of its messages does, or when its person (name, number) matches the
  // text and one of its messages passes the dates and the deleted mark.
  template <typename Record>
  bool ConversationMatches(const std::vector<Record>& messages) const {
    if (!messages.empty() && HasText() && PersonMatches(messages.back())) {
      for (const Record& m : messages) {
        if (Kept(m.deleted, m.date)) return true;
      }
      return false;
    }
    for (const Record& m : messages) {
      if (Matches(m)) return true;
    }
    return false;
  }
  bool PersonMatches(const MessageRecord& m) const;
  bool PersonMatches(const WhatsAppMessageRecord& m) const;
  // Whether a record's deleted mark and date let it through (the text aside).
  bool Kept(std::uint8_t deleted, std::string_view date) const;

 private:
  TextNeedle needle_;
  std::string from_, until_;  // "YYYY-MM-DD", empty for an open end
  bool deletedOnly_ = false;
};

}  // namespace dunmere
