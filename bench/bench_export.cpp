// Exporting 100,000 messages in 1,000 conversations and 10,000 contacts: pages, text files and the
// contacts page, timed.
//
//   bench_export [MESSAGES] [CONVERSATIONS] [CONTACTS]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "export/export_run.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace dunmere;

// The whole-table CSV files come from the backup's databases, which this benchmark does not have.
class NoDatabaseSource : public CLocalBuckupRecovery {
 public:
  Status ExportMessagesCsv(const std::filesystem::path&) override { return kOk; }
  Status ExportContactsCsv(const std::filesystem::path&) override { return kOk; }
};

}  // namespace

int main(int argc, char** argv) {
  const int messages = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int conversations = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int contacts = argc > 3 ? std::atoi(argv[3]) : 10000;
  testing::TempDir dir;
  ScanResults results;
  results.deviceName = "Benchmark iPhone";
  for (int i = 0; i < messages; ++i) {
    MessageRecord m;
    m.handleId = i % conversations;
    m.handle = "+1555" + std::to_string(1000000 + m.handleId);
    m.contactName = "Person " + std::to_string(m.handleId);
    m.fromMe = i % 2;
    m.deleted = i % 10 == 3 ? 1 : 0;
    m.date = "2020-01-01 10:00:00";
    m.text = "Message " + std::to_string(i) + " with a little <text> & more to read";
    results.messages[m.handleId].push_back(std::move(m));
  }
  for (int i = 0; i < contacts; ++i) {
    ContactRecord c;
    c.name = "Contact " + std::to_string(i);
    c.phones = "+1555" + std::to_string(2000000 + i) + "\n555" + std::to_string(2000000 + i);
    c.emails = "c" + std::to_string(i) + "@example.com";
    results.contacts.push_back(std::move(c));
  }
  Selection selection;
  SelectionEntry entry;
  entry.checked = 1;
  entry.category = CategoryId::kMessages;
  for (const auto& [key, list] : results.messages) selection[&list.front()] = entry;
  entry.category = CategoryId::kContacts;
  for (const ContactRecord& c : results.contacts) selection[&c] = entry;

  NoDatabaseSource source;
  ExportRun run(results, selection, source, dir / "out");
  if (run.Prepare(DUNMERE_TEMPLATE_DIR) != kOk) {
    std::printf("templates missing\n");
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  run.Run();
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("exported %d messages in %d conversations and %d contacts: %d items done, %d failed, %.0f ms\n", messages,
              conversations, contacts, run.done, run.failed, ms);
  return 0;
}
