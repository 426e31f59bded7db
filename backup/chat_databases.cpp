// The engine's two further chat databases and the text exports of single conversations.
#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "backup/backup_engine.h"
#include "platform/file_util.h"
#include "platform/hex_text.h"
#include "platform/visible_text.h"
#include "sqlite_recovery/sqlite_file_reader.h"
#include "categories/table_decoders.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// The conversation table of a friend is named after the MD5 of the friend's user name.
std::string Md5Hex(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return std::string();
  return HexDigits(std::string_view(reinterpret_cast<const char*>(digest), length));
}

PeerMessageRow FromChatRow(const ChatMessageRow& row, const std::string& peer) {
  return PeerMessageRow{row.deleted, row.fromMe, peer, row.date, row.text};
}

// Writes lines to output, reporting the share done after each.
template <typename Line>
Status WriteText(const fs::path& output, std::size_t count, Line line, ProgressCallback callback, void* user) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(output.c_str(), "wb"), &std::fclose);
  if (!file) return StatusFromErrno(errno != 0 ? errno : EIO);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string text = line(i);
    if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return StatusFromErrno(errno != 0 ? errno : EIO);
    if (callback != nullptr) {
      if (const Status rc = callback(user, static_cast<std::int32_t>((i + 1) * 100 / count)); rc != kOk) return rc;
    }
  }
  // What is still buffered reaches the disk as the file is closed.
  return std::fclose(file.release()) == 0 ? kOk : StatusFromErrno(errno != 0 ? errno : EIO);
}

std::string Line(std::uint8_t deleted, const std::string& date, const std::string& sender, const std::string& text) {
  return VisibleText(date + '\t' + sender + '\t' + (deleted != 0 ? "[Deleted] " : "") + text, true, false) + "\r\n";
}

}  // namespace

Status CBackupEngine::ScanQQ(ChatConversationMap& out) {
  qqMap.clear();
  Status result = kOk;
  for (const ManifestEntry& entry : manifestEntries) {
    if (entry.domainPath.find("/QQ.db") == std::string::npos) continue;
    SqliteFileReader reader;
    if (const Status rc = reader.Open(MediaPath(entry)); rc != kOk) {
      result = rc;
      continue;
    }
    reader.latestDate = LatestRecordDate();
    std::vector<ChatPeerRow> peers;
    DecodeChatPeers(reader, peers);
    for (const ChatPeerRow& peer : peers) {
      std::vector<PeerMessageRow> rows;
      DecodePeerMessages(reader, "tb_c2cMsg_" + peer.peer, peer.peer, rows);
      auto& list = qqMap[peer.peer];
      list.insert(list.end(), rows.begin(), rows.end());
    }
  }
  out = qqMap;
  return result;
}

Status CBackupEngine::ScanMMChats(ChatConversationMap& out) {
  mmChatMap.clear();
  Status result = kOk;
  for (const ManifestEntry& entry : manifestEntries) {
    if (entry.domainPath.find("/MM.sqlite") == std::string::npos) continue;
    SqliteFileReader reader;
    if (const Status rc = reader.Open(MediaPath(entry)); rc != kOk) {
      result = rc;
      continue;
    }
    reader.latestDate = LatestRecordDate();
    std::vector<ChatFriendRow> friends;
    DecodeChatFriends(reader, friends);
    std::vector<ChatMessageRow> rows;
    for (const ChatFriendRow& f : friends) {
      rows.clear();
      DecodeChatMessages(reader, "Chat_" + Md5Hex(f.userName), false, rows);
      for (const ChatMessageRow& row : rows) mmChatMap[f.userName].push_back(FromChatRow(row, f.userName));
    }
    // A name no table has: only the rows of freed conversation pages come back.
    rows.clear();
    DecodeChatMessages(reader, "Chat_FreePageNumber", true, rows);
    for (const ChatMessageRow& row : rows) mmChatMap["Chat_FreePageNumber"].push_back(FromChatRow(row, ""));
  }
  out = mmChatMap;
  return result;
}

Status CBackupEngine::ExportWhatsAppText(std::int32_t chatId, const fs::path& output, ProgressCallback callback,
                                         void* user) {
  const auto chat = whatsAppMap.find(chatId);
  if (chat == whatsAppMap.end()) return kInvalidParameter;
  const std::vector<WhatsAppMessageRecord>& messages = chat->second;
  return WriteText(
      output, messages.size(),
      [&messages](std::size_t i) {
        const WhatsAppMessageRecord& m = messages[i];
        return Line(m.deleted, m.date, m.senderName, m.text);
      },
      callback, user);
}

Status CBackupEngine::ExportChatText(const ChatConversationMap& chats, const std::string& key, const std::string& owner,
                                     const fs::path& output, ProgressCallback callback, void* user) {
  const auto chat = chats.find(key);
  if (chat == chats.end()) return kInvalidParameter;
  const std::vector<PeerMessageRow>& messages = chat->second;
  return WriteText(
      output, messages.size(),
      [&messages, &owner, &key](std::size_t i) {
        const PeerMessageRow& m = messages[i];
        return Line(m.deleted, m.date, m.fromMe != 0 ? (owner.empty() ? std::string("Me") : owner) : key, m.text);
      },
      callback, user);
}

}  // namespace dunmere
