#include "ui/dialogs/print_wnd.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStackedWidget>
#include <QWebEnginePage>
#include <memory>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <fstream>
#include <system_error>

#include "backup/work_folders.h"
#include "platform/program_dir.h"
#include "settings/settings.h"
#include "ui/controls/browser_host.h"
#include "ui/controls/button_gif.h"
#include "ui/dialogs/message_box.h"

namespace dunmere {
namespace fs = std::filesystem;
namespace {
// The browser tells a page's kind by its name: without ".html" the page would show as plain text.
constexpr char kPageName[] = "page.html";
}  // namespace

fs::path PrintPagePath() {
  // The data folder's, never the program's: an installed program's folder is every user's.
  fs::path data;
  DataFolder(data);
  return data / "Print" / kPageName;
}

CPrintWnd::CPrintWnd(QWidget* owner, CategoryId category, const PrintSource& source, bool deletedOnly,
                     fs::path templateFile, fs::path output)
    : CPopUpWnd(owner, QStringLiteral(":/skins/PrintWnd.ui"), 800, 600),
      category_(category),
      source_(source),
      deletedOnly_(deletedOnly),
      template_(std::move(templateFile)),
      output_(std::move(output)) {
  setObjectName(QStringLiteral("UIPrintWnd"));
  ApplyLanguage(CSettings::Get().Section("PrintWnd"));
  if (auto* pages = qobject_cast<QStackedWidget*>(Control(QStringLiteral("PrintTabPage")))) pages->setCurrentIndex(0);
  askStop = [](QWidget* parent, const QString& text) {
    return ShowMessageBox(std::nullopt, kMbQuestion, parent, text, 550, 200);
  };
  printPage = [this](QWebEngineView* view) {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty()) {
      // Printed to a file: the browser writes the PDF itself, with its text as text.
      view->page()->printToPdf(printer->outputFileName(), printer->pageLayout());
      return;
    }
    // The printer must live until the page is printed.
    connect(view, &QWebEngineView::printFinished, this, [printer](bool) {}, Qt::SingleShotConnection);
    view->print(printer.get());
  };
  choosePdf = [this] {
    return QFileDialog::getSaveFileName(this, QString::fromStdString(CSettings::Get().Word("PrintWnd", "Save as PDF")),
                                        QStringLiteral("print.pdf"), QStringLiteral("PDF (*.pdf)"));
  };
  tellPdf = [this](const QString& text) { ShowMessageBox(std::nullopt, kMbWarning, this, text, 550, 200); };
}

CPrintWnd::~CPrintWnd() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
}

int CPrintWnd::Run() {
  if (auto* gif = qobject_cast<CButtonGifUI*>(Control(QStringLiteral("BtnGifPrintLoading")))) gif->Start();
  finished_ = false;
  worker_ = std::thread([this] {
    Status rc = kOk;
    {
      std::lock_guard<std::mutex> hold(lock_);  // held for the whole build
      std::string content;
      rc = BuildPrintContent(category_, source_, deletedOnly_, stop_, content);
      if (rc != kStoppedByUser) rc = WritePrintPage(template_, output_, content);
    }
    finished_ = true;
    if (rc == kStoppedByUser) {
      QMetaObject::invokeMethod(this, [this] { done(kResultCancel); }, Qt::QueuedConnection);
    } else {
      QMetaObject::invokeMethod(this, [this] { PageReady(); }, Qt::QueuedConnection);
    }
  });
  return ShowModal();
}

void CPrintWnd::PageReady() {
  if (worker_.joinable()) worker_.join();
  if (auto* gif = qobject_cast<CButtonGifUI*>(Control(QStringLiteral("BtnGifPrintLoading")))) gif->Stop();
  auto* pages = qobject_cast<QStackedWidget*>(Control(QStringLiteral("PrintTabPage")));
  QWidget* holder = Control(QStringLiteral("PrintPage"));
  if (pages == nullptr || holder == nullptr) return;
  view_ = new QWebEngineView(holder);
  view_->setObjectName(QStringLiteral("WebPagePrint"));
  holder->layout()->addWidget(view_);
  CWebBrowserEventHandlerEx::ApplyTo(view_, CWebBrowserEventHandlerEx::HostFlags(0));
  pages->setCurrentIndex(1);
  pageShown_ = true;
  // One print dialog at a time, however often the page asks.
  connect(view_->page(), &QWebEnginePage::printRequested, this, [this] {
    if (printing_) return;
    printing_ = true;
    printPage(view_);
    printing_ = false;
  });
  connect(view_->page(), &QWebEnginePage::pdfPrintingFinished, this, [this](const QString& file, bool written) {
    pdfWritten_ = written ? file : QString();
    if (!written) {
      tellPdf(QString::fromStdString(CSettings::Get().Word("PrintWnd", "The PDF could not be written:")) +
              QLatin1Char(' ') + file);
    }
    emit PdfFinished(written);
  });
  if (QWidget* save = Control(QStringLiteral("BtnSavePdf"))) save->setEnabled(true);
  view_->setUrl(QUrl(QStringLiteral("about:blank")));
  view_->setUrl(QUrl::fromLocalFile(QString::fromStdString(output_.string())));
  // The page's script sets itself up for this edition once it can: tried every 100 ms.
  initTimer_ = new QTimer(this);
  connect(initTimer_, &QTimer::timeout, this, [this] {
    if (initCalled_) return;  // a call already answered (the timer stops at its answer)
    view_->page()->runJavaScript(QStringLiteral("typeof Init === 'function' ? (Init('pro'), true) : false"),
                                 [this](const QVariant& called) {
                                   if (called.toBool() && initTimer_ != nullptr) {
                                     initTimer_->stop();
                                     initCalled_ = true;
                                   }
                                 });
  });
  initTimer_->start(100);
}

void CPrintWnd::CloseRequested() {
  if (finished_) {
    done(kResultOk);
    return;
  }
  // The builder holds the lock for its whole build: the question comes once it is done or stopped.
  std::unique_lock<std::mutex> hold(lock_);
  const int answer = askStop(this, QString::fromStdString(CSettings::Get().Message("MSG0903")));
  if (answer == kResultOk) stop_ = true;
  hold.unlock();
  if (answer == kResultOk) {
    if (worker_.joinable()) worker_.join();
    done(kResultCancel);
  }
}

void CPrintWnd::SavePdf() {
  if (view_ == nullptr) return;
  const QString file = choosePdf();
  if (file.isEmpty()) return;
  view_->page()->printToPdf(file);
}

void CPrintWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != QLatin1String("click")) return;
  if (msg.senderName == QLatin1String("closebtn")) CloseRequested();
  if (msg.senderName == QLatin1String("BtnSavePdf")) SavePdf();
}

}  // namespace dunmere
