// Every text of the language files reaches its control: in each language other than English, no
// control a file names still shows the English text where that language has another one (the pages of
// the window, and the dialogs).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QStackedWidget>
#include <QRadioButton>
#include <QFile>
#include <QCheckBox>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "app/main_window.h"
#include "settings/settings.h"
#include "tests/ui/clipped_text.h"
#include "tests/ui/english_afterwards.h"
#include "tests/ui/fake_source.h"
#include "ui/dialogs/decryption_wnd.h"
#include "ui/dialogs/message_box.h"
#include "ui/dialogs/print_wnd.h"
#include "ui/dialogs/recover_process_wnd.h"
#include "ui/pages/private_messages.h"
#include "ui/pages/scan/column_sets.h"
#include "ui/pages/scan/print_page.h"

namespace dunmere {
namespace {

using Texts = std::map<std::string, LanguageSection>;

const char* const kSections[] = {"MainWnd",   "PageItunesBackup", "PageSpecifyFile",   "PageScan",
                                 "MessageBox", "DecryptionWnd",   "RecoverProcessWnd"};

Texts TextsOf(const std::string& language) {
  EXPECT_EQ(CSettings::Get().SetLanguage(language), kOk) << language;
  Texts texts;
  for (const char* section : kSections) texts[section] = CSettings::Get().Section(section);
  return texts;
}

QString Shown(QWidget* control) {
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  return control->windowTitle();
}

// The controls of root that section names and that still show their English text, by name.
std::string StillEnglish(QWidget* root, const LanguageSection& english, const LanguageSection& other) {
  std::string left;
  for (const auto& [key, text] : other) {
    const auto found = english.find(key);
    if (found == english.end() || found->second == text) continue;  // the same in both languages
    QWidget* control = root->objectName() == QString::fromStdString(key)
                           ? root
                           : root->findChild<QWidget*>(QString::fromStdString(key));
    if (control != nullptr && Shown(control) == QString::fromStdString(found->second)) {
      left += (left.empty() ? "" : " ") + key;
    }
  }
  return left;
}

TEST(Languages, NoControlKeepsItsEnglishTextInAnotherLanguage) {
  const EnglishAfterwards restore;
  const Texts english = TextsOf("English");
  for (const char* language : {"Deutsch", "Francais"}) {
    const Texts other = TextsOf(language);
    {
      CMainWnd window;
      window.show();
      PostPrivateMessage(&window, kMsgLanguageChanged);
      QCoreApplication::processEvents();
      for (const char* section : {"MainWnd", "PageItunesBackup", "PageSpecifyFile", "PageScan"}) {
        EXPECT_EQ(StillEnglish(&window, english.at(section), other.at(section)), "")
            << language << " " << section;
      }
    }
    CMessageBox box(std::nullopt, kMbQuestion, nullptr, "?", 550, 200);
    EXPECT_EQ(StillEnglish(&box, english.at("MessageBox"), other.at("MessageBox")), "") << language;
    CDecryptionWnd password(nullptr);
    EXPECT_EQ(StillEnglish(&password, english.at("DecryptionWnd"), other.at("DecryptionWnd")), "")
        << language;
    FakeSource source;
    CRecoverProcessWnd recover(nullptr, ScanResults{}, Selection{}, source, "/nowhere");
    EXPECT_EQ(StillEnglish(&recover, english.at("RecoverProcessWnd"), other.at("RecoverProcessWnd")), "")
        << language;
  }
}

TEST(Languages, NoTextIsCutInAnyLanguage) {
  const EnglishAfterwards restore;
  {
    // The measure itself: a label narrower than its text is told.
    QWidget probe;
    auto* label = new QLabel(QStringLiteral("a text far wider than its label"), &probe);
    label->setObjectName(QStringLiteral("Narrow"));
    label->setFixedWidth(30);
    probe.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Clipped(&probe).rfind("Narrow(", 0), 0u);
  }
  QFile style(QStringLiteral(":/skins/dunmere.qss"));  // the program's look, as it runs
  ASSERT_TRUE(style.open(QIODevice::ReadOnly));
  qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
  for (const char* language : {"English", "Deutsch", "Francais"}) {
    ASSERT_EQ(CSettings::Get().SetLanguage(language), kOk);
    CMainWnd window;
    window.show();
    QCoreApplication::processEvents();
    auto* faces = window.findChild<QStackedWidget*>("MainTabPage");
    for (int face = 0; face < faces->count(); ++face) {
      faces->setCurrentIndex(face);
      QCoreApplication::processEvents();
      EXPECT_EQ(Clipped(&window), "") << language << " face " << face;
    }
    CMessageBox box(std::nullopt, kMbQuestion, nullptr, "?", 550, 200);
    box.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Clipped(&box), "") << language;
    CDecryptionWnd password(nullptr);
    password.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Clipped(&password), "") << language;
    FakeSource source;
    CRecoverProcessWnd recover(nullptr, ScanResults{}, Selection{}, source, "/nowhere");
    recover.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Clipped(&recover), "") << language;
    const ScanResults results;
    const std::vector<ConversationRow<MessageRecord>> messageRows;
    const std::vector<ConversationRow<WhatsAppMessageRecord>> chatRows;
    const CStatisticsObj statistics;
    CPrintWnd print(nullptr, CategoryId::kNotes, PrintSource{results, messageRows, chatRows, statistics}, false,
                    "/nowhere/Print.html", "/nowhere/page.html");
    print.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Clipped(&print), "") << language;
  }
  qApp->setStyleSheet(QString());
}

// The values of the list and the labels of the printed page are in the language chosen too.
TEST(Languages, ListValuesAndPrintedLabels) {
  const EnglishAfterwards restore;
  CallRecord call;
  call.userName = "Ann";
  call.incoming = 1;
  call.duration = 65;
  call.deleted = 1;
  CallRecord unanswered = call;
  unanswered.duration = 0;
  unanswered.deleted = 0;
  ScanResults results;
  results.calls = {call};
  results.messages[1] = {MessageRecord{}};
  results.messages[1][0].text = "hallo";
  const auto rows = MessageSummaries(results.messages);
  const std::vector<ConversationRow<WhatsAppMessageRecord>> chats;
  CStatisticsObj stats;
  stats.AddCategory(CategoryId::kCallHistory, &results.calls, {{&results.calls[0], 0, true}});
  stats.AddCategory(CategoryId::kMessages, &results.messages, {{&results.messages.at(1).back(), 0, false}});
  const PrintSource source{results, rows, chats, stats};
  const std::atomic<bool> stop{false};
  struct Expected {
    const char* language;
    std::vector<std::string> call, unanswered;
    const char *callPage, *messagePage;
  };
  const Expected expected[] = {
      {"Deutsch", {"Ann", "", "", "Eingehend", "1 Min. 5 Sek.", "Gelöscht"},
       {"Ann", "", "", "Eingehend", "Verpasst", "Normal"}, "<span>Art:</span>Eingehend", "<span>Von:</span>Unbekannt"},
      {"Francais", {"Ann", "", "", "Entrant", "1 min 5 s", "Supprimé"},
       {"Ann", "", "", "Entrant", "Manqué", "Normal"}, "<span>Type :</span>Entrant", "<span>De :</span>Inconnu"},
      {"English", {"Ann", "", "", "Incoming", "1 Min 5 Sec", "Deleted"},
       {"Ann", "", "", "Incoming", "Missed", "Normal"}, "<span>Type:</span>Incoming", "<span>From:</span>Unknown"},
  };
  for (const Expected& e : expected) {
    ASSERT_EQ(CSettings::Get().SetLanguage(e.language), kOk);
    EXPECT_EQ(RowCells(call), e.call) << e.language;
    EXPECT_EQ(RowCells(unanswered), e.unanswered) << e.language;
    std::string page;
    ASSERT_EQ(BuildPrintContent(CategoryId::kCallHistory, source, false, stop, page), kOk);
    EXPECT_NE(page.find(e.callPage), std::string::npos) << e.language << "\n" << page;
    ASSERT_EQ(BuildPrintContent(CategoryId::kMessages, source, false, stop, page), kOk);
    EXPECT_NE(page.find(e.messagePage), std::string::npos) << e.language << "\n" << page;
  }
}

}  // namespace
}  // namespace dunmere
