// The main window's status bar as the operator reads it: the panel that says where an installed program writes its
// files shows both ends of the folder, and the tool tip with every panel whole stays whatever the panels go through.

#include "app/WindowedTool.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/gui/PaintedControls.h"
#include "sim/SimSetups.h"
#include "support/DisplayWait.h"

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qv::app {
namespace {

namespace ctl = mainwindow::ctl;

constexpr int kFilesPanel = 3;
const QString kFolder = QStringLiteral("/home/service-engineer/.local/share/Quvexa BMS Monitor/");
const QString kFilesText = QStringLiteral("   VELMO_ENG   Files: ") + kFolder;

class StatusBarTest : public ::testing::Test {
 protected:
  StatusBarTest() {
    platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QStringLiteral("VELMO_ENG")});
    program = std::make_unique<WindowedTool>(sim::makeSimDriver(""));
    program->showMainWindow();
    controls().setPanel(ctl::StatusBarView, kFilesPanel, kFilesText);
    settle();
    bar = program->mainWindow().findChild<gui::StatusBarWidget*>(QStringLiteral("StatusBarView"));
  }
  Controls& controls() { return program->tool.services.controls; }
  void settle() { ASSERT_TRUE(test::waitForDisplay(program->display)); }

  std::unique_ptr<WindowedTool> program;
  gui::StatusBarWidget* bar = nullptr;
};

TEST_F(StatusBarTest, TheFilesPanelTooLongForItsWidthKeepsBothEnds) {
  ASSERT_NE(bar, nullptr);
  ASSERT_GT(bar->fontMetrics().horizontalAdvance(kFilesText), bar->width() / 2)
      << "the fixture's folder must not fit its panel";
  const QString shown = bar->shownText(kFilesPanel);
  EXPECT_NE(shown, kFilesText);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("   VELMO_ENG   Files: /"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("Monitor/"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();

  // A text that fits its panel is shown as it stands.
  controls().setPanel(ctl::StatusBarView, kFilesPanel, QStringLiteral("   VELMO_ENG"));
  settle();
  EXPECT_EQ(bar->shownText(kFilesPanel), "   VELMO_ENG");
}

// The tool tip is what shows the folder whole. It stays through every change the display applies, among them a
// run that ends at once: its start and stop reach the display together, as one change that leaves the panels as
// they were.
TEST_F(StatusBarTest, TheToolTipShowsTheFolderWholeAndStays) {
  ASSERT_NE(bar, nullptr);
  const QString whole = kFilesText.trimmed();
  EXPECT_TRUE(bar->toolTip().contains(whole)) << bar->toolTip().toStdString();

  const QString stop = controls().panel(ctl::StatusBarView, 0);
  struct Step {
    const char* what;
    std::function<void()> change;
  };
  const Step steps[] = {
      {"another panel changes", [&] { controls().setPanel(ctl::StatusBarView, 1, QStringLiteral(" UR96 Mode ")); }},
      {"a run starts and stops before the display flushes",
       [&] {
         controls().setPanel(ctl::StatusBarView, 0, QStringLiteral("  SYS : < START > "));
         controls().setPanel(ctl::StatusBarView, 0, stop);
       }},
      {"the status bar is disabled and enabled", [&] {
         controls().setEnabled(ctl::StatusBarView, false);
         controls().setEnabled(ctl::StatusBarView, true);
       }}};
  for (const Step& step : steps) {
    step.change();
    settle();
    EXPECT_TRUE(bar->toolTip().contains(whole)) << step.what << ": " << bar->toolTip().toStdString();
  }
}

}  // namespace
}  // namespace qv::app
