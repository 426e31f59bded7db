#include "settings/settings.h"

#include <cctype>
#include <system_error>

#include "backup/work_folders.h"
#include "platform/program_dir.h"
#include "settings/ini_file.h"

namespace dunmere {
namespace fs = std::filesystem;
namespace {

// The sizes of the buffers the texts are read into, in characters.
constexpr std::size_t kLanguageKeyChars = 64;
constexpr std::size_t kSectionChars = 10240;
constexpr std::size_t kSectionNameChars = 1024;

constexpr char kSettingsName[] = "config.ini";
constexpr char kDefaultLanguage[] = "English";

}  // namespace

CSettings& CSettings::Get() {
  static CSettings settings = [] {
    const fs::path program = ProgramDirectory();
    fs::path data;
    DataFolder(data);
    const fs::path fallback = data.empty() ? fs::path() : data / kSettingsName;
    std::error_code ec;
    // A choice made earlier where the program's folder could not be written is the one that holds.
    const bool chosenBefore = !fallback.empty() && fs::exists(fallback, ec);
    CSettings made(chosenBefore ? fallback : program / kSettingsName, program / "Languages", fallback);
    made.Load();
    return made;
  }();
  return settings;
}

CSettings::CSettings(fs::path settingsFile, fs::path languageFolder, fs::path fallbackFile)
    : settingsFile_(std::move(settingsFile)),
      languageFolder_(std::move(languageFolder)),
      fallbackFile_(std::move(fallbackFile)) {}

void CSettings::Load() {
  const IniFile settings = IniFile::Load(settingsFile_);
  current_ = settings.Value("DefaultLanguage", "Default", kDefaultLanguage, kLanguageKeyChars);
  languages_.clear();
  for (const IniLine& line : settings.SectionLines("Languages", kSectionChars)) {
    languages_.emplace_back(line.key, line.text);
  }
  LoadTable();
}

void CSettings::LoadTable() {
  table_.clear();
  const IniFile language = IniFile::Load(languageFolder_ / (current_ + ".ini"));
  for (const std::string& name : language.SectionNames(kSectionNameChars)) {
    LanguageSection& section = table_[name];
    // The first line of a key holds; emplace keeps it.
    for (const IniLine& line : language.SectionLines(name, kSectionChars)) section.emplace(line.key, line.text);
  }
}

std::string CSettings::Word(const std::string& section, std::string_view english) {
  std::string key;
  for (const char c : english) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) key += c;
  }
  const auto sectionAt = table_.find(section);
  if (sectionAt == table_.end()) return std::string(english);
  const auto text = sectionAt->second.find(key);
  return text == sectionAt->second.end() || text->second.empty() ? std::string(english) : text->second;
}

Status CSettings::SetLanguage(const std::string& key) {
  IniFile settings = IniFile::Load(settingsFile_);
  settings.SetValue("DefaultLanguage", "Default", key);
  Status rc = settings.Save(settingsFile_);
  if (rc != kOk && !fallbackFile_.empty() && fallbackFile_ != settingsFile_) {
    // The program's folder is read-only: the data folder keeps the choice, with the offered list.
    std::error_code ec;
    fs::create_directories(fallbackFile_.parent_path(), ec);
    rc = settings.Save(fallbackFile_);
    if (rc == kOk) settingsFile_ = fallbackFile_;
  }
  Load();
  return rc;
}

}  // namespace dunmere
