// Message boxes: the five kinds' skins and default titles, the results of their buttons and keys.
#include <gtest/gtest.h>

#include <QLabel>
#include <QImage>
#include <QApplication>
#include <QFrame>
#include <QProgressBar>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ui/dialogs/message_box.h"

namespace dunmere {
namespace {

QString TitleOf(CMessageBox& box) { return qobject_cast<QLabel*>(box.Control("title"))->text(); }

TEST(MessageBox, KindsSkinsAndDefaultTitles) {
  CMessageBox error(std::nullopt, kMbError, nullptr, "It failed.", 550, 200);
  EXPECT_EQ(TitleOf(error), "Error");  // MSG0401 of the English texts
  EXPECT_EQ(qobject_cast<QLabel*>(error.Control("message"))->text(), "It failed.");
  EXPECT_EQ(error.size(), QSize(550, 200));
  CMessageBox odd(std::nullopt, 7, nullptr, "?", 550, 200);  // an unknown kind is an Error
  EXPECT_EQ(TitleOf(odd), "Error");
  EXPECT_NE(odd.findChild<QWidget*>("MessageBoxError"), nullptr);
  CMessageBox titled(QString("Question"), kMbQuestion, nullptr, "Try again?", 550, 200);
  EXPECT_EQ(TitleOf(titled), "Question");
  EXPECT_FALSE(titled.Control("cancelbtn")->isHidden());
  // A Warning box has no Cancel; Information's default title is MSG0403.
  CMessageBox warning(std::nullopt, kMbWarning, nullptr, "Careful.", 550, 200);
  EXPECT_TRUE(warning.Control("cancelbtn")->isHidden());
  EXPECT_EQ(TitleOf(warning), "Warning");
  CMessageBox info(std::nullopt, kMbInformation, nullptr, "Done.", 350, 180);
  EXPECT_EQ(TitleOf(info), "Information");
  EXPECT_GE(info.width(), 430);  // the skins' least size
}

TEST(MessageBox, ResultsOfButtonsAndKeys) {
  {
    CMessageBox box(std::nullopt, kMbQuestion, nullptr, "Stop the scan?", 550, 200);
    bool stayedAfterEnter = false;
    QTimer::singleShot(0, &box, [&box, &stayedAfterEnter] {
      QTest::keyClick(&box, Qt::Key_Return);  // Enter does not close the box
      QTest::keyClick(box.Control("okbtn"), Qt::Key_Enter);
      stayedAfterEnter = box.isVisible();
      QTest::keyClick(&box, Qt::Key_Escape);
    });
    EXPECT_EQ(box.ShowModal(), CPopUpWnd::kResultCancel);
    EXPECT_TRUE(stayedAfterEnter);
  }
  for (const char* button : {"okbtn", "cancelbtn", "closebtn"}) {
    CMessageBox box(std::nullopt, kMbConfirm, nullptr, "Go on?", 550, 200);
    QTimer::singleShot(0, &box, [&box, button] { QTest::mouseClick(box.Control(button), Qt::LeftButton); });
    EXPECT_EQ(box.ShowModal(), std::string(button) == "okbtn" ? CPopUpWnd::kResultOk : CPopUpWnd::kResultCancel) << button;
  }
}

// The style sheet: a full progress bar in a light dialog is seen, and a disabled button of the
// header's tool bars looks otherwise than an enabled one.
TEST(StyleSheet, ProgressBarsAreSeenAndDisabledButtonsLookDisabled) {
  QFile style(QStringLiteral(":/skins/dunmere.qss"));
  ASSERT_TRUE(style.open(QIODevice::ReadOnly));
  const QString before = qApp->styleSheet();
  qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
  const auto luminance = [](QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000; };
  {
    QWidget dialog;
    dialog.setObjectName(QStringLiteral("UIRecoverProcessWnd"));
    dialog.setStyleSheet(QStringLiteral("background: #FFFFFF;"));
    auto* bar = new QProgressBar(&dialog);
    bar->setTextVisible(false);
    bar->setGeometry(10, 10, 200, 6);
    bar->setValue(100);
    dialog.resize(220, 30);
    const QImage shot = dialog.grab().toImage();
    EXPECT_LT(luminance(shot.pixel(110, 12)), 200);  // the bar's chunk is not white on white
  }
  {
    QFrame header;
    header.setObjectName(QStringLiteral("Header"));
    auto* bar = new QFrame(&header);
    bar->setObjectName(QStringLiteral("ReocveryToolBar"));
    auto* enabled = new QPushButton(QStringLiteral("Recover"), bar);
    auto* disabled = new QPushButton(QStringLiteral("Recover"), bar);
    disabled->setEnabled(false);
    enabled->setGeometry(0, 0, 100, 30);
    disabled->setGeometry(0, 40, 100, 30);
    bar->setGeometry(0, 0, 100, 70);
    header.resize(100, 70);
    // Away from the text: the button's own surface.
    EXPECT_NE(enabled->grab().toImage().pixel(6, 15), disabled->grab().toImage().pixel(6, 15));
  }
  qApp->setStyleSheet(before);
}

}  // namespace
}  // namespace dunmere
