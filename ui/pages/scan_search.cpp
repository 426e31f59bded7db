#include "ui/pages/scan_search.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QShortcut>
#include <QTimer>

#include "settings/settings.h"

namespace dunmere {
namespace {

// How long typing may pause before the text is searched.
constexpr int kTypingPauseMs = 150;
// The least day of the range's fields: shown as the open end's word, it means "no limit".
const QDate kOpenEnd(1970, 1, 1);

QString SearchText(const char* english) { return QString::fromStdString(CSettings::Get().Word("PageScan", english)); }

}  // namespace

CScanSearch::CScanSearch(QWidget* window) : window_(window) {}
CScanSearch::~CScanSearch() = default;

void CScanSearch::Init(std::function<void()> changed) {
  changed_ = std::move(changed);
  auto* field = window_->findChild<QLineEdit*>(QStringLiteral("TxtSearch"));
  auto* from = window_->findChild<QDateEdit*>(QStringLiteral("DateFrom"));
  auto* until = window_->findChild<QDateEdit*>(QStringLiteral("DateUntil"));
  if (field == nullptr || from == nullptr || until == nullptr) return;
  field->setClearButtonEnabled(true);
  pause_ = std::make_unique<QTimer>();
  pause_->setSingleShot(true);
  pause_->setInterval(kTypingPauseMs);
  QObject::connect(pause_.get(), &QTimer::timeout, window_, [this] { Flush(); });
  QObject::connect(field, &QLineEdit::textChanged, window_, [this] {
    if (!quiet_) pause_->start();
  });
  QObject::connect(field, &QLineEdit::returnPressed, window_, [this] { Flush(); });
  for (QDateEdit* day : {from, until}) {
    day->setCalendarPopup(true);
    day->setMinimumDate(kOpenEnd);
    day->setDate(kOpenEnd);
    day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    QObject::connect(day, &QDateEdit::dateChanged, window_, [this] {
      if (quiet_) return;
      ReadDays();
      if (changed_) changed_();
    });
  }
  // Ctrl+F anywhere in the window puts the cursor in the search field.
  auto* find = new QShortcut(QKeySequence::Find, window_);
  QObject::connect(find, &QShortcut::activated, window_, [field] {
    if (!field->isVisible()) return;
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
  });
  ApplyLanguage();
}

void CScanSearch::ApplyLanguage() {
  if (auto* field = window_->findChild<QLineEdit*>(QStringLiteral("TxtSearch"))) {
    field->setPlaceholderText(SearchText("Search (Ctrl+F)"));
    field->setToolTip(SearchText("Search names, numbers, texts, titles and file names in the list and the conversations"));
  }
  for (const char* name : {"DateFrom", "DateUntil"}) {
    if (auto* day = window_->findChild<QDateEdit*>(QString::fromLatin1(name))) day->setSpecialValueText(SearchText("any day"));
  }
}

void CScanSearch::ReadDays() {
  const auto day = [this](const char* name) {
    const auto* edit = window_->findChild<QDateEdit*>(QString::fromLatin1(name));
    return edit == nullptr || edit->date() <= kOpenEnd ? QDate() : edit->date();
  };
  filter_.from = day("DateFrom");
  filter_.until = day("DateUntil");
}

void CScanSearch::Flush() {
  if (pause_) pause_->stop();
  const auto* field = window_->findChild<QLineEdit*>(QStringLiteral("TxtSearch"));
  const QString text = field != nullptr ? field->text() : QString();
  if (text == filter_.text) return;
  filter_.text = text;
  if (changed_) changed_();
}

void CScanSearch::Clear() {
  quiet_ = true;
  if (pause_) pause_->stop();
  if (auto* field = window_->findChild<QLineEdit*>(QStringLiteral("TxtSearch"))) field->clear();
  for (const char* name : {"DateFrom", "DateUntil"}) {
    if (auto* day = window_->findChild<QDateEdit*>(QString::fromLatin1(name))) day->setDate(kOpenEnd);
  }
  quiet_ = false;
  filter_ = RecordFilter{};
}

}  // namespace dunmere
