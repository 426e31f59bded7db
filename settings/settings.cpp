#include "settings/settings.h"

#include <cctype>
#include <system_error>

#include "backup/work_folders.h"
#include "platform/app_data.h"
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
    const fs::path shipped = ResourceDirectory();
    fs::path config;
    ConfigFolder(config);
    fs::path data;
    DataFolder(data);
    const fs::path fallback = data.empty() ? fs::path() : data / kSettingsName;
    const fs::path own = config.empty() ? fallback : config / "dunmere" / kSettingsName;
    std::error_code ec;
    // A choice made earlier where the configuration folder could not be written is the one that holds.
    const bool chosenBefore = !fallback.empty() && !fs::exists(own, ec) && fs::exists(fallback, ec);
    CSettings made(chosenBefore ? fallback : own, shipped / "Languages", fallback, shipped / kSettingsName);
    made.Load();
    return made;
  }();
  return settings;
}

CSettings::CSettings(fs::path settingsFile, fs::path languageFolder, fs::path fallbackFile, fs::path defaultsFile)
    : settingsFile_(std::move(settingsFile)),
      languageFolder_(std::move(languageFolder)),
      fallbackFile_(std::move(fallbackFile)),
      defaultsFile_(std::move(defaultsFile)) {}

void CSettings::Load() {
  std::error_code ec;
  const bool own = defaultsFile_.empty() || fs::exists(settingsFile_, ec);
  const IniFile settings = IniFile::Load(own ? settingsFile_ : defaultsFile_);
  current_ = settings.Value("DefaultLanguage", "Default", kDefaultLanguage, kLanguageKeyChars);
  languages_.clear();
  const IniFile offered = defaultsFile_.empty() ? settings : IniFile::Load(defaultsFile_);
  for (const IniLine& line : offered.SectionLines("Languages", kSectionChars)) {
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
  std::error_code ec;
  // The user's file starts as a copy of the shipped one.
  const bool own = defaultsFile_.empty() || fs::exists(settingsFile_, ec);
  IniFile settings = IniFile::Load(own ? settingsFile_ : defaultsFile_);
  settings.SetValue("DefaultLanguage", "Default", key);
  if (!settingsFile_.parent_path().empty()) fs::create_directories(settingsFile_.parent_path(), ec);
  Status rc = settings.Save(settingsFile_);
  if (rc != kOk && !fallbackFile_.empty() && fallbackFile_ != settingsFile_) {
    // The configuration folder is read-only: the data folder keeps the choice, with the offered list.
    fs::create_directories(fallbackFile_.parent_path(), ec);
    rc = settings.Save(fallbackFile_);
    if (rc == kOk) settingsFile_ = fallbackFile_;
  }
  Load();
  return rc;
}

}  // namespace dunmere
