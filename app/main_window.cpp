#include "app/main_window.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>

#include "ui/pages/private_messages.h"
#include "backup/recovery_source.h"
#include "settings/settings.h"
#include "ui/controls/menu_window.h"
#include "ui/skin/skin_loader.h"

namespace dunmere {
namespace {

constexpr char kTitle[] = "Dunmere Free Edition";
// The pages of the assist menu's web entries.
constexpr char kGuideUrl[] = "https://www.dunmere.org/guide/";
constexpr char kAboutUrl[] = "https://www.dunmere.org/about/";
constexpr char kSupportUrl[] = "https://www.dunmere.org/support/";

template <typename T>
T* Find(const QWidget* root, const char* name) {
  return root->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

CMainWnd::CMainWnd()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      preview_(this, engine_),
      scan_(this, engine_, source_, preview_),
      specify_(this, engine_, scan_, preview_),
      backup_(this, engine_, scan_) {
  setObjectName(QStringLiteral("FileRecoveryWnd"));
  setWindowTitle(QString::fromLatin1(kTitle));
  setMouseTracking(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kResizeBorder, kResizeBorder, kResizeBorder, kResizeBorder);
  skin_ = CSkinLoader::LoadSkin(QStringLiteral(":/skins/skin.ui"), this);
  if (skin_ != nullptr) layout->addWidget(skin_);
  // The window keeps the size it is given: a longer text in another language, or a face shown for a
  // moment beside another, gives way inside it instead of widening the window for good.
  layout->setSizeConstraint(QLayout::SetNoConstraint);
  setMinimumSize(kMinWidth, kMinHeight);
  resize(kWidth, kHeight);

  pump_.SetDefaultHandler(this);
  for (CBaseVrtWnd* page : std::initializer_list<CBaseVrtWnd*>{&backup_, &specify_, &scan_, &preview_}) {
    pump_.AddVirtualWnd(page->Name(), page);
  }
  pump_.Attach(this);
  pump_.Send(this, QStringLiteral("windowinit"));
}

CMainWnd::~CMainWnd() {
  for (const char* name : {"ItunesVtrWnd", "SpecifyFileVtrWnd", "ScanVtrWnd", "PreviewVtrWnd"}) {
    pump_.RemoveVirtualWnd(QString::fromLatin1(name));
  }
}

QWidget* CMainWnd::Control(const QString& name) const { return findChild<QWidget*>(name); }

void CMainWnd::WindowInit() {
  ApplyLanguage();
  backup_.Init();
  specify_.Init();
  scan_.Init();
}

QLocale LocaleOfLanguage(const std::string& language) {
  if (language == "Deutsch") return QLocale(QLocale::German, QLocale::Germany);
  if (language == "Francais") return QLocale(QLocale::French, QLocale::France);
  return QLocale(QLocale::English, QLocale::UnitedStates);
}

void CMainWnd::ApplyLanguage() {
  CSettings& settings = CSettings::Get();
  // Numbers in the language's way, and Qt's own texts (its dialogs' buttons, a field's menu) in it.
  const QLocale locale = LocaleOfLanguage(settings.CurrentLanguage());
  QLocale::setDefault(locale);
  if (qtTexts_) QCoreApplication::removeTranslator(qtTexts_.get());
  qtTexts_ = std::make_unique<QTranslator>();
  if (qtTexts_->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(qtTexts_.get());
  } else {
    qtTexts_.reset();  // English, or the translations are not installed
  }
  settings.Section("Messages");
  ApplyLanguageSection(this, settings.Section("MainWnd"));
}

void CMainWnd::Notify(TNotifyUI& msg) {
  if (msg.sType == QLatin1String("windowinit")) {
    WindowInit();
    return;
  }
  if (msg.sType == QLatin1String("click")) {
    const QString& name = msg.senderName;
    if (name == QLatin1String("BtnAssist")) {
      OpenAssistMenu();
    } else if (name == QLatin1String("closebtn")) {
      close();
    } else if (name == QLatin1String("minbtn")) {
      showMinimized();
    } else if (name == QLatin1String("maxbtn")) {
      showMaximized();
    } else if (name == QLatin1String("restorebtn")) {
      showNormal();
    }
    return;
  }
  if (msg.sType == QLatin1String("selectchanged") && msg.wParam == 1) {
    auto* steps = Find<QStackedWidget>(this, "TabPage");
    if (steps == nullptr) return;
    if (msg.senderName == QLatin1String("OptStep1")) steps->setCurrentIndex(0);
    if (msg.senderName == QLatin1String("OptStep2")) {
      specify_.ShowChosenBackup();
      steps->setCurrentIndex(1);
    }
    // OptStep3 only shows the third step.
  }
}

void CMainWnd::OpenAssistMenu() {
  CSettings& settings = CSettings::Get();
  delete menu_;
  menu_ = new CMenuWindow(this, QStringLiteral(":/skins/menu_assist_reg.xml"), settings.Section("MenuWnd"),
                          [this](const QString& name) { OnMenuItem(name); });
  if (QMenu* languages = menu_->Submenu(QStringLiteral("item_language"))) {
    for (const auto& [key, text] : settings.Languages()) {
      QAction* entry = menu_->AddEntry(languages, QStringLiteral("language:") + QString::fromStdString(key),
                                       QString::fromStdString(text));
      entry->setCheckable(true);
      entry->setChecked(key == settings.CurrentLanguage());
    }
  }
  QWidget* button = Control(QStringLiteral("BtnAssist"));
  const QPoint at = button != nullptr ? button->mapToGlobal(QPoint(0, button->height())) : mapToGlobal(QPoint());
  menu_->Open(at);
}

void CMainWnd::OnMenuItem(const QString& name) {
  if (name.startsWith(QLatin1String("language:"))) {
    CSettings::Get().SetLanguage(name.mid(9).toStdString());
    PostPrivateMessage(this, kMsgLanguageChanged);
  } else if (name == QLatin1String("item_help") || name == QLatin1String("item_faq")) {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kGuideUrl)));
  } else if (name == QLatin1String("item_about")) {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kAboutUrl)));
  } else if (name == QLatin1String("item_support")) {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kSupportUrl)));
  } else if (name == QLatin1String("item_exit")) {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
  }
}

bool CMainWnd::event(QEvent* event) {
  if (event->type() >= QEvent::User && event->type() <= QEvent::User + 100) {
    if (auto* message = dynamic_cast<CPrivateMessageEvent*>(event)) {
      HandlePrivateMessage(message->Message(), message->WParam());
      return true;
    }
  }
  return QWidget::event(event);
}

void CMainWnd::HandlePrivateMessage(int message, qintptr wParam) {
  switch (message) {
    case kMsgPreviewReady:
      preview_.ShowReadyMedia();
      break;
    case kMsgLanguageChanged:
      ApplyLanguage();
      backup_.ApplyLanguage();
      specify_.ApplyLanguage();  // the category page's texts change with the others
      scan_.ApplyLanguage();
      preview_.ApplyLanguage();
      break;
    case kMsgStartScan:
      if (wParam == 1) scan_.StartScan(1);
      break;
    case kMsgCountsChanged:
      scan_.RewriteCounts();
      break;
    case kMsgCategoryFound:
      scan_.SelectFirstFoundCategory();
      break;
    case kMsgScanEnded:
      scan_.ScanEnded();
      break;
    case kMsgScanStateChanged:
      if (wParam == 0) {
        SwitchToScanFace();
      } else if (wParam == 1) {
        if (specify_.AskPasswordAndRestart()) {
          PostPrivateMessage(this, kMsgStartScan, 1);
        } else {
          if (QWidget* next = Control(QStringLiteral("BtnNext2"))) next->setEnabled(true);
          if (QWidget* tabs = Control(QStringLiteral("MainTabPage"))) tabs->setEnabled(true);
        }
      } else if (wParam == 2) {
        // The scan could not start (the backup could not be opened): the steps are usable again.
        if (QWidget* next = Control(QStringLiteral("BtnNext2"))) next->setEnabled(true);
        if (QWidget* tabs = Control(QStringLiteral("MainTabPage"))) tabs->setEnabled(true);
      }
      break;
    default:
      break;  // a message of no handler here
  }
}

void CMainWnd::SwitchToScanFace() {
  if (QWidget* next = Control(QStringLiteral("BtnNext2"))) next->setEnabled(true);
  if (auto* tabs = Find<QStackedWidget>(this, "MainTabPage")) {
    tabs->setEnabled(true);
    tabs->setCurrentIndex(1);
  }
  if (QWidget* header = Control(QStringLiteral("HorLayoutMain"))) header->hide();
  if (QWidget* header = Control(QStringLiteral("HorLayoutScan"))) header->show();
}

void CMainWnd::ReturnToSteps() { scan_.GoHome(); }

void CMainWnd::SyncCaptionButtons() {
  if (QWidget* max = Control(QStringLiteral("maxbtn"))) max->setVisible(!isMaximized());
  if (QWidget* restore = Control(QStringLiteral("restorebtn"))) restore->setVisible(isMaximized());
}

void CMainWnd::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) SyncCaptionButtons();
}

void CMainWnd::mouseMoveEvent(QMouseEvent* event) {
  // The frame's cursors: a resize arrow over the borders, the ordinary one elsewhere.
  switch (HitTest(event->position().toPoint())) {
    case HitArea::kLeft:
    case HitArea::kRight: setCursor(Qt::SizeHorCursor); break;
    case HitArea::kTop:
    case HitArea::kBottom: setCursor(Qt::SizeVerCursor); break;
    case HitArea::kTopLeft:
    case HitArea::kBottomRight: setCursor(Qt::SizeFDiagCursor); break;
    case HitArea::kTopRight:
    case HitArea::kBottomLeft: setCursor(Qt::SizeBDiagCursor); break;
    default: unsetCursor(); break;
  }
  QWidget::mouseMoveEvent(event);
}

void CMainWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double click on the caption maximises the window or gives it back its size.
  if (event->button() == Qt::LeftButton && HitTest(event->position().toPoint()) == HitArea::kCaption) {
    isMaximized() ? showNormal() : showMaximized();
    return;
  }
  QWidget::mouseDoubleClickEvent(event);
}

void CMainWnd::closeEvent(QCloseEvent* event) {
  if (scan_.ConfirmStop()) {
    event->accept();
  } else {
    event->ignore();
  }
}

CMainWnd::HitArea CMainWnd::HitTest(const QPoint& p) const {
  const int w = width(), h = height(), b = kResizeBorder;
  if (!isMaximized()) {
    const bool left = p.x() < b, right = p.x() >= w - b;
    if (p.y() < b) return left ? HitArea::kTopLeft : right ? HitArea::kTopRight : HitArea::kTop;
    if (p.y() >= h - b) return left ? HitArea::kBottomLeft : right ? HitArea::kBottomRight : HitArea::kBottom;
    if (left) return HitArea::kLeft;
    if (right) return HitArea::kRight;
  }
  if (p.x() >= b && p.x() < w - b && p.y() >= b && p.y() < kCaptionHeight) {
    // Controls that act on a click stay clickable in the caption.
    const QWidget* under = childAt(p);
    for (; under != nullptr && under != this; under = under->parentWidget()) {
      if (qobject_cast<const QAbstractButton*>(under) != nullptr || under->inherits("QLineEdit")) {
        return HitArea::kClient;
      }
    }
    return HitArea::kCaption;
  }
  return HitArea::kClient;
}

void CMainWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || windowHandle() == nullptr) {
    QWidget::mousePressEvent(event);
    return;
  }
  Qt::Edges edges;
  switch (HitTest(event->position().toPoint())) {
    case HitArea::kCaption:
      windowHandle()->startSystemMove();
      return;
    case HitArea::kLeft: edges = Qt::LeftEdge; break;
    case HitArea::kRight: edges = Qt::RightEdge; break;
    case HitArea::kTop: edges = Qt::TopEdge; break;
    case HitArea::kBottom: edges = Qt::BottomEdge; break;
    case HitArea::kTopLeft: edges = Qt::TopEdge | Qt::LeftEdge; break;
    case HitArea::kTopRight: edges = Qt::TopEdge | Qt::RightEdge; break;
    case HitArea::kBottomLeft: edges = Qt::BottomEdge | Qt::LeftEdge; break;
    case HitArea::kBottomRight: edges = Qt::BottomEdge | Qt::RightEdge; break;
    case HitArea::kClient: break;
  }
  if (edges != Qt::Edges() && windowHandle()->startSystemResize(edges)) return;
  QWidget::mousePressEvent(event);
}

}  // namespace dunmere
