#pragma once
// The search row above the record list: the text field (Ctrl+F puts the cursor there) and the range of
// days. It tells its owner when the search changed: at once for the days and Clear, after a short
// pause in typing for the text (so that a word typed fast is searched once).
#include <QString>
#include <functional>
#include <memory>

#include "ui/pages/scan/record_filter.h"

class QTimer;
class QWidget;

namespace dunmere {

class CScanSearch {
 public:
  explicit CScanSearch(QWidget* window);
  ~CScanSearch();

  // Finds the row's controls and connects them; changed is called whenever the search changes.
  void Init(std::function<void()> changed);
  // The placeholder and the words of the open ends, in the language chosen.
  void ApplyLanguage();
  // The text and days searched (the deleted-only mark is the category's, not the search's).
  const RecordFilter& Filter() const { return filter_; }
  bool Searching() const { return filter_.Searching(); }
  // Empties the field and opens the range, without telling.
  void Clear();
  // Searches the text now, as a pause in typing would (tests and the Enter key).
  void Flush();

 private:
  void ReadDays();

  QWidget* window_;
  RecordFilter filter_;
  std::unique_ptr<QTimer> pause_;
  std::function<void()> changed_;
  bool quiet_ = false;  // the controls are being set by the program
};

}  // namespace dunmere
