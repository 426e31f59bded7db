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
#include <QDialogButtonBox>
#include <QPushButton>
#include <chrono>
#include <set>

#include "app/main_window.h"
#include "platform/program_dir.h"
#include "settings/settings.h"
#include "ui/controls/file_tree.h"
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
       {"Ann", "", "", "Eingehend", "Verpasst", "Normal"}, "<span>Art:</span>Eingehend", "<span>An:</span>Ich"},
      {"Francais", {"Ann", "", "", "Entrant", "1 min 5 s", "Supprimé"},
       {"Ann", "", "", "Entrant", "Manqué", "Normal"}, "<span>Type :</span>Entrant", "<span>À :</span>Moi"},
      {"English", {"Ann", "", "", "Incoming", "1 Min 5 Sec", "Deleted"},
       {"Ann", "", "", "Incoming", "Missed", "Normal"}, "<span>Type:</span>Incoming", "<span>To:</span>Me"},
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

// Every text of a language file by section and key, read from the file itself.
std::map<std::string, std::string> LanguageFile(const std::string& language) {
  std::map<std::string, std::string> texts;
  QFile file(QString::fromStdString((ResourceDirectory() / "Languages" / (language + ".ini")).string()));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << language;
  std::string section;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    const std::string line = raw.trimmed().toStdString();
    if (line.size() > 2 && line.front() == '[') {
      section = line.substr(1, line.size() - 2);
    } else if (const std::size_t equals = line.find('='); equals != std::string::npos) {
      texts[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return texts;
}

// The English texts that the other language says otherwise: none of them may be on its screens.
std::set<QString> EnglishOnly(const std::string& language) {
  const auto english = LanguageFile("English");
  const auto other = LanguageFile(language);
  std::set<QString> only;
  for (const auto& [key, text] : english) {
    const auto found = other.find(key);
    if (found != other.end() && found->second != text && text.size() > 2) only.insert(QString::fromStdString(text));
  }
  return only;
}

// The visible texts of a widget tree that are English ones of englishOnly: labels, buttons, fields'
// placeholders, the tree's nodes (less their counts) and the list's titles.
std::string EnglishLeft(QWidget* root, const std::set<QString>& englishOnly) {
  std::string left;
  const auto check = [&](const QString& text, const QObject* where) {
    if (englishOnly.count(text.trimmed()) != 0) left += where->objectName().toStdString() + "=\"" + text.toStdString() + "\" ";
  };
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) check(label->text(), w);
    if (auto* button = qobject_cast<QAbstractButton*>(w)) check(button->text(), w);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) check(edit->placeholderText(), w);
    if (auto* view = qobject_cast<QAbstractItemView*>(w); view != nullptr && view->model() != nullptr) {
      QAbstractItemModel* model = view->model();
      for (int c = 0; c < model->columnCount(); ++c) check(model->headerData(c, Qt::Horizontal).toString(), w);
      std::vector<QModelIndex> nodes{QModelIndex()};
      for (std::size_t i = 0; i < nodes.size() && i < 200; ++i) {
        for (int r = 0; r < model->rowCount(nodes[i]) && r < 50; ++r) {
          const QModelIndex index = model->index(r, 0, nodes[i]);
          QString text = index.data().toString();
          text = text.left(text.indexOf(QStringLiteral(" (")) >= 0 ? text.indexOf(QStringLiteral(" (")) : text.size());
          check(text, w);
          nodes.push_back(index);
        }
      }
    }
  }
  return left;
}

// Every screen in every language, as a person walks it: the two steps, then a scan's results with each
// category in view (its list, its preview, the deleted-only filter and its count), a stopped scan's
// line, then the dialogs. No label or button is narrower than its text, and no text is the English one
// where the language says otherwise; Qt's own texts (a dialog's standard buttons) are in the language.
TEST(Languages, EveryScreenWholeAndInTheLanguageChosen) {
  const EnglishAfterwards restore;
  QFile style(QStringLiteral(":/skins/dunmere.qss"));
  ASSERT_TRUE(style.open(QIODevice::ReadOnly));
  qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
  for (const char* language : {"Deutsch", "Francais", "English"}) {
    ASSERT_EQ(CSettings::Get().SetLanguage(language), kOk);
    const std::set<QString> englishOnly = language == std::string("English") ? std::set<QString>() : EnglishOnly(language);
    if (language != std::string("English")) {
      // The measure itself: an English text of the file on a label of the window is told.
      ASSERT_GT(englishOnly.size(), 100u);
      QWidget probe;
      auto* label = new QLabel(QStringLiteral("Only display the deleted items"), &probe);
      label->setObjectName(QStringLiteral("Probe"));
      probe.show();
      EXPECT_EQ(EnglishLeft(&probe, englishOnly), "Probe=\"Only display the deleted items\" ");
    }
    CMainWnd window;
    auto source = std::make_unique<FakeSource>();
    source->notes.resize(3);
    source->notes[1].deleted = 1;
    source->notes[0].title = "Einkauf";
    source->callRecords.resize(2);
    source->callRecords[0].incoming = 1;
    source->callRecords[0].duration = 75;
    source->conversations[1] = {MessageRecord{}};
    source->conversations[1][0].text = "hallo";
    source->conversations[1][0].date = "2024-01-01 10:00:00";
    source->conversations[1][0].deleted = 1;
    window.ScanPage().makeSource = [&source](int) -> std::unique_ptr<IPhoneRecoveryParse> { return std::move(source); };
    window.ScanPage().tellProblem = [](QWidget*, const QString&) {};
    window.show();
    QCoreApplication::processEvents();
    const auto screen = [&](const char* where) {
      QCoreApplication::processEvents();
      EXPECT_EQ(Clipped(&window), "") << language << ": " << where;
      EXPECT_EQ(EnglishLeft(&window, englishOnly), "") << language << ": " << where;
    };
    screen("step 1");
    window.findChild<QAbstractButton*>("OptStep2")->click();
    screen("step 2");
    PostPrivateMessage(&window, kMsgStartScan, 1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((window.ScanPage().Scanning() || !window.findChild<QWidget*>("ReocveryToolBar")->isVisible()) &&
           std::chrono::steady_clock::now() < until) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    auto* tree = window.findChild<CFileTreeUI*>("NodeTree");
    int shown = 0;
    for (std::size_t node = 0; node < tree->Nodes().Size(); ++node) {
      if (window.ScanPage().CategoryOf(node) < 0 || !tree->Nodes().Enabled(node)) continue;
      ++shown;
      tree->SetCurrentNode(node);
      screen(tree->Nodes().Text(node).toUtf8().constData());
      auto* filter = window.findChild<QCheckBox*>("OptOnOffFilter");
      if (filter->isVisible()) {
        filter->click();
        screen("the deleted-only filter");
        filter->click();
      }
    }
    EXPECT_GE(shown, 8) << language;  // every category with records was in view
    CMessageBox box(std::nullopt, kMbQuestion, nullptr, "?", 550, 200);
    box.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(EnglishLeft(&box, englishOnly), "") << language;
    FakeSource dialogSource;
    CRecoverProcessWnd recover(nullptr, ScanResults{}, Selection{}, dialogSource, "/nowhere");
    recover.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Clipped(&recover), "") << language;
    EXPECT_EQ(EnglishLeft(&recover, englishOnly), "") << language;
    // Qt's own texts.
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    const QString cancel = buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
    const std::map<std::string, QString> cancels{{"Deutsch", "Abbrechen"}, {"Francais", "Annuler"}, {"English", "Cancel"}};
    EXPECT_EQ(cancel, cancels.at(language)) << language;
  }
  qApp->setStyleSheet(QString());
}

}  // namespace
}  // namespace dunmere
