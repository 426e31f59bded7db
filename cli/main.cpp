// dunmere: the command-line face of the program.
#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>
#include <new>
#include <regex>
#include <string>

#include "backup/exit_signals.h"
#include "cli/commands.h"
#include "platform/version.h"

namespace {

constexpr char kWorkFolderHelp[] =
    "A private folder (yours, mode 0700) for the decrypted copy of an encrypted backup, in place of the data "
    "folder's (also DUNMERE_WORK_FOLDER)";

}  // namespace

int main(int argc, char** argv) {
  // Ctrl-C, a closed terminal or a kill removes the decrypted copy before the program ends.
  dunmere::RemoveWorkspacesAtExitSignals();
  // A file grown past the size limit it runs under is a failed write, told as such, not an end.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app{"Dunmere: reads iPhone and iPad backups and recovers their live and deleted records"};
  app.require_subcommand(1);
  app.set_version_flag("--version", dunmere::VersionText("dunmere"), "Print the version and the commit it was built from");

  dunmere::cli::ListOptions list;
  std::string root;
  CLI::App* listCommand = app.add_subcommand("list", "List the backups on this computer, newest first");
  listCommand->add_option("--root", root, "Folder that holds backup folders (default: the system's backup folder)");
  listCommand->add_flag("--json", list.json, "Print one JSON document");

  dunmere::cli::InfoOptions info;
  std::string backup;
  CLI::App* infoCommand = app.add_subcommand("info", "Show one backup's summary and manifest");
  infoCommand->add_option("BACKUP", backup, "Backup folder")->required();
  infoCommand->add_flag("--json", info.json, "Print one JSON document");
  infoCommand->add_flag("--password-stdin", info.passwordFromStdin,
                        "Read the password of an encrypted backup as one line of standard input");
  std::string infoWork;
  infoCommand->add_option("--work-folder", infoWork, kWorkFolderHelp);

  dunmere::cli::ScanOptions scan;
  std::string scanBackup;
  CLI::App* scanCommand = app.add_subcommand("scan", "Scan a backup's categories, live and deleted records");
  scanCommand->add_option("BACKUP", scanBackup, "Backup folder")->required();
  scanCommand->add_option("-c,--category", scan.categories,
                          "camera-roll, photo-stream, app-photos, app-videos, messages, message-attachments, "
                          "contacts, call-history, notes, whatsapp, whatsapp-attachments (default: all)");
  scanCommand->add_flag("--password-stdin", scan.passwordFromStdin,
                        "Read the password of an encrypted backup as one line of standard input");
  scanCommand->add_flag("--json", scan.json, "Print one JSON document");
  std::string scanWork;
  scanCommand->add_option("--work-folder", scanWork, kWorkFolderHelp);

  dunmere::cli::ExportOptions exportOptions;
  std::string exportBackup, exportOut;
  CLI::App* exportCommand = app.add_subcommand("export", "Export a backup's records as pages, text, CSV and copies");
  exportCommand->add_option("BACKUP", exportBackup, "Backup folder")->required();
  exportCommand->add_option("--out", exportOut, "Folder to write into")->required();
  exportCommand->add_option("-c,--category", exportOptions.categories, "Categories to export (default: all)");
  exportCommand->add_flag("--deleted-only", exportOptions.deletedOnly, "Only deleted records");
  // A day as the records' local dates begin: YYYY-MM-DD.
  const auto day = CLI::Validator(
      [](std::string& text) {
        static const std::regex form("[0-9]{4}-(0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01])");
        return std::regex_match(text, form) ? std::string() : "not a day of the form YYYY-MM-DD: " + text;
      },
      "YYYY-MM-DD", "day");
  exportCommand->add_option("--since", exportOptions.since, "Only dated records of this day or later")->check(day);
  exportCommand->add_option("--until", exportOptions.until, "Only dated records of this day or earlier")->check(day);
  exportCommand->add_flag("--heic-jpeg", exportOptions.heicJpeg,
                          "Also write a JPEG beside each HEIC picture (the original is copied unchanged)");
  exportCommand->add_flag("--password-stdin", exportOptions.passwordFromStdin,
                          "Read the password of an encrypted backup as one line of standard input");
  std::string exportWork;
  exportCommand->add_option("--work-folder", exportWork, kWorkFolderHelp);

  dunmere::cli::DecodeOptions decode;
  std::string database;
  CLI::App* decodeCommand = app.add_subcommand("decode", "Decode one table of a database file, live and deleted rows");
  decodeCommand->add_option("DBFILE", database, "SQLite database file")->required();
  CLI::Option* tableOption =
      decodeCommand->add_option("--table", decode.table, "Table to decode (message, handle, ZCALLRECORD, ...; a dropped table by its old name)");
  CLI::Option* tablesOption =
      decodeCommand->add_flag("--tables", decode.listTables, "List the file's tables, live and dropped, with their root pages");
  tableOption->excludes(tablesOption);
  decodeCommand->callback([tableOption, tablesOption] {
    if (tableOption->count() == 0 && tablesOption->count() == 0) throw CLI::RequiredError("--table or --tables");
  });
  decodeCommand->add_flag("--newer-layout", decode.newerLayout,
                          "Accepted for older scripts; the columns are found by their names in every layout");
  decodeCommand->add_flag("--doubtful", decode.doubtful,
                          "Also list the deleted candidates that fail a plausibility check, marked \"doubtful\"");
  decodeCommand->add_flag("--json", decode.json, "Print one JSON document");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 1;
  }

  const auto run = [&]() -> int {
    if (*listCommand) {
      if (!root.empty()) list.root = root;
      return dunmere::cli::RunList(list);
    }
    if (*infoCommand) {
      info.backup = backup;
      info.workFolder = infoWork;
      return dunmere::cli::RunInfo(info);
    }
    if (*scanCommand) {
      scan.backup = scanBackup;
      scan.workFolder = scanWork;
      return dunmere::cli::RunScan(scan);
    }
    if (*exportCommand) {
      exportOptions.backup = exportBackup;
      exportOptions.out = exportOut;
      exportOptions.workFolder = exportWork;
      return dunmere::cli::RunExport(exportOptions);
    }
    if (*decodeCommand) {
      decode.database = database;
      return dunmere::cli::RunDecode(decode);
    }
    return 1;
  };
  // Running out of memory ends the run with its reason and exit 1; the decrypted copy goes as at every
  // exit (the stack unwinds through its owner).
  try {
    return run();
  } catch (const std::bad_alloc&) {
    std::cerr << "dunmere: out of memory: the run was stopped\n";
    return 1;
  }
}
