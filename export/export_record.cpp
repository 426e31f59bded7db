#include "export/export_record.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "export/export_names.h"
#include "export/whole_file.h"
#include "platform/file_util.h"
#include "platform/hex_text.h"

namespace dunmere {
namespace fs = std::filesystem;

Status FileSha256(const fs::path& path, std::string& hex) {
  hex.clear();
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) ::close(fd);
    }
  } const file{OpenRegularFile(path)};
  if (file.fd < 0) return StatusFromErrno(errno);
  const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return kNotEnoughMemory;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t got = ::read(file.fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return StatusFromErrno(errno);
    if (got == 0) break;
    EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got));
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return kNotEnoughMemory;
  hex = HexDigits(std::string_view(reinterpret_cast<const char*>(digest), length));
  return kOk;
}

namespace {

// A name as `sha256sum` writes it: one with a backslash or a line end starts its line with a
// backslash and has those written out.
std::string SumsLine(const std::string& hex, const std::string& name) {
  std::string escaped;
  for (const char c : name) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else {
      escaped.push_back(c);
    }
  }
  return (escaped.size() != name.size() ? "\\" : "") + hex + "  " + escaped + "\n";
}

}  // namespace

Status WriteExportRecord(const fs::path& root, const std::string& stamp, const std::vector<WrittenFile>& files,
                         const std::string& state) {
  std::string sums;
  std::string log = "path,size,sha256,backup_file_id,domain_path,state\r\n";
  for (const WrittenFile& file : files) {
    const std::string name = file.path.lexically_relative(root).generic_string();
    std::string hex;
    const Status rc = FileSha256(file.path, hex);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file.path, ec);
    if (rc == kOk) sums += SumsLine(hex, name);
    log += CsvField(name) + "," + (ec ? std::string() : std::to_string(size)) + "," + hex + "," +
           CsvField(file.backupFileId) + "," + CsvField(file.domainPath) + "," +
           (rc == kOk ? std::string("written") : CsvField("unreadable: " + StatusText(rc))) + "\r\n";
  }
  // The export itself, last: what the files above add up to.
  log += CsvField("(export " + stamp + ")") + "," + std::to_string(files.size()) + ",,,," + CsvField(state) + "\r\n";
  if (const Status rc = WriteWholeText(root / ("SHA256SUMS-" + stamp), sums); rc != kOk) return rc;
  return WriteWholeText(root / ("export-log-" + stamp + ".csv"), log);
}

}  // namespace dunmere
