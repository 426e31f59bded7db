#include "ui/pages/scan/record_filter.h"

#include <algorithm>

namespace dunmere {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

TextNeedle::TextNeedle(const QString& text) {
  const QString trimmed = text.trimmed();
  empty_ = trimmed.isEmpty();
  if (empty_) return;
  for (const QChar c : trimmed) ascii_ &= c.unicode() < 0x80;
  if (ascii_) {
    for (const QChar c : trimmed) lower_ += Lower(static_cast<char>(c.unicode()));
  } else {
    folded_ = trimmed.toCaseFolded();
  }
}

bool TextNeedle::In(std::string_view utf8) const {
  if (empty_) return true;
  if (!ascii_) return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toCaseFolded().contains(folded_);
  // Bytes of letters beyond ASCII never equal an ASCII needle's, so a byte-wise search without case is
  // exact for it.
  const auto found = std::search(utf8.begin(), utf8.end(), lower_.begin(), lower_.end(),
                                 [](char hay, char needle) { return Lower(hay) == needle; });
  return found != utf8.end();
}

RecordMatcher::RecordMatcher(const RecordFilter& filter) : needle_(filter.text), deletedOnly_(filter.deletedOnly) {
  if (filter.from.isValid()) from_ = filter.from.toString(Qt::ISODate).toStdString();
  if (filter.until.isValid()) until_ = filter.until.toString(Qt::ISODate).toStdString();
}

bool RecordMatcher::DateIn(std::string_view date) const {
  if (from_.empty() && until_.empty()) return true;
  // Dates are written "YYYY-MM-DD hh:mm:ss": their first ten characters compare as the days do.
  if (date.size() < 10 || date[4] != '-' || date[7] != '-') return false;
  const std::string_view day = date.substr(0, 10);
  return (from_.empty() || day >= from_) && (until_.empty() || day <= until_);
}

bool RecordMatcher::Kept(std::uint8_t deleted, std::string_view date) const {
  return (!deletedOnly_ || deleted != 0) && DateIn(date);
}

bool RecordMatcher::PersonMatches(const MessageRecord& m) const { return TextIn(m.contactName) || TextIn(m.handle); }

bool RecordMatcher::PersonMatches(const WhatsAppMessageRecord& m) const {
  return TextIn(m.senderName) || TextIn(m.chatTitle) || TextIn(m.chatMembers) || TextIn(m.chatJids);
}

bool RecordMatcher::Matches(const MessageRecord& m) const {
  return Kept(m.deleted, m.date) && (!HasText() || TextIn(m.text) || TextIn(m.attachmentPath) || PersonMatches(m));
}

bool RecordMatcher::Matches(const WhatsAppMessageRecord& m) const {
  return Kept(m.deleted, m.date) && (!HasText() || TextIn(m.text) || TextIn(m.senderName) || TextIn(m.senderJid));
}

bool RecordMatcher::Matches(const ContactRecord& r) const {
  // Contacts carry no date: a range of days does not narrow them.
  return (!deletedOnly_ || r.deleted != 0) && (!HasText() || TextIn(r.name) || TextIn(r.phones) || TextIn(r.emails) ||
                                 TextIn(r.company) || TextIn(r.address) || TextIn(r.url) || TextIn(r.social));
}

bool RecordMatcher::Matches(const CallRecord& r) const {
  return Kept(r.deleted, r.date) && (!HasText() || TextIn(r.userName) || TextIn(r.number));
}

bool RecordMatcher::Matches(const NoteRecord& r) const {
  return Kept(r.deleted, r.date) && (!HasText() || TextIn(r.title) || TextIn(r.content));
}

bool RecordMatcher::Matches(const MediaFileRecord& r) const {
  return TextIn(r.fileName);  // files carry no date and no deleted mark
}

bool RecordMatcher::Matches(const AttachmentFileRecord& r) const {
  return TextIn(r.fileName);  // files carry no date and no deleted mark
}

bool RecordMatcher::Matches(const AppMediaRecord& r) const {
  return TextIn(r.fileName) || TextIn(r.appName);
}

}  // namespace dunmere
