#include "backup/device/relay_archive.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "backup/file_ids.h"
#include "backup/media_types.h"
#include "backup/polled_process.h"
#include "platform/file_util.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReceiveBytes = 64 * 1024;
constexpr std::uint64_t kReportEvery = 32ull << 20;
constexpr std::size_t kScanBlock = 128u << 20;
constexpr std::string_view kHeaderMark = "07070700";
constexpr std::size_t kHeaderBytes = 76;
constexpr char kContactsEntry[] = "/var/mobile/Library/AddressBook/AddressBook.sqlitedb";
constexpr char kMessagesEntry[] = "/var/mobile/Library/SMS/sms.db";

std::string RelayRequest() {
  std::unique_ptr<void, decltype(&plist_free)> root(plist_new_dict(), &plist_free);
  plist_t sources = plist_new_array();
  plist_array_append_item(sources, plist_new_string("UserDatabases"));
  plist_dict_set_item(root.get(), "Sources", sources);
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root.get(), &xml, &length);
  std::string text(xml != nullptr ? std::string(xml, length) : std::string());
  std::free(xml);
  std::string framed;
  for (int shift = 24; shift >= 0; shift -= 8) framed += static_cast<char>((text.size() >> shift) & 0xFF);
  return framed + text;
}

// Receives exactly size bytes; false when the connection ends first.
bool ReceiveExactly(IDeviceService& relay, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    std::size_t got = 0;
    if (relay.Receive(buffer + done, size - done, got) != kOk || got == 0) return false;
    done += got;
  }
  return true;
}

bool WriteAll(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

Status FetchRelayArchive(IDeviceService& relay, const fs::path& archive, const RelayProgress& progress) {
  if (const Status rc = relay.Send(RelayRequest()); rc != kOk) return kDeviceUnreadable;
  char length[4];
  if (!ReceiveExactly(relay, length, 4)) return kDeviceUnreadable;
  const std::uint32_t answerLength = (static_cast<std::uint32_t>(static_cast<unsigned char>(length[0])) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(length[1])) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(length[2])) << 8) |
                                     static_cast<unsigned char>(length[3]);
  std::vector<char> buffer(std::max<std::size_t>(kReceiveBytes, 1));
  for (std::uint32_t left = answerLength; left > 0;) {  // the answer's property list is not needed
    const std::size_t want = std::min<std::size_t>(left, buffer.size());
    if (!ReceiveExactly(relay, buffer.data(), want)) return kDeviceUnreadable;
    left -= static_cast<std::uint32_t>(want);
  }
  if (archive.has_parent_path()) CreateFolders(archive.parent_path());
  std::ofstream out(archive, std::ios::binary | std::ios::trunc);
  if (!out) return StatusFromErrno(errno != 0 ? errno : EIO);
  auto report = [&progress](std::int32_t value) {
    return progress.callback != nullptr ? progress.callback(progress.user, value) : kOk;
  };
  std::uint64_t received = 0;
  std::int32_t counter = 1;
  Status result = kOk;
  for (;;) {
    std::size_t got = 0;
    if (relay.Receive(buffer.data(), buffer.size(), got) != kOk || got == 0) break;
    out.write(buffer.data(), static_cast<std::streamsize>(got));
    if (!out) {
      result = StatusFromErrno(errno != 0 ? errno : EIO);
      break;
    }
    // Once at the first data, then every 32 MiB.
    const bool first = received == 0;
    const bool crossed = received / kReportEvery != (received + got) / kReportEvery;
    received += got;
    if (first || crossed) {
      if ((result = report(progress.base + counter++)) != kOk) break;
    }
  }
  report(progress.base + counter);
  return result;
}

Status ExtractArchive(const fs::path& archive, const fs::path& folder) {
  bool ok = false;
  std::string tail;  // the marker may be split between two reads
  const Status rc = RunPolled({"7z", "x", "-aoa", archive.string(), "-o" + folder.string()}, "",
                              [&](std::string_view piece) {
                                tail += piece;
                                if (tail.find("Everything is Ok") != std::string::npos) ok = true;
                                if (tail.size() > 64) tail.erase(0, tail.size() - 64);
                                return kOk;
                              });
  if (rc != kOk) return rc;
  if (ok) DeleteFileQuietly(archive);
  return kOk;
}

ArchiveCut ScanRelayArchive(const fs::path& unpacked, const fs::path& contactsOut, const fs::path& messagesOut,
                            const fs::path& mediaFolder) {
  ArchiveCut cut;
  std::ifstream in(unpacked, std::ios::binary);
  std::string block(kScanBlock, '\0');
  for (;;) {
    in.read(block.data(), static_cast<std::streamsize>(kScanBlock));
    const auto size = static_cast<std::size_t>(in.gcount());
    if (size < 513) break;
    const std::string_view data(block.data(), size);
    std::size_t at = data.find(kHeaderMark);
    while (at != std::string_view::npos) {
      const std::size_t nameAt = at + kHeaderBytes;
      const std::size_t next = data.find(kHeaderMark, at + kHeaderMark.size());
      const std::size_t end = next == std::string_view::npos ? size : next;
      const std::size_t nameEnd = nameAt < end ? data.find('\0', nameAt) : std::string_view::npos;
      if (nameEnd != std::string_view::npos && nameEnd < end) {
        const std::string name(data.substr(nameAt, nameEnd - nameAt));
        const std::string_view contents = data.substr(nameEnd + 1, end - nameEnd - 1);
        if (name == kContactsEntry) {
          cut.contacts = WriteAll(contactsOut, contents);
        } else if (name == kMessagesEntry) {
          cut.messages = WriteAll(messagesOut, contents);
        } else if (!contents.empty()) {
          // The type from the entry's first 128 bytes.
          std::string header(contents.substr(0, 128));
          header.resize(kMediaHeaderBytes, '\0');
          if (const auto type = DetectMediaTypeOfHeader(header)) {
            const fs::path file = mediaFolder / Sha1FileId(name);
            if (WriteAll(file, contents)) {
              const std::size_t slash = name.rfind('/');
              std::string fileName = slash == std::string::npos ? name : name.substr(slash + 1);
              if (const std::size_t dot = fileName.rfind('.'); dot != std::string::npos) fileName.resize(dot);
              fileName += '.';
              for (const char c : *type) fileName += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
              cut.attachments.push_back({0, static_cast<std::uint32_t>(contents.size()), fileName, file.string()});
            }
          }
        }
      }
      at = next;
    }
    if (size < kScanBlock) break;
  }
  return cut;
}

}  // namespace dunmere
