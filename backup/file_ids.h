#pragma once
// File IDs: inside a backup every device file is stored under the SHA-1 of its domain-path.
#include <memory>
#include <string>
#include <string_view>

namespace dunmere {

// The databases that the program decodes, by their fixed file IDs.
inline constexpr std::string_view kMessagesDbId = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
inline constexpr std::string_view kContactsDbId = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";
inline constexpr std::string_view kCallHistoryStoreId = "5a4935c78a5255723f707230a451d79c540d2741";
inline constexpr std::string_view kCallHistoryDbId = "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca";
inline constexpr std::string_view kNotesDbId = "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";
inline constexpr std::string_view kNoteStoreDbId = "4f98687d8ab0d6d1a371110e6b7300f6e465bef2";

// The domain-paths those IDs are the SHA-1 of.
inline constexpr std::string_view kMessagesDbDomainPath = "HomeDomain-Library/SMS/sms.db";
inline constexpr std::string_view kContactsDbDomainPath = "HomeDomain-Library/AddressBook/AddressBook.sqlitedb";
inline constexpr std::string_view kCallHistoryStoreDomainPath = "HomeDomain-Library/CallHistoryDB/CallHistory.storedata";
inline constexpr std::string_view kCallHistoryDbDomainPath = "WirelessDomain-Library/CallHistory/call_history.db";
inline constexpr std::string_view kNotesDbDomainPath = "HomeDomain-Library/Notes/notes.sqlite";
inline constexpr std::string_view kNoteStoreDbDomainPath = "AppDomainGroup-group.com.apple.notes-NoteStore.sqlite";

// SHA-1 of the bytes as given (no terminator, no case change), as 40 lowercase hex digits.
std::string Sha1FileId(std::string_view domainPath);

// Computes many file IDs with one digest context; for manifest parsing, where every entry needs one.
class FileIdHasher {
 public:
  FileIdHasher();
  ~FileIdHasher();
  FileIdHasher(const FileIdHasher&) = delete;
  FileIdHasher& operator=(const FileIdHasher&) = delete;
  std::string operator()(std::string_view domainPath);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace dunmere
