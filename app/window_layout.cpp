#include "app/window_layout.h"

#include <QSettings>
#include <QSplitter>
#include <system_error>

#include "app/main_window.h"
#include "platform/app_data.h"
#include "ui/controls/record_list.h"

namespace dunmere {
namespace {

QString Key(const char* key) { return QString::fromLatin1(key); }

}  // namespace

std::filesystem::path WindowLayoutFile() {
  std::filesystem::path folder;
  if (ConfigFolder(folder) != kOk) return {};
  return folder / "dunmere" / "layout.ini";
}

bool RestoreWindowLayout(CMainWnd& window, const std::filesystem::path& file) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(file, ec)) return false;
  QSettings layout(QString::fromStdString(file.string()), QSettings::IniFormat);
  const bool placed = window.restoreGeometry(layout.value(Key("window/geometry")).toByteArray());
  auto* panes = window.findChild<QSplitter*>(QStringLiteral("ScanSplitter"));
  if (panes != nullptr && panes->restoreState(layout.value(Key("scan/panes")).toByteArray())) window.ScanPage().PanesGiven();
  if (auto* list = window.findChild<CRecordListUI*>(QStringLiteral("DataList"))) {
    CRecordListUI::ColumnWidths widths;
    layout.beginGroup(Key("columns"));
    for (const QString& kind : layout.childKeys()) {
      std::vector<int>& each = widths[QString(kind).replace(QLatin1Char('_'), QLatin1Char('/'))];
      for (const QVariant& width : layout.value(kind).toList()) each.push_back(width.toInt());
    }
    layout.endGroup();
    list->SetUserWidths(std::move(widths));
  }
  return placed;
}

bool SaveWindowLayout(const CMainWnd& window, const std::filesystem::path& file) {
  std::error_code ec;
  if (file.empty()) return false;
  std::filesystem::create_directories(file.parent_path(), ec);
  QSettings layout(QString::fromStdString(file.string()), QSettings::IniFormat);
  layout.setValue(Key("window/geometry"), window.saveGeometry());
  if (const auto* panes = window.findChild<QSplitter*>(QStringLiteral("ScanSplitter"))) {
    layout.setValue(Key("scan/panes"), panes->saveState());
  }
  if (const auto* list = window.findChild<CRecordListUI*>(QStringLiteral("DataList"))) {
    layout.remove(Key("columns"));
    layout.beginGroup(Key("columns"));
    for (const auto& [kind, widths] : list->UserWidths()) {
      QVariantList each;
      for (const int width : widths) each << width;
      layout.setValue(QString(kind).replace(QLatin1Char('/'), QLatin1Char('_')), each);
    }
    layout.endGroup();
  }
  layout.sync();
  return layout.status() == QSettings::NoError;
}

}  // namespace dunmere
