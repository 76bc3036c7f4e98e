// The password dialog: the access password unlocks the diagnosis page and leaves its marker in SafeInfo.ini;
// anything else, and "No", only close the dialog.

#include "app/ServiceTool.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/PasswordFormControls.h"
#include "mainwindow/Unit3Password.h"
#include "platform/Ini.h"
#include "sim/SimSetups.h"
#include "support/CurrentFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

static void PrintTo(const QByteArray& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

class Password : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.entered());
    tool = std::make_unique<app::ServiceTool>(sim::makeSimDriver(""));
    // Nothing in the program opens the dialog; the main window gives way to it.
    controls().setVisible(ctl::FormMain, false);
    controls().setVisible(passwordCtl::FormPassWord, true);
  }
  Controls& controls() { return tool->services.controls; }
  void answer(const QString& typed, Control button = passwordCtl::SpdBtnPasswordYes) {
    controls().setText(passwordCtl::EditModePassword, typed);
    tool->FormPassWord.onEvent(button, UiEvent::Click);
  }
  static QByteArray safeInfo() {
    QFile f(QString::fromLatin1(kSafeInfoFile));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void expectClosedAndLocked() {
    EXPECT_FALSE(controls().visible(passwordCtl::FormPassWord));
    EXPECT_TRUE(controls().visible(ctl::FormMain));
    EXPECT_FALSE(controls().visible(ctl::TabSheetVM));
  }

  std::unique_ptr<app::ServiceTool> tool;

 private:
  test::ScopedCurrentFolder folder_;
};

TEST_F(Password, TheDialogAsCreated) {
  EXPECT_EQ(controls().text(passwordCtl::FormPassWord), QStringLiteral("Quvexa Password"));
  EXPECT_EQ(controls().color(passwordCtl::FormPassWord), colour::fromRgb(229, 254, 206));
  EXPECT_EQ(controls().text(passwordCtl::Label1), QStringLiteral(" Password : "));
  EXPECT_EQ(controls().text(passwordCtl::SpdBtnPasswordYes), QStringLiteral("Yes"));
  EXPECT_EQ(controls().text(passwordCtl::SpdBtnPasswordNo), QStringLiteral("No"));
  EXPECT_EQ(controls().text(passwordCtl::EditModePassword), QString());
  EXPECT_FALSE(controls().visible(ctl::TabSheetVM));
}

TEST_F(Password, TheAccessPasswordWritesTheMarkerAndShowsTheDiagnosisPage) {
  controls().setVisible(ctl::GroupBoxVCellList, false);
  answer(QStringLiteral("pwk418205763"));
  EXPECT_EQ(platform::readProfileString(platform::currentFolderFile(kSafeInfoFile), "SafeInfo", "Key", "none"),
            QByteArray(kSafeInfoMarker));
  EXPECT_EQ(safeInfo(), QByteArray("[SafeInfo]\r\nKey=") + kSafeInfoMarker + "\r\n");
  EXPECT_TRUE(controls().visible(ctl::TabSheetVM));
  EXPECT_TRUE(controls().visible(ctl::GroupBoxVCellList));
  EXPECT_TRUE(controls().visible(ctl::FormMain));
  EXPECT_FALSE(controls().visible(passwordCtl::FormPassWord)) << "the dialog ends hidden";
}

TEST_F(Password, AnExistingMarkerIsReplacedAndTheRestOfTheFileKept) {
  const QByteArray before = "; site\n[Other]\nKey=keep\n[safeinfo]\nkey = old value\nNote=x\n";
  ASSERT_TRUE(test::ScopedCurrentFolder::write(kSafeInfoFile, before));
  answer(QStringLiteral("pwk418205763"));
  EXPECT_EQ(safeInfo(), QByteArray("; site\n[Other]\nKey=keep\n[safeinfo]\nkey = ") + kSafeInfoMarker + "\nNote=x\n");
  EXPECT_TRUE(controls().visible(ctl::TabSheetVM));
}

TEST_F(Password, AnythingElseOnlyClosesTheDialog) {
  for (const char* typed : {"pwk418205763 ", " pwk418205763", "PWK418205763", "pwk41820576", "pwk4182057633", ""}) {
    controls().setVisible(passwordCtl::FormPassWord, true);
    answer(QString::fromLatin1(typed));
    expectClosedAndLocked();
    EXPECT_FALSE(QFile::exists(kSafeInfoFile)) << typed;
  }
}

TEST_F(Password, NoAndTheCloseBoxCloseWithoutChecking) {
  answer(QStringLiteral("pwk418205763"), passwordCtl::SpdBtnPasswordNo);
  expectClosedAndLocked();

  controls().setVisible(ctl::FormMain, false);
  controls().setVisible(passwordCtl::FormPassWord, false);  // the close box hides the window before it tells the form
  tool->FormPassWord.onEvent(passwordCtl::FormPassWord, UiEvent::Close);
  expectClosedAndLocked();
  EXPECT_FALSE(QFile::exists(kSafeInfoFile));
}

TEST_F(Password, AMarkerThatCannotBeWrittenUnlocksNothing) {
  ASSERT_TRUE(QDir().mkdir(kSafeInfoFile));
  controls().setVisible(ctl::GroupBoxVCellList, false);
  EXPECT_FALSE(UnlockEngineeringMode(controls()));
  EXPECT_FALSE(controls().visible(ctl::TabSheetVM));
  EXPECT_FALSE(controls().visible(ctl::GroupBoxVCellList));
  EXPECT_FALSE(controls().visible(ctl::FormMain)) << "nothing changes";

  answer(QStringLiteral("pwk418205763"));
  expectClosedAndLocked();
}

}  // namespace
}  // namespace qv::mainwindow
