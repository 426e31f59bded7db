// Runs of the dunmere program that end badly or overlap: a signal in the middle of a decryption, a
// run killed outright, two runs at once, a decryptor that fails, damaged manifests. After each, no
// decrypted byte may remain on disk, every failure must be told with a non-zero exit, and no run may
// disturb another.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "backup/file_ids.h"
#include "tests/support/encrypted_backup.h"
#include "tests/support/fixture_backup.h"
#include "tests/support/sqlite_fixture.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using nlohmann::json;
using testing::TempDir;

using Env = std::vector<std::pair<std::string, std::string>>;

// A dunmere run in a child process, its output in files.
class ChildRun {
 public:
  ChildRun(const fs::path& program, const std::vector<std::string>& args, const Env& env, const std::string& input)
      : io_() {
    testing::WriteFile(io_ / "in", input);
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) variables.emplace_back(*e);
    for (const auto& [name, value] : env) variables.push_back(name + "=" + value);
    variables.push_back("TZ=UTC");
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp, envp;
    for (std::string& a : argv) argp.push_back(a.data());
    argp.push_back(nullptr);
    for (std::string& v : variables) envp.push_back(v.data());
    envp.push_back(nullptr);
    const std::string in = (io_ / "in").string(), out = (io_ / "out").string(), err = (io_ / "err").string();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(::open(in.c_str(), O_RDONLY), 0);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      ::execve(argp[0], argp.data(), envp.data());
      ::_exit(127);
    }
  }
  ~ChildRun() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  pid_t pid() const { return pid_; }
  int Wait() {
    if (!waited_) {
      while (::waitpid(pid_, &status_, 0) < 0 && errno == EINTR) {
      }
      waited_ = true;
    }
    return status_;
  }
  int ExitCode() { return WIFEXITED(Wait()) ? WEXITSTATUS(status_) : -1; }
  std::string Out() const { return testing::ReadFile(io_ / "out"); }
  std::string Err() const { return testing::ReadFile(io_ / "err"); }

 private:
  TempDir io_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool waited_ = false;
};

// Every file under folder, links not followed.
std::vector<fs::path> FilesUnder(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_directory()) files.push_back(it->path());
  }
  return files;
}

// The process id the stand-in decryptor wrote into its first file, once it is there whole.
pid_t WrittenPid(const std::vector<fs::path>& files) {
  for (int i = 0; i < 1000 && !files.empty(); ++i) {
    const std::string text = testing::ReadFile(files.front());
    if (!text.empty()) return static_cast<pid_t>(std::stoi(text));
    ::usleep(10000);
  }
  return -1;
}

// The decrypted files of every run's workspace under the data folder.
std::vector<fs::path> DecryptedFiles(const fs::path& appData) {
  std::vector<fs::path> files;
  for (const fs::path& f : FilesUnder(appData / "OrvantDunmere" / "Runs")) {
    if (f.parent_path().filename() == "OrvantDunmereBackupPath") files.push_back(f);
  }
  return files;
}

bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 1000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

// Gone, or ended and waiting to be reaped by whoever inherited it.
bool ProcessGone(pid_t pid) {
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
  const std::string stat = testing::ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t end = stat.rfind(") ");
  return end == std::string::npos || (end + 2 < stat.size() && stat[end + 2] == 'Z');
}

std::string MessagesDatabase(int messages) {
  std::vector<std::string> statements{testing::ReferenceSchema("sms_ios9.2.1.sql"),
                                      "INSERT INTO handle (ROWID, id, service) VALUES (4, '+15550100001', 'SMS');"};
  for (int i = 1; i <= messages; ++i) {
    statements.push_back("INSERT INTO message (ROWID, guid, text, handle_id, service, date) VALUES (" +
                         std::to_string(i) + ", 'g" + std::to_string(i) + "', 'message " + std::to_string(i) +
                         "', 4, 'SMS', " + std::to_string(100 * i) + ");");
  }
  return testing::SqliteDatabaseBytes(statements);
}

class InterruptedRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FixtureBackup backup;
    backup.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(5)}};
    testing::WriteEncryptedBackup(dir_ / "locked", backup, {"secret", 20, 5});
    fs::create_directories(appData_);
  }
  // A program folder with dunmere and the stand-in decryptor as its "tool" (signature altered).
  fs::path ProgramWithStandIn() {
    const fs::path program = dir_ / "program";
    fs::create_directories(program);
    fs::copy_file(DUNMERE_CLI, program / "dunmere", fs::copy_options::overwrite_existing);
    std::string tool = testing::ReadFile(DUNMERE_FAKE_TOOL);
    tool[0] = 'D';
    tool[1] = 'M';
    testing::WriteFile(program / "tool", tool);
    fs::permissions(program / "dunmere", fs::perms::owner_all);
    return program / "dunmere";
  }
  Env Environment(const Env& more = {}) const {
    Env env{{"DUNMERE_APPDATA", appData_.string()}, {"TMPDIR", (dir_ / "tmp").string()}};
    env.insert(env.end(), more.begin(), more.end());
    return env;
  }
  TempDir dir_;
  fs::path appData_ = dir_ / "appdata";
};

TEST_F(InterruptedRuns, ASignalDuringTheDecryptionLeavesNoPlaintextAndStopsTheDecryptor) {
  const fs::path program = ProgramWithStandIn();
  fs::create_directories(dir_ / "tmp");
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    // A decryptor that has written a file and would go on for a minute.
    ChildRun run(program, {"scan", (dir_ / "locked").string(), "--password-stdin"},
            Environment({{"FAKE_TOOL_WRITE", "sms.db"}, {"FAKE_TOOL_OUTPUT", "Count: 1\n"}, {"FAKE_TOOL_SLEEP", "60"}}),
            "secret\n");
    ASSERT_TRUE(Eventually([&] { return !DecryptedFiles(appData_).empty(); })) << sig << run.Err();
    const pid_t decryptor = WrittenPid(DecryptedFiles(appData_));
    ASSERT_GT(decryptor, 0);
    ::kill(run.pid(), sig);
    const int status = run.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " status " << status;
    EXPECT_TRUE(FilesUnder(appData_ / "OrvantDunmere" / "Runs").empty()) << sig;
    EXPECT_TRUE(FilesUnder(dir_ / "tmp").empty()) << sig;
    EXPECT_TRUE(Eventually([&] { return ProcessGone(decryptor); })) << sig;
    if (!ProcessGone(decryptor)) ::kill(decryptor, SIGKILL);
  }
}

TEST_F(InterruptedRuns, ARunKilledOutrightIsCleanedUpByTheNextStart) {
  const fs::path program = ProgramWithStandIn();
  ChildRun run(program, {"scan", (dir_ / "locked").string(), "--password-stdin"},
          Environment({{"FAKE_TOOL_WRITE", "sms.db"}, {"FAKE_TOOL_OUTPUT", "Count: 1\n"}, {"FAKE_TOOL_SLEEP", "60"}}),
          "secret\n");
  ASSERT_TRUE(Eventually([&] { return !DecryptedFiles(appData_).empty(); })) << run.Err();
  const pid_t decryptor = WrittenPid(DecryptedFiles(appData_));
  ASSERT_GT(decryptor, 0);
  ::kill(run.pid(), SIGKILL);
  run.Wait();
  ::kill(decryptor, SIGKILL);  // the stand-in does not end with its parent as the real decryptor does
  ASSERT_FALSE(DecryptedFiles(appData_).empty());

  testing::FixtureBackup plain;
  plain.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(1)}};
  testing::WriteFixtureBackup(dir_ / "plain", plain);
  ChildRun next(DUNMERE_CLI, {"scan", (dir_ / "plain").string(), "-c", "messages"}, Environment(), "");
  EXPECT_EQ(next.ExitCode(), 0) << next.Err();
  EXPECT_TRUE(FilesUnder(appData_ / "OrvantDunmere" / "Runs").empty());
}

TEST_F(InterruptedRuns, TwoRunsAtOnceEachReadTheirOwnBackup) {
  testing::FixtureBackup other;
  other.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(2)}};
  testing::WriteEncryptedBackup(dir_ / "other", other, {"other", 20, 5});
  for (int round = 0; round < 3; ++round) {
    ChildRun first(DUNMERE_CLI, {"scan", (dir_ / "locked").string(), "--password-stdin", "--json", "-c", "messages"},
              Environment(), "secret\n");
    ChildRun second(DUNMERE_CLI, {"scan", (dir_ / "other").string(), "--password-stdin", "--json", "-c", "messages"},
               Environment(), "other\n");
    ASSERT_EQ(first.ExitCode(), 0) << first.Err();
    ASSERT_EQ(second.ExitCode(), 0) << second.Err();
    const json a = json::parse(first.Out()), b = json::parse(second.Out());
    EXPECT_EQ(a.at("categories").at("messages").at("conversations").at(0).at("messages").size(), 5u);
    EXPECT_EQ(b.at("categories").at("messages").at("conversations").at(0).at("messages").size(), 2u);
    EXPECT_EQ(a.at("backup").at("folderPath"), (dir_ / "locked").string());
  }
  EXPECT_TRUE(FilesUnder(appData_ / "OrvantDunmere" / "Runs").empty());
}

TEST_F(InterruptedRuns, AFailedDecryptionIsAFailureInTextAndJson) {
  std::string plist = testing::ReadFile(dir_ / "locked" / "Manifest.plist");
  plist.replace(plist.find("BackupKeyBag"), 12, "BackupKeyBug");
  testing::WriteFile(dir_ / "locked" / "Manifest.plist", plist);

  ChildRun scan(DUNMERE_CLI, {"scan", (dir_ / "locked").string(), "--password-stdin", "--json"}, Environment(), "secret\n");
  EXPECT_EQ(scan.ExitCode(), 1);
  const json doc = json::parse(scan.Out());
  EXPECT_NE(doc.at("error").get<std::string>().find("keybag is missing or damaged"), std::string::npos) << doc;
  EXPECT_EQ(doc.at("open"), -111);
  EXPECT_NE(scan.Err().find("could not be decrypted"), std::string::npos) << scan.Err();

  ChildRun exported(DUNMERE_CLI, {"export", (dir_ / "locked").string(), "--out", (dir_ / "out").string(), "--password-stdin"},
               Environment(), "secret\n");
  EXPECT_EQ(exported.ExitCode(), 1);
  EXPECT_EQ(exported.Out().find("Nothing to export"), std::string::npos) << exported.Out();
  EXPECT_NE(exported.Err().find("keybag is missing or damaged"), std::string::npos) << exported.Err();
  EXPECT_TRUE(FilesUnder(appData_ / "OrvantDunmere" / "Runs").empty());

  // A file the decryptor could not decrypt is no absent file: the scan says so and fails.
  testing::FixtureBackup cut;
  cut.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(1)}};
  testing::WriteEncryptedBackup(dir_ / "cut", cut, {"secret", 20, 5});
  const std::string sms = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
  const fs::path smsPath = dir_ / "cut" / sms.substr(0, 2) / sms;
  const std::string smsBytes = testing::ReadFile(smsPath);
  testing::WriteFile(smsPath, smsBytes.substr(0, smsBytes.size() - 3));
  ChildRun partial(DUNMERE_CLI, {"scan", (dir_ / "cut").string(), "--password-stdin", "--json", "-c", "messages"},
                   Environment(), "secret\n");
  EXPECT_EQ(partial.ExitCode(), 1) << partial.Err();
  EXPECT_NE(json::parse(partial.Out()).at("error").get<std::string>().find(
                "1 file(s) of the backup could not be decrypted (not whole cipher blocks: " + sms + ")"),
            std::string::npos)
      << partial.Out();

  // A work folder that others can enter is refused before anything is decrypted.
  fs::create_directories(dir_ / "shared");
  fs::permissions(dir_ / "shared", fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  testing::FixtureBackup backup;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(1)}};
  testing::WriteEncryptedBackup(dir_ / "whole", backup, {"secret", 20, 5});
  ChildRun refused(DUNMERE_CLI, {"scan", (dir_ / "whole").string(), "--password-stdin", "--work-folder", (dir_ / "shared").string()},
              Environment(), "secret\n");
  EXPECT_EQ(refused.ExitCode(), 1);
  EXPECT_NE(refused.Err().find("not private"), std::string::npos) << refused.Err();
  EXPECT_TRUE(FilesUnder(dir_ / "shared").empty());
  // A private one is used, and left empty.
  ChildRun named(DUNMERE_CLI, {"scan", (dir_ / "whole").string(), "--password-stdin", "--work-folder", (dir_ / "mine").string()},
            Environment(), "secret\n");
  EXPECT_EQ(named.ExitCode(), 0) << named.Err();
  EXPECT_TRUE(fs::exists(dir_ / "mine"));
  EXPECT_TRUE(FilesUnder(dir_ / "mine").empty());
}

TEST_F(InterruptedRuns, DamagedManifestsAndUnreadableDatabasesAreTold) {
  testing::FixtureBackup backup;
  backup.layout = testing::FixtureLayout::kManifestMbdb;
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(1)},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()}};
  testing::WriteFixtureBackup(dir_ / "old", backup);
  std::string mbdb = testing::ReadFile(dir_ / "old" / "Manifest.mbdb");
  mbdb.resize(mbdb.size() - 10);
  testing::WriteFile(dir_ / "old" / "Manifest.mbdb", mbdb);
  ChildRun scan(DUNMERE_CLI, {"scan", (dir_ / "old").string(), "--json"}, Environment(), "");
  EXPECT_EQ(scan.ExitCode(), 1);
  json doc = json::parse(scan.Out());
  EXPECT_EQ(doc.at("open"), 13);
  EXPECT_NE(doc.at("error").get<std::string>().find("Manifest.mbdb is cut short or damaged (1 entries read)"),
            std::string::npos)
      << doc.at("error");
  // What could be read is still there.
  EXPECT_EQ(doc.at("categories").at("messages").at("conversations").size(), 1u);

  // A database that is no database: its category failed, with the reason in its own object.
  testing::WriteFixtureBackup(dir_ / "zeroed", backup);
  const std::string id = "31bb7ba8914766d4ba40d6dfb6113c8b614be442";  // the address book
  testing::WriteFile(dir_ / "zeroed" / id, std::string(8192, '\0'));
  ChildRun zeroed(DUNMERE_CLI, {"scan", (dir_ / "zeroed").string(), "--json", "-c", "contacts"}, Environment(), "");
  EXPECT_EQ(zeroed.ExitCode(), 1) << zeroed.Err();
  doc = json::parse(zeroed.Out());
  EXPECT_NE(doc.at("categories").at("contacts").at("result"), 0);
  EXPECT_TRUE(doc.at("categories").at("contacts").contains("error")) << doc;
  EXPECT_NE(doc.at("error").get<std::string>().find("contacts could not be read"), std::string::npos);
  // With --json too, the reason is on standard error.
  EXPECT_NE(zeroed.Err().find("dunmere: not everything could be read: "), std::string::npos) << zeroed.Err();
  EXPECT_NE(scan.Err().find("Manifest.mbdb is cut short or damaged"), std::string::npos) << scan.Err();
}

TEST_F(InterruptedRuns, LinksAndSpecialFilesInABackupAreSkippedAndTold) {
  testing::FixtureBackup backup;
  const std::string photo = "\xFF\xD8\xFF\xE0 a picture inside the backup";
  backup.files = {{"HomeDomain", "Library/SMS/sms.db", MessagesDatabase(3)},
                  {"HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", testing::ContactsDatabaseBytes()},
                  {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", photo}};
  testing::WriteFixtureBackup(dir_ / "hostile", backup);
  const auto place = [&](std::string_view id) { return dir_ / "hostile" / std::string(id.substr(0, 2)) / std::string(id); };
  // Outside the backup: a database and a picture a link would lead to.
  testing::WriteFile(dir_ / "outside" / "sms.db", MessagesDatabase(9));
  testing::WriteFile(dir_ / "outside" / "pictures" / Sha1FileId("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG"),
                     "\xFF\xD8\xFF\xE0 a picture from elsewhere");
  fs::remove(place(kMessagesDbId));
  fs::create_symlink(dir_ / "outside" / "sms.db", place(kMessagesDbId));
  fs::remove(place(kContactsDbId));
  ASSERT_EQ(::mkfifo(place(kContactsDbId).c_str(), 0600), 0);
  const std::string photoId = Sha1FileId("CameraRollDomain-Media/DCIM/100APPLE/IMG_0001.JPG");
  fs::remove_all(dir_ / "hostile" / photoId.substr(0, 2));
  fs::create_directory_symlink(dir_ / "outside" / "pictures", dir_ / "hostile" / photoId.substr(0, 2));

  ChildRun scan(DUNMERE_CLI, {"scan", (dir_ / "hostile").string(), "--json"}, Environment(), "");
  ASSERT_EQ(scan.ExitCode(), 1) << scan.Err();  // and it ended: the FIFO was not waited on
  const json doc = json::parse(scan.Out());
  EXPECT_TRUE(doc.at("categories").at("messages").at("conversations").empty());
  EXPECT_TRUE(doc.at("categories").at("contacts").at("records").empty());
  EXPECT_TRUE(doc.at("categories").at("cameraRoll").at("records").empty());
  EXPECT_NE(doc.at("error").get<std::string>().find("3 file(s) of the backup skipped"), std::string::npos)
      << doc.at("error");

  ChildRun exported(DUNMERE_CLI, {"export", (dir_ / "hostile").string(), "--out", (dir_ / "out").string()},
                    Environment(), "");
  EXPECT_EQ(exported.ExitCode(), 1);
  for (const fs::path& file : FilesUnder(dir_ / "out")) {
    EXPECT_EQ(testing::ReadFile(file).find("from elsewhere"), std::string::npos) << file;
  }
}

}  // namespace
}  // namespace dunmere
