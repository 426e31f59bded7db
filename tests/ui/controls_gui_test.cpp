// The program's own controls as widgets: made for their skin tags, and the notifications they send.
#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include <QTextBrowser>

#include "ui/controls/browser_host.h"
#include "ui/controls/button_ex.h"
#include "ui/controls/button_gif.h"
#include "ui/controls/file_tree.h"
#include "ui/controls/label_ex.h"
#include "ui/controls/list_ex.h"
#include "ui/controls/menu_window.h"
#include "ui/controls/pagination.h"
#include "ui/controls/conversation_view.h"
#include "ui/controls/record_list.h"
#include "tests/ui/record_list_rows.h"
#include "ui/skin/skin_loader.h"

namespace dunmere {
namespace {

struct Sent {
  QString type;
  qintptr wParam;
  qintptr lParam;
};

// Collects what a control sends.
template <typename Control>
std::vector<Sent>& Listen(Control& control, std::vector<Sent>& into) {
  control.SetNotifySink([&into](const QString& type, qintptr w, qintptr l) { into.push_back({type, w, l}); });
  return into;
}

TEST(ControlFactory, TagsGiveTheProgramsControls) {
  QWidget parent;
  EXPECT_NE(qobject_cast<CPaginationUI*>(CSkinLoader::CreateControl("Pagination", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CFileTreeUI*>(CSkinLoader::CreateControl("FileTree", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CDiskListUI*>(CSkinLoader::CreateControl("DiskList", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CButtonExUI*>(CSkinLoader::CreateControl("ButtonEx", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CButtonGifUI*>(CSkinLoader::CreateControl("ButtonGif", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CLabelExUI*>(CSkinLoader::CreateControl("LabelEx", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CRecordListUI*>(CSkinLoader::CreateControl("RecordList", &parent)), nullptr);
  EXPECT_NE(qobject_cast<CConversationView*>(CSkinLoader::CreateControl("ConversationView", &parent)), nullptr);
  EXPECT_EQ(CSkinLoader::CreateControl("Button", &parent), nullptr);  // any other tag: nothing

  // The main skin: its controls by name, the program's own ones among them, each also what it extends.
  QWidget* skin = CSkinLoader::LoadSkin(":/skins/skin.ui", &parent);
  ASSERT_NE(skin, nullptr);
  auto* gif = skin->findChild<CButtonGifUI*>("BtnGifLoading");
  ASSERT_NE(gif, nullptr);
  EXPECT_EQ(gif->NormalGifFile(), ":/skins/loading.gif");  // the skin's attribute reached the control
  EXPECT_NE(skin->findChild<QPushButton*>("BtnGifLoading"), nullptr);
  EXPECT_NE(skin->findChild<CFileTreeUI*>("NodeTree"), nullptr);
  EXPECT_NE(skin->findChild<CButtonExUI*>("BtnAssist"), nullptr);
  EXPECT_NE(skin->findChild<CPaginationUI*>("DataListPages"), nullptr);
  EXPECT_NE(skin->findChild<CRecordListUI*>("DataList"), nullptr);
  for (const char* name : {"HorLayoutMain", "HorLayoutScan", "MainTabPage", "TabPage", "OptStep1", "OptStep2", "OptStep3",
                           "LblProductName", "ScanToolBar", "ReocveryToolBar", "BtnScanPause", "BtnScanStop",
                           "BtnNext2", "closebtn", "minbtn", "maxbtn", "restorebtn"}) {
    EXPECT_NE(skin->findChild<QWidget*>(name), nullptr) << name;
  }
  EXPECT_EQ(CSkinLoader::LoadSkin(":/skins/none.ui", &parent), nullptr);
}

TEST(ButtonEx, HotOnlyWhileEnabled) {
  CButtonExUI button;
  std::vector<Sent> sent;
  Listen(button, sent);
  QEnterEvent enter(QPointF(3, 4), QPointF(3, 4), QPointF(3, 4));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&button, &enter);
  QCoreApplication::sendEvent(&button, &leave);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].type, "onhot");
  EXPECT_EQ(sent[1].type, "offhot");
  button.setEnabled(false);
  sent.clear();
  QCoreApplication::sendEvent(&button, &enter);
  QCoreApplication::sendEvent(&button, &leave);
  EXPECT_TRUE(sent.empty());
}

TEST(ButtonGif, PlaysTheAnimationFromItsFirstFrame) {
  CButtonGifUI button;
  button.SetNormalGifFile(":/skins/loading.gif");
  button.Start();
  EXPECT_TRUE(button.Playing());
  QTest::qWait(350);  // frames of 100 ms
  EXPECT_GT(button.CurrentFrame(), 0);
  button.Stop();
  EXPECT_FALSE(button.Playing());
  button.Start();
  EXPECT_EQ(button.CurrentFrame(), 0);
  button.SetNormalGifFile("no such file.gif");  // no animation: a plain button, and no crash
  EXPECT_EQ(button.CurrentFrame(), -1);
}

TEST(FileTree, BoxesNotifyAndSumUp) {
  CFileTreeUI tree;
  std::vector<Sent> sent;
  Listen(tree, sent);
  const auto root = tree.AddNode(CFileTreeUI::kNone, "Messages");
  const auto a = tree.AddNode(root, "Anna", 7);
  const auto b = tree.AddNode(root, "Ben");
  const auto b1 = tree.AddNode(b, "a deleted one");
  const FileTreeModel& nodes = tree.Nodes();
  EXPECT_EQ(nodes.Tag(a), 7);
  EXPECT_EQ(nodes.NodeOfTag(7), a);
  EXPECT_EQ(nodes.NodeOfTag(8), CFileTreeUI::kNone);
  EXPECT_EQ(nodes.Parent(b1), b);
  EXPECT_EQ(nodes.IndexOf(b1).parent(), nodes.IndexOf(b));  // the view's walk up and down agree
  EXPECT_EQ(nodes.NodeAt(tree.model()->index(1, 0, nodes.IndexOf(root))), b);
  tree.resize(300, 300);
  tree.show();
  tree.collapseAll();
  QCoreApplication::processEvents();
  sent.clear();
  // A click on a node's box, as the user does it (the view asks the model to change the box).
  const auto click = [&tree, &nodes](std::size_t node) {
    tree.model()->setData(nodes.IndexOf(node), nodes.State(node) == Qt::Checked ? Qt::Unchecked : Qt::Checked,
                          Qt::CheckStateRole);
  };
  click(root);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent.back().type, "checkboxselectchanged");
  EXPECT_EQ(sent.back().wParam, static_cast<qintptr>(root));
  EXPECT_EQ(sent.back().lParam, 1);
  EXPECT_TRUE(tree.IsChecked(b1));  // collapsed children too
  EXPECT_EQ(nodes.State(b1), Qt::Checked);

  click(b);
  EXPECT_TRUE(tree.IsChecked(root));
  EXPECT_TRUE(tree.IsPartial(root));
  EXPECT_EQ(nodes.State(root), Qt::PartiallyChecked);
  // A click on a partly marked box checks everything below it.
  click(root);
  EXPECT_TRUE(tree.IsChecked(b1));
  EXPECT_FALSE(tree.IsPartial(root));
  tree.SetChecked(a, false);
  tree.SetChecked(b, false);
  EXPECT_EQ(nodes.State(root), Qt::Unchecked);
  // A mark sent by the program changes no node below and tells nothing.
  sent.clear();
  tree.SetMark(a, true, true);
  EXPECT_EQ(nodes.State(a), Qt::PartiallyChecked);
  EXPECT_EQ(nodes.State(root), Qt::PartiallyChecked);
  EXPECT_TRUE(sent.empty());
  // A node that cannot be used takes no click.
  tree.Nodes().SetEnabled(b, false);
  click(b);
  EXPECT_FALSE(tree.IsChecked(b));
  EXPECT_FALSE(tree.model()->flags(nodes.IndexOf(b)) & Qt::ItemIsUserCheckable);
  EXPECT_TRUE(sent.empty());

  tree.SetExpanded(b, true);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, "itemexpand");
  EXPECT_EQ(sent[0].wParam, static_cast<qintptr>(b));
  EXPECT_EQ(sent[0].lParam, 1);
  sent.clear();
  tree.SetCurrentNode(a);  // its collapsed parent opens to show it
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].type, "itemexpand");
  EXPECT_EQ(sent[0].wParam, static_cast<qintptr>(root));
  EXPECT_EQ(sent[1].type, "itemselect");
  EXPECT_EQ(sent[1].wParam, static_cast<qintptr>(a));
  EXPECT_EQ(tree.CurrentNode(), a);
  tree.Nodes().SetText(a, "Anna (3)");
  EXPECT_EQ(tree.model()->data(nodes.IndexOf(a)).toString(), "Anna (3)");
  tree.ClearNodes();
  EXPECT_EQ(tree.model()->rowCount(), 0);
  EXPECT_EQ(tree.CurrentNode(), CFileTreeUI::kNone);
}

// The record list writes a row's texts only when the row is shown, hands a whole list over, ticks
// or clears all of it as one change, and tells only the user's own ticks.
TEST(RecordList, RowsWrittenWhenShownTicksToldOnce) {
  CRecordListUI list;
  list.resize(400, 200);
  std::vector<Sent> sent;
  Listen(list, sent);
  std::vector<std::string> records(100000);
  for (std::size_t i = 0; i < records.size(); ++i) records[i] = "record " + std::to_string(i) + (i == 7 ? "\nnext line\t" : "");
  std::vector<RecordListModel::Row> rows(records.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].key = &records[i];
    rows[i].deleted = i % 2 == 1;
    rows[i].fromLog = i == 3;
    rows[i].checked = i < 10;
  }
  std::size_t written = 0;
  list.Rows().SetHeaders({QString(), "Name", "Size"});
  list.Rows().Reset(std::move(rows), [&written](const RecordListModel::Row& row) {
    ++written;
    return std::vector<std::string>{*static_cast<const std::string*>(row.key), "1 KB"};
  });
  list.show();
  QCoreApplication::processEvents();
  EXPECT_GT(written, 0U);
  EXPECT_LT(written, 1000U);  // the rows in view, not the hundred thousand
  const auto ticks = [&sent] {
    return std::count_if(sent.begin(), sent.end(), [](const Sent& s) { return s.type == "Plist_check_click"; });
  };
  EXPECT_EQ(ticks(), 0);  // filling is no user's tick
  const ListRows view{&list};
  EXPECT_EQ(view.Count(), 100000);
  EXPECT_EQ(view.Header(1), "Name");
  EXPECT_EQ(view.Text(7, 1), "record 7 next line");  // one line, no blank at the end
  EXPECT_EQ(view.Text(99999, 2), "1 KB");
  EXPECT_EQ(view.Colour(1, 1), RecordListModel::kDeletedColour);
  EXPECT_FALSE(view.Colour(2, 1).isValid());
  // A row found only in what a database's log forgot is slanted, and its tips say where it is from.
  list.Rows().SetLogNote("from the log");
  const QModelIndex logged = list.model()->index(3, 1), plain = list.model()->index(1, 1);
  EXPECT_TRUE(list.model()->data(logged, Qt::FontRole).value<QFont>().italic());
  EXPECT_FALSE(list.model()->data(plain, Qt::FontRole).isValid());
  EXPECT_EQ(list.model()->data(logged, Qt::ToolTipRole).toString(), "record 3\n(from the log)");
  EXPECT_EQ(list.model()->data(plain, Qt::ToolTipRole).toString(), "record 1");
  EXPECT_EQ(list.Rows().CheckedCount(), 10U);

  // Ticking all: one change of the whole column, no notification.
  int changes = 0;
  QObject::connect(list.model(), &QAbstractItemModel::dataChanged, &list, [&changes] { ++changes; });
  list.Rows().SetAllChecked(true);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.Rows().CheckedCount(), 100000U);
  EXPECT_EQ(view.Box(54321), Qt::Checked);
  EXPECT_EQ(ticks(), 0);

  // A click on a row's box: that row, told once with its new state.
  view.ClickBox(2);
  EXPECT_EQ(view.Box(2), Qt::Unchecked);
  EXPECT_EQ(list.Rows().CheckedCount(), 99999U);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().type, "Plist_check_click");
  EXPECT_EQ(sent.back().wParam, 2);
  EXPECT_EQ(sent.back().lParam, 0);
  EXPECT_EQ(ticks(), 1);

  // Choosing and double-clicking a row: its row number.
  sent.clear();
  view.DoubleClick(4);
  ASSERT_GE(sent.size(), 2U);
  EXPECT_EQ(sent.front().type, "itemselect");
  EXPECT_EQ(sent.front().wParam, 4);
  EXPECT_EQ(sent.back().type, "List_item_dbclick");
  EXPECT_EQ(sent.back().wParam, 4);
  EXPECT_EQ(list.CurrentRow(), 4);

  // Emptied: no rows, no current row, nothing to write.
  list.Rows().Clear();
  EXPECT_EQ(view.Count(), 0);
  EXPECT_EQ(list.CurrentRow(), -1);
  EXPECT_EQ(list.Rows().CheckedCount(), 0U);
}

// The value columns fit their titles and values where the view has room, give way evenly where it has
// not (no column below its title, nothing to scroll sideways), and fit again as the view widens.
TEST(RecordList, ColumnsFitTheirValuesAndTheView) {
  CRecordListUI list;
  const std::vector<std::string> values{"Annabelle Example-Longname", "+1 555 0100 0001", "2024-03-11 09:43:20",
                                        "a message"};
  std::vector<RecordListModel::Row> rows(3);
  for (RecordListModel::Row& row : rows) row.key = &values;
  list.Rows().SetHeaders({QString(), "Name", "Telefonnummer", "Date", "Message"});
  list.Rows().Reset(std::move(rows), [](const RecordListModel::Row& row) { return *static_cast<const std::vector<std::string>*>(row.key); });
  list.resize(900, 300);
  list.show();
  QCoreApplication::processEvents();
  list.FitColumns({100, 100, 120, 0}, 240);
  const QFontMetrics metrics(list.font());
  const auto header = list.header();
  for (int c = 1; c <= 3; ++c) {
    EXPECT_GE(list.columnWidth(c), metrics.horizontalAdvance(QString::fromStdString(values[c - 1]))) << c;  // whole
  }
  EXPECT_LE(header->length(), list.viewport()->width());

  list.resize(330, 300);
  QCoreApplication::processEvents();
  EXPECT_LE(header->length(), list.viewport()->width());  // nothing to scroll sideways
  // Titles whole (the room of the sort mark aside: no column is sorted).
  header->setSortIndicatorShown(false);
  for (int c = 1; c < 5; ++c) EXPECT_GE(list.columnWidth(c), header->sectionSizeHint(c)) << c;
  header->setSortIndicatorShown(true);
  EXPECT_LT(list.columnWidth(1), metrics.horizontalAdvance(QString::fromStdString(values[0])));   // the name gave way

  list.resize(900, 300);
  QCoreApplication::processEvents();
  EXPECT_GE(list.columnWidth(1), metrics.horizontalAdvance(QString::fromStdString(values[0])));

  // A column dragged by the user keeps its width for lists of its kind: when fitted again and when the
  // view changes its width; another kind of list is fitted as before.
  list.SetLayoutKey("calls");
  list.FitColumns({100, 100, 120, 0}, 240);
  list.header()->resizeSection(2, 61);  // as a drag of the header's edge does it
  ASSERT_EQ(list.UserWidths().count("calls"), 1u);
  EXPECT_EQ(list.UserWidths().at("calls")[1], 61);
  list.FitColumns({100, 100, 120, 0}, 240);
  EXPECT_EQ(list.columnWidth(2), 61);
  list.resize(700, 300);
  QCoreApplication::processEvents();
  EXPECT_EQ(list.columnWidth(2), 61);
  list.SetLayoutKey("notes");
  list.FitColumns({100, 100, 120, 0}, 240);
  EXPECT_GE(list.columnWidth(2), metrics.horizontalAdvance(QString::fromStdString(values[1])));

  // A list of fewer columns in a view made narrower (the preview shown beside it): the last column
  // takes what the others leave, nothing to scroll sideways.
  list.SetLayoutKey("wide");
  list.resize(900, 300);
  QCoreApplication::processEvents();
  list.Rows().SetHeaders({QString(), "Name", "Telefonnummer", "Date", "Message", "Status", "More"});
  list.FitColumns({100, 100, 120, 100, 100, 0}, 240);
  list.SetLayoutKey("narrow");
  list.Rows().SetHeaders({QString(), "Name", "Telefonnummer", "Date"});
  list.FitColumns({100, 100, 0}, 240);
  list.resize(420, 300);
  QCoreApplication::processEvents();
  EXPECT_EQ(header->length(), list.viewport()->width());
}

TEST(Pagination, EveryMoveSendsUpdatepage) {
  CPaginationUI pages;
  std::vector<Sent> sent;
  Listen(pages, sent);
  pages.SetPageCount(4);
  pages.Prev();  // on page 1: stays, still reported
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].type, "updatepage");
  EXPECT_EQ(sent[0].wParam, 1);
  // The buttons work as laid out: Next, then a page button, then Next on the last page.
  QTest::mouseClick(pages.findChild<QPushButton*>("Next"), Qt::LeftButton);
  EXPECT_EQ(pages.CurrentPage(), 2);
  QTest::mouseClick(pages.findChild<QPushButton*>("4"), Qt::LeftButton);
  EXPECT_EQ(pages.CurrentPage(), 4);
  QTest::mouseClick(pages.findChild<QPushButton*>("Next"), Qt::LeftButton);
  EXPECT_EQ(pages.CurrentPage(), 4);
  EXPECT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent.back().wParam, 4);
  auto* prev = pages.findChild<QPushButton*>("Prev");
  ASSERT_NE(prev, nullptr);
  EXPECT_EQ(prev->width(), 30);
  EXPECT_EQ(pages.findChild<QPushButton*>("3")->width(), 32);
}

TEST(ListEx, ThreeLevelsWithExpandMarks) {
  CListExUI list;
  const int device = list.AddRow("iPhone");
  const int folder = list.AddRow("Backups", device);
  const int leaf = list.AddRow("2026-12-01", folder);
  EXPECT_EQ(list.AddRow("too deep", leaf), -1);
  EXPECT_EQ(list.RowMarkup(device), "<x 6><a><i expand_flag.png 2 1></a>iPhone");
  EXPECT_EQ(list.RowMarkup(leaf), "<x 6><x 18><x 18>2026-12-01");  // the last level has no mark
  list.SetExpanded(device, false);
  EXPECT_EQ(list.RowMarkup(device), "<x 6><a><i expand_flag.png 2 0></a>iPhone");
  EXPECT_TRUE(list.item(folder)->isHidden());
  EXPECT_TRUE(list.item(leaf)->isHidden());  // its parent is hidden
  list.SetExpanded(device, true);
  EXPECT_FALSE(list.item(leaf)->isHidden());
}

TEST(BrowserHost, PrintViewFlags) {
  EXPECT_EQ(CWebBrowserEventHandlerEx::HostFlags(0x10u), 0x00040015u);  // added to what is given
  QTextBrowser view;
  CWebBrowserEventHandlerEx::ApplyTo(&view, CWebBrowserEventHandlerEx::HostFlags(0));
  EXPECT_EQ(view.frameShape(), QFrame::NoFrame);
  EXPECT_EQ(view.contextMenuPolicy(), Qt::NoContextMenu);
}

TEST(MenuWindow, SkinEntriesTextsSubmenusAndClicks) {
  QWidget owner;
  QString clicked;
  LanguageSection texts{{"item_exit", "Beenden"}};
  CMenuWindow menu(&owner, ":/skins/menu_assist_reg.xml", texts, [&clicked](const QString& name) { clicked = name; });
  for (const char* name : {"item_help", "item_language", "item_faq", "item_about", "item_support", "item_exit"}) {
    EXPECT_NE(menu.Element(name), nullptr) << name;
  }
  EXPECT_EQ(menu.Element("item_exit")->text(), "Beenden");
  EXPECT_EQ(menu.Element("item_help")->text(), "Help");  // no text in the section: the skin's
  QMenu* languages = menu.Submenu("item_language");
  ASSERT_NE(languages, nullptr);
  menu.AddEntry(languages, "Deutsch", "Deutsch")->trigger();
  EXPECT_EQ(clicked, "Deutsch");
  menu.Element("item_faq")->trigger();
  EXPECT_EQ(clicked, "item_faq");
}

}  // namespace
}  // namespace dunmere
