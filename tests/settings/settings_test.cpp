// The language setting and the language files: which lines and sections count, the sizes they are
// held to, and the language choice written, read back and applied, also where the program's own
// folder cannot be written.
#include <gtest/gtest.h>

#include <fstream>

#include "settings/ini_file.h"
#include "settings/message_format.h"
#include "settings/settings.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

void Write(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(IniFile, LinesSectionsAndSizes) {
  const IniFile file = IniFile::Parse(
      "\xEF\xBB\xBF"
      "stray=before any section\r\n"
      "[Main]\r\n"
      "BtnOk=OK\n"
      "; a comment\n"
      "BtnOk=second, ignored\n"
      "just a line\n"
      "Empty=\n"
      "[other]\n"
      "x=1\n"
      "[MAIN]\n"
      "BtnCancel=Cancel = stop\n");
  EXPECT_EQ(file.SectionNames(1024), (std::vector<std::string>{"Main", "other"}));  // one name each
  const std::vector<IniLine> lines = file.SectionLines("main", 10240);  // both [Main] sections, in order
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].key, "BtnOk");
  EXPECT_EQ(lines[0].text, "OK");
  EXPECT_EQ(lines[2].key, "just a line");
  EXPECT_EQ(lines[2].text, "just a line");
  EXPECT_EQ(lines[3].text, "");
  EXPECT_EQ(lines[4].text, "Cancel = stop");  // split at the first "="
  EXPECT_EQ(file.Value("MAIN", "btnok", "-", 64), "OK");
  EXPECT_EQ(file.Value("Main", "BtnCancel", "-", 64), "-");  // only the first section of a name
  EXPECT_EQ(file.Value("Main", "missing", "fallback", 5), "fall");

  // Sizes in characters, terminators counted: "ab=1\0" takes 5 of the 11, "cd=22\0" does not fit whole.
  const IniFile small = IniFile::Parse("[s]\nab=1\ncd=22\nef=3\n");
  const std::vector<IniLine> cut = small.SectionLines("s", 11);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[1].key, "cd");
  EXPECT_EQ(cut[1].text, "2");
  EXPECT_EQ(IniFile::Parse("[aaaa]\n[bbbb]\n[c]\n").SectionNames(11), (std::vector<std::string>{"aaaa", "bbbb"}));
  // Characters, not bytes: a cut never splits one.
  EXPECT_EQ(FirstCharacters("Größe", 3), "Grö");
  EXPECT_EQ(CharacterCount("Größe"), 5u);
}

TEST(IniFile, SetValueKeepsTheRest) {
  IniFile file = IniFile::Parse("[Languages]\nEnglish=English\nDeutsch=Deutsch\n[DefaultLanguage]\nDefault=English\n");
  file.SetValue("defaultlanguage", "DEFAULT", "Deutsch");
  file.SetValue("New", "k", "v");
  const IniFile again = IniFile::Parse(file.Text());
  EXPECT_EQ(again.Value("DefaultLanguage", "Default", "", 64), "Deutsch");
  EXPECT_EQ(again.SectionLines("Languages", 10240).size(), 2u);
  EXPECT_EQ(again.Value("New", "k", "", 64), "v");
}

TEST(MessageFormat, ValuesInTurnAndNothingElse) {
  EXPECT_EQ(FormatMessage("%d of %d file(s): %d done, %d failed", {"3", "5", "2", "1"}), "3 of 5 file(s): 2 done, 1 failed");
  EXPECT_EQ(FormatMessage("%s in %d item(s) 100%%", {"1.00 KB", "4"}), "1.00 KB in 4 item(s) 100%");
  // A format from a hostile file: placeholders beyond the values and others stay as written.
  EXPECT_EQ(FormatMessage("%s %s %n %x %", {"a"}), "a %s %n %x %");
}

class SettingsTest : public ::testing::Test {
 protected:
  std::filesystem::path Program() const { return dir_ / "program"; }
  CSettings Make() {
    CSettings settings(Program() / "config.ini", Program() / "Languages", dir_ / "data" / "config.ini");
    settings.Load();
    return settings;
  }
  testing::TempDir dir_;
};

TEST_F(SettingsTest, LanguageFileSectionsAndMessages) {
  Write(Program() / "config.ini", "[Languages]\nEnglish=English\nDeutsch=Deutsch (Deutschland)\n");
  Write(Program() / "Languages" / "English.ini",
        "[MainWnd]\nBtnAssist=Menu\n[Messages]\nMSG0301=Please enter the password.\n[MainWnd]\nBtnAssist=later\n"
        "OptStep1=Select\n");
  CSettings settings = Make();
  EXPECT_EQ(settings.CurrentLanguage(), "English");  // no DefaultLanguage section
  ASSERT_EQ(settings.Languages().size(), 2u);
  EXPECT_EQ(settings.Languages()[1].first, "Deutsch");
  EXPECT_EQ(settings.Languages()[1].second, "Deutsch (Deutschland)");
  LanguageSection& main = settings.Section("MainWnd");
  EXPECT_EQ(main.at("BtnAssist"), "Menu");  // the sections merged, the first text kept
  EXPECT_EQ(main.at("OptStep1"), "Select");
  EXPECT_EQ(settings.Message("MSG0301"), "Please enter the password.");
  // An unknown id is an empty text, and is there afterwards.
  EXPECT_EQ(settings.Message("MSG9999"), "");
  EXPECT_EQ(settings.Section("Messages").count("MSG9999"), 1u);
  EXPECT_TRUE(settings.Section("NoSuchWnd").empty());
}

// The words the program writes itself: found by the English word's letters and digits, the English
// word where the file has none or an empty one, nothing added to the sections on the way.
TEST_F(SettingsTest, WordsByTheirEnglishKey) {
  Write(Program() / "config.ini", "[DefaultLanguage]\nDefault=Deutsch\n");
  Write(Program() / "Languages" / "Deutsch.ini", "[PrintPage]\nPhoneNumber=Telefonnummer:\nDate=\n[ListValues]\nIncoming=Eingehend\n");
  CSettings settings = Make();
  EXPECT_EQ(settings.Word("PrintPage", "Phone Number:"), "Telefonnummer:");
  EXPECT_EQ(settings.Word("ListValues", "Incoming"), "Eingehend");
  EXPECT_EQ(settings.Word("PrintPage", "Date:"), "Date:");          // an empty text
  EXPECT_EQ(settings.Word("PrintPage", "Content:"), "Content:");    // no key
  EXPECT_EQ(settings.Word("NoSection", "Sec"), "Sec");              // no section
  EXPECT_EQ(settings.Word("ListValues", "In-coming"), "Eingehend");  // signs are no part of a key
  EXPECT_EQ(settings.Section("PrintPage").count("Content"), 0u);
}

TEST_F(SettingsTest, MissingFilesAndLongKeys) {
  CSettings none = Make();
  EXPECT_EQ(none.CurrentLanguage(), "English");
  EXPECT_TRUE(none.Languages().empty());
  EXPECT_EQ(none.Message("MSG0301"), "");  // no language file: every text empty

  const std::string longKey(70, 'k');
  Write(Program() / "config.ini", "[DefaultLanguage]\nDefault=" + longKey + "\n");
  Write(Program() / "Languages" / (std::string(63, 'k') + ".ini"), "[Messages]\nMSG0401=Error\n");
  CSettings cut = Make();
  EXPECT_EQ(cut.CurrentLanguage(), std::string(63, 'k'));
  EXPECT_EQ(cut.Message("MSG0401"), "Error");
}

TEST_F(SettingsTest, ChoosingALanguage) {
  Write(Program() / "config.ini", "[Languages]\nEnglish=English\nDeutsch=Deutsch\n[DefaultLanguage]\nDefault=English\n");
  Write(Program() / "Languages" / "English.ini", "[Messages]\nMSG0403=Information\n");
  Write(Program() / "Languages" / "Deutsch.ini", "[Messages]\nMSG0403=Hinweis\n");
  CSettings settings = Make();
  EXPECT_EQ(settings.Message("MSG0403"), "Information");
  ASSERT_EQ(settings.SetLanguage("Deutsch"), kOk);
  EXPECT_EQ(settings.CurrentLanguage(), "Deutsch");
  EXPECT_EQ(settings.Message("MSG0403"), "Hinweis");
  EXPECT_EQ(Make().CurrentLanguage(), "Deutsch");  // written to the file
  EXPECT_EQ(settings.SetLanguage("Deutsch"), kOk);  // the same one again: written and applied again
  EXPECT_EQ(settings.Message("MSG0403"), "Hinweis");

  // A settings file that cannot be written: the choice goes to the data folder, the offered
  // languages with it.
  // (Its temporary file's name is taken by a folder, which no write gets past, root's included.)
  std::filesystem::create_directories(Program() / "config.ini.tmp");
  CSettings readOnly = Make();
  ASSERT_EQ(readOnly.SetLanguage("English"), kOk);
  EXPECT_EQ(readOnly.SettingsFile(), dir_ / "data" / "config.ini");
  EXPECT_EQ(readOnly.CurrentLanguage(), "English");
  EXPECT_EQ(readOnly.Languages().size(), 2u);
  EXPECT_EQ(readOnly.Message("MSG0403"), "Information");
  EXPECT_EQ(Make().CurrentLanguage(), "Deutsch");  // the program's own file is untouched
}

// An installed program: the shipped settings are every user's and are never written; a user's choice
// goes to their own file (made on the first choice, its folder too), the offered languages stay the
// shipped ones (a language added by an update is offered to a user who chose before).
TEST_F(SettingsTest, TheUsersOwnFileBesideTheShippedOne) {
  const std::filesystem::path shipped = Program() / "config.ini";
  const std::filesystem::path own = dir_ / "config" / "dunmere" / "config.ini";
  Write(shipped, "[Languages]\nEnglish=English\nDeutsch=Deutsch\n[DefaultLanguage]\nDefault=Deutsch\n");
  Write(Program() / "Languages" / "English.ini", "[Messages]\nMSG0403=Information\n");
  Write(Program() / "Languages" / "Deutsch.ini", "[Messages]\nMSG0403=Hinweis\n");
  const auto make = [&] {
    CSettings settings(own, Program() / "Languages", dir_ / "data" / "config.ini", shipped);
    settings.Load();
    return settings;
  };
  CSettings settings = make();
  EXPECT_EQ(settings.CurrentLanguage(), "Deutsch");  // the shipped default, no file of the user's yet
  EXPECT_FALSE(std::filesystem::exists(own));
  ASSERT_EQ(settings.SetLanguage("English"), kOk);
  EXPECT_EQ(settings.SettingsFile(), own);
  EXPECT_EQ(make().CurrentLanguage(), "English");
  {
    CSettings shippedOnly(shipped, Program() / "Languages");
    shippedOnly.Load();
    EXPECT_EQ(shippedOnly.CurrentLanguage(), "Deutsch");  // the shipped file is untouched
  }
  Write(shipped, "[Languages]\nEnglish=English\nDeutsch=Deutsch\nFrancais=Fran\xC3\xA7\x61is\n");
  EXPECT_EQ(make().Languages().size(), 3u);
  EXPECT_EQ(make().CurrentLanguage(), "English");
}

}  // namespace
}  // namespace dunmere
