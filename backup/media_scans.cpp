// The media categories of the backup engine: files picked from the manifest by their domain-path and
// kept when their header shows a known picture, sound or video format; and the copies of such files.
#include <algorithm>
#include <map>
#include <cerrno>
#include <limits>
#include <vector>

#include "backup/backup_engine.h"
#include "backup/run_workspace.h"
#include "backup/media_copies.h"
#include "backup/media_types.h"
#include "platform/file_util.h"
#include "platform/text_compare.h"

namespace dunmere {
namespace fs = std::filesystem;

namespace {

// The last part of a domain-path (after its last "/").
std::string LastPart(const std::string& domainPath) {
  const std::size_t slash = domainPath.rfind('/');
  return slash == std::string::npos ? domainPath : domainPath.substr(slash + 1);
}

// The name cut before its last "." and given the type's extension in upper case.
std::string NameWithType(const std::string& last, const std::string& type) {
  const std::size_t dot = last.rfind('.');
  std::string name = dot == std::string::npos ? last : last.substr(0, dot);
  name += '.';
  for (const char c : type) name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return name;
}

std::uint32_t FileSize32(const fs::path& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return 0;
  return size > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                            : static_cast<std::uint32_t>(size);
}

// An app's name from its domain: the text after the first "com." (or else "net.") up to the next "-".
std::string AppName(const std::string& domainPath) {
  std::size_t start = domainPath.find("com.");
  if (start == std::string::npos) start = domainPath.find("net.");
  if (start == std::string::npos) return "other";
  const std::size_t dash = domainPath.find('-', start);
  if (dash == std::string::npos) return "other";
  std::string name = domainPath.substr(start + 4, dash - (start + 4));
  if (name.size() > 259) name.resize(259);
  return name;
}

// An app's own container, and (for current apps, WhatsApp among them) its shared group and plug-in
// containers, which "AppDomain-" alone never reaches.
bool IsAppDomain(const std::string& domainPath) {
  return domainPath.find("AppDomain-") != std::string::npos || domainPath.find("AppDomainGroup-") != std::string::npos ||
         domainPath.find("AppDomainPlugin-") != std::string::npos;
}

template <typename Record>
void SortByName(std::vector<Record>& records) {
  if (records.size() > 1) {
    std::stable_sort(records.begin(), records.end(),
                     [](const Record& a, const Record& b) { return LessNoCase(a.fileName, b.fileName); });
  }
}

// Where a media file came from, to find Live Photos among the files found.
struct LiveHalf {
  std::string domainPath;
  std::string type;   // the detected type's extension
  std::size_t index;  // in the list
};

// A Live Photo is a picture (HEIC or JPEG) and a QuickTime movie of one name in one folder: each half
// names the other.
void PairLivePhotos(std::vector<MediaFileRecord>& list, const std::vector<LiveHalf>& halves) {
  std::map<std::string, std::pair<const LiveHalf*, const LiveHalf*>> byStem;  // picture, movie
  for (const LiveHalf& h : halves) {
    const bool picture = h.type == "heic" || h.type == "jpg";
    if (!picture && h.type != "mov") continue;
    const std::size_t dot = h.domainPath.rfind('.');
    std::string stem = h.domainPath.substr(0, dot == std::string::npos ? h.domainPath.size() : dot);
    for (char& c : stem) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    auto& pair = byStem[stem];
    (picture ? pair.first : pair.second) = &h;
  }
  for (const auto& [stem, pair] : byStem) {
    if (pair.first == nullptr || pair.second == nullptr) continue;
    list[pair.first->index].livePair = list[pair.second->index].fileName;
    list[pair.second->index].livePair = list[pair.first->index].fileName;
  }
}

std::int32_t Share(std::int64_t weight, std::int64_t done, std::int64_t total) {
  return static_cast<std::int32_t>(total == 0 ? 0 : weight * done / total);
}

}  // namespace

Status CBackupEngine::ScanMessageAttachments(std::vector<AttachmentFileRecord>& out) {
  const std::int64_t total = static_cast<std::int64_t>(manifestEntries.size());
  std::int64_t reports = 0;
  for (const ManifestEntry& entry : manifestEntries) {
    if (entry.domainPath.find("/Attachments/") != std::string::npos) {
      const fs::path path = MediaPath(entry);
      if (!FileExists(path)) continue;  // no progress report for a file that is not there
      if (const auto type = DetectMediaType(path)) {
        const std::uint32_t size = FileSize32(path);
        if (size != 0) out.push_back({0, size, NameWithType(LastPart(entry.domainPath), *type), path.string()});
      }
    }
    if (const Status rc = Report(progressBase + Share(stepWeight, ++reports, total)); rc != kOk) return rc;
  }
  SortByName(out);
  progressBase += stepWeight;
  Report(progressBase);
  return kOk;
}

Status CBackupEngine::ScanCameraRollAndPhotoStream(std::vector<MediaFileRecord>& cameraRoll,
                                                   std::vector<MediaFileRecord>& photoStream) {
  std::vector<LiveHalf> rollHalves, streamHalves;
  const std::int64_t total = static_cast<std::int64_t>(manifestEntries.size());
  std::int64_t reports = 0;
  for (const ManifestEntry& entry : manifestEntries) {
    std::vector<MediaFileRecord>* list = nullptr;
    if (entry.domainPath.find("CameraRollDomain-Media/DCIM/") != std::string::npos) {
      list = &cameraRoll;
    } else if (entry.domainPath.find("MediaDomain-Media/PhotoStreamsData/") != std::string::npos) {
      list = &photoStream;
    }
    if (list != nullptr) {
      const fs::path path = MediaPath(entry);
      if (!FileExists(path)) continue;
      if (const auto type = DetectMediaType(path)) {
        list->push_back({FileSize32(path), LastPart(entry.domainPath), path.string(), {}});
        (list == &cameraRoll ? rollHalves : streamHalves).push_back({entry.domainPath, *type, list->size() - 1});
      }
    }
    if (const Status rc = Report(progressBase + Share(2 * stepWeight, ++reports, total)); rc != kOk) return rc;
  }
  PairLivePhotos(cameraRoll, rollHalves);
  PairLivePhotos(photoStream, streamHalves);
  SortByName(cameraRoll);
  SortByName(photoStream);
  progressBase += 2 * stepWeight;
  Report(progressBase);
  return kOk;
}

Status CBackupEngine::ScanAppMedia(std::vector<AppMediaRecord>& out) {
  whatsAppAttachments.clear();
  const std::int64_t total = static_cast<std::int64_t>(manifestEntries.size());
  std::int64_t reports = 0;
  for (const ManifestEntry& entry : manifestEntries) {
    if (IsAppDomain(entry.domainPath)) {
      const fs::path path = MediaPath(entry);
      if (const auto type = DetectMediaType(path)) {
        const std::string name = NameWithType(LastPart(entry.domainPath), *type);
        const std::uint32_t size = FileSize32(path);
        if (entry.domainPath.find("net.whatsapp.WhatsApp") != std::string::npos) {
          if (size != 0) whatsAppAttachments.push_back({size, name, path.string(), {}});
        } else {
          out.push_back({size, AppName(entry.domainPath), name, path.string()});
        }
      }
    }
    if (const Status rc = Report(progressBase + Share(2 * stepWeight, ++reports, total)); rc != kOk) return rc;
  }
  SortByName(out);
  SortByName(whatsAppAttachments);
  progressBase += stepWeight;
  Report(progressBase);
  return kOk;
}

Status CBackupEngine::GetWhatsAppAttachments(std::vector<MediaFileRecord>& out) {
  out = whatsAppAttachments;
  progressBase += stepWeight;
  return Report(progressBase);
}

Status CBackupEngine::MakePreviewCopy(const fs::path& source, fs::path& output, ProgressCallback callback,
                                      void* user) {
  RunWorkspace* workspace = nullptr;
  std::string reason;
  if (const Status rc = Workspace(workspace, reason); rc != kOk) return rc;
  return MakeMediaPreviewCopy(workspace->folder(), source, output, callback, user);
}

Status CBackupEngine::CopyOut(const fs::path& source, const fs::path& destination, CopyCallback callback,
                              void* user) {
  return CopyMediaOut(source, destination, callback, user);
}

}  // namespace dunmere
