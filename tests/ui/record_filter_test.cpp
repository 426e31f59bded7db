// The search's matching: a text without regard to case in every field a person reads (ASCII needles
// byte by byte, others through case folding), days compared as days, records without dates or deleted
// marks left alone by those parts of the filter.
#include <gtest/gtest.h>

#include "ui/pages/scan/record_filter.h"

namespace dunmere {
namespace {

RecordMatcher Text(const char* text) {
  RecordFilter filter;
  filter.text = QString::fromUtf8(text);
  return RecordMatcher(filter);
}

TEST(RecordMatcher, TextWithoutRegardToCase) {
  EXPECT_TRUE(Text("FERRY").TextIn("see you at the ferry"));
  EXPECT_FALSE(Text("ferry").TextIn("fer ry"));
  EXPECT_TRUE(Text("  ferry ").TextIn("Ferry"));  // blanks around the word do not count
  EXPECT_TRUE(Text("caf").TextIn("Café au lait"));
  EXPECT_FALSE(Text("cafe").TextIn("Café"));  // é is no e
  EXPECT_TRUE(Text("ÉCOLE").TextIn("une école"));
  EXPECT_TRUE(Text("Ωμέγα").TextIn("ΩΜΈΓΑ"));
  EXPECT_TRUE(Text("").TextIn("anything"));
  EXPECT_FALSE(Text("x").TextIn(""));
}

TEST(RecordMatcher, FieldsOfEachKindOfRecord) {
  MessageRecord m;
  m.text = "hello";
  m.contactName = "Alice";
  m.handle = "+15550101";
  m.attachmentPath = "~/Library/SMS/Attachments/IMG_0001.HEIC";
  EXPECT_TRUE(Text("hell").Matches(m));
  EXPECT_TRUE(Text("alice").Matches(m));
  EXPECT_TRUE(Text("0101").Matches(m));
  EXPECT_TRUE(Text("img_0001").Matches(m));
  EXPECT_FALSE(Text("bob").Matches(m));
  ContactRecord c;
  c.name = "Bob";
  c.emails = "bob@example.com";
  c.company = "Acme";
  EXPECT_TRUE(Text("EXAMPLE.com").Matches(c));
  EXPECT_TRUE(Text("acme").Matches(c));
  CallRecord call;
  call.number = "+15550303";
  EXPECT_TRUE(Text("0303").Matches(call));
  NoteRecord note;
  note.title = "List";
  note.content = "milk, eggs";
  EXPECT_TRUE(Text("EGGS").Matches(note));
  MediaFileRecord photo;
  photo.fileName = "IMG_1234.JPG";
  EXPECT_TRUE(Text("1234").Matches(photo));
  AppMediaRecord file;
  file.appName = "net.whatsapp.WhatsApp";
  file.fileName = "a.mov";
  EXPECT_TRUE(Text("whatsapp").Matches(file));
  WhatsAppMessageRecord chat;
  chat.senderName = "Carol";
  chat.chatTitle = "Climbing";
  EXPECT_TRUE(Text("carol").Matches(chat));
  EXPECT_FALSE(Text("climbing").Matches(chat));    // a message: its own fields
  EXPECT_TRUE(Text("climbing").PersonMatches(chat));  // its chat: the title too
}

TEST(RecordMatcher, DaysAndDeletedOnly) {
  RecordFilter filter;
  filter.from = QDate(2024, 1, 1);
  filter.until = QDate(2024, 1, 31);
  const RecordMatcher january(filter);
  EXPECT_TRUE(january.DateIn("2024-01-01 00:00:00"));
  EXPECT_TRUE(january.DateIn("2024-01-31 23:59:59"));  // the last day whole
  EXPECT_FALSE(january.DateIn("2024-02-01 00:00:00"));
  EXPECT_FALSE(january.DateIn("2023-12-31 23:59:59"));
  EXPECT_FALSE(january.DateIn(""));  // a dated record without its date
  EXPECT_FALSE(january.DateIn("13/01/2024"));
  EXPECT_TRUE(RecordMatcher(RecordFilter{}).DateIn(""));  // an open range
  // Records without dates are not narrowed by days.
  ContactRecord contact;
  EXPECT_TRUE(january.Matches(contact));
  MediaFileRecord photo;
  EXPECT_TRUE(january.Matches(photo));
  // Deleted only: deleted records with a mark; files have none and stay.
  filter = RecordFilter{};
  filter.deletedOnly = true;
  const RecordMatcher deleted(filter);
  NoteRecord note;
  EXPECT_FALSE(deleted.Matches(note));
  note.deleted = kDeletedInLog;
  EXPECT_TRUE(deleted.Matches(note));
  EXPECT_TRUE(deleted.Matches(photo));
  // A conversation: one message that passes lets it through.
  std::vector<MessageRecord> messages(3);
  messages[1].deleted = 1;
  EXPECT_TRUE(deleted.ConversationMatches(messages));
  messages[1].deleted = 0;
  EXPECT_FALSE(deleted.ConversationMatches(messages));
}

}  // namespace
}  // namespace dunmere
