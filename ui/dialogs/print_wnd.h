#pragma once
// The print dialog: builds the printable page of the category in view on a worker, then shows it in
// the embedded browser and calls the page's Init("pro"); printing itself is left to the page. "Save as
// PDF" (and a print to a PDF file) has the browser write the PDF, its text kept as text.
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "ui/dialogs/popup_wnd.h"
#include "ui/pages/scan/print_page.h"

class QTimer;
class QWebEngineView;

namespace dunmere {

class CPrintWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  // The page of category from source (deleted records only when deletedOnly), written from the
  // template to output.
  CPrintWnd(QWidget* owner, CategoryId category, const PrintSource& source, bool deletedOnly,
            std::filesystem::path templateFile, std::filesystem::path output);
  ~CPrintWnd() override;

  // Starts the build and shows the dialog; 1 when closed, 2 when the build was stopped.
  int Run();

  void Notify(TNotifyUI& msg) override;
  void reject() override { CloseRequested(); }

  // Asks whether to stop a build in progress; what is done when the page asks to be printed (the
  // system's print dialog, then the page to the printer). Tests answer for the user.
  std::function<int(QWidget* owner, const QString& text)> askStop;
  std::function<void(QWebEngineView* view)> printPage;
  // Where "Save as PDF" writes (empty: not saved), and what is said when the PDF could not be written.
  std::function<QString()> choosePdf;
  std::function<void(const QString& text)> tellPdf;
  // The last PDF written, empty when none was or it failed.
  const QString& PdfWritten() const { return pdfWritten_; }

  bool PageShown() const { return pageShown_; }
  bool InitCalled() const { return initCalled_; }
  QWebEngineView* View() const { return view_; }

 private:
  void PageReady();
  void CloseRequested();
  void SavePdf();

  CategoryId category_;
  const PrintSource& source_;
  bool deletedOnly_;
  std::filesystem::path template_;
  std::filesystem::path output_;
  std::mutex lock_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{true};
  std::thread worker_;
  QWebEngineView* view_ = nullptr;
  QTimer* initTimer_ = nullptr;
  bool pageShown_ = false;
  bool initCalled_ = false;
  bool printing_ = false;  // the print dialog is open
  QString pdfWritten_;

 signals:
  // A PDF was written (or could not be).
  void PdfFinished(bool written);
};

// Where the printable page goes: "Print/page.html" under the data folder.
std::filesystem::path PrintPagePath();

}  // namespace dunmere
