#pragma once
// The program's one setting, the language of its screens, and the texts of that language: the shipped
// config.ini names the offered languages and the default one, the user's own config.ini (in their
// configuration folder, made on the first choice) the chosen one; Languages/<key>.ini holds a section
// of texts per window (keys are control names) and the message texts (MSGnnnn).
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace dunmere {

using LanguageSection = std::map<std::string, std::string>;

class CSettings {
 public:
  // The process's settings object, made and loaded on first use: the user's file is
  // <configuration folder>/dunmere/config.ini (config.ini under the data folder instead once a language
  // was chosen where that cannot be written), the shipped one and the language files are those of the
  // program's data files.
  static CSettings& Get();

  // Settings read from settingsFile, with the language files in languageFolder; a language choice
  // that cannot be written to settingsFile goes to fallbackFile (and is read from there on). With a
  // defaultsFile (the shipped settings), the offered languages are its, and so is the current one
  // until settingsFile exists.
  CSettings(std::filesystem::path settingsFile, std::filesystem::path languageFolder,
            std::filesystem::path fallbackFile = {}, std::filesystem::path defaultsFile = {});

  // Reads the current language, the offered ones and the current language's texts.
  void Load();

  std::string CurrentLanguage() const { return current_; }
  const std::vector<std::pair<std::string, std::string>>& Languages() const { return languages_; }

  // A section of the language's texts; one the file lacks is made, empty.
  LanguageSection& Section(const std::string& name) { return table_[name]; }
  // A text of a section; a key the section lacks is added with an empty text.
  static const std::string& Text(LanguageSection& section, const std::string& key) { return section[key]; }
  // A message text (section "Messages").
  const std::string& Message(const std::string& id) { return Text(Section("Messages"), id); }
  // A word the program writes itself, in the language chosen: the text of the English word's key (its
  // letters and digits: "Phone Number:" is "PhoneNumber") in a section; the English word where the
  // section has none.
  std::string Word(const std::string& section, std::string_view english);

  // Makes key the current language: writes it to the settings file, reads it back and loads that
  // language's texts. The system's code when the choice could be written nowhere.
  Status SetLanguage(const std::string& key);

  const std::filesystem::path& SettingsFile() const { return settingsFile_; }

 private:
  void LoadTable();

  std::filesystem::path settingsFile_;
  std::filesystem::path languageFolder_;
  std::filesystem::path fallbackFile_;
  std::filesystem::path defaultsFile_;
  std::string current_;
  std::vector<std::pair<std::string, std::string>> languages_;
  std::map<std::string, LanguageSection> table_;
};

}  // namespace dunmere
