// The firmware window on screen: " Upgrade " gives the main window over to it, its status picture is the one
// the store names, and "Exit" gives the main window back.

#include "app/WindowedTool.h"
#include "firmware/FWUpgradeFormControls.h"
#include "firmware/FirmwareUpgrade.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "sim/SimSetups.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace qv::app {
namespace {

namespace fw = firmware::ctl;

TEST(FirmwareWindowOnScreen, TheStatusPictureAndTheWayInAndOut) {
  platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QStringLiteral("VELMO_ENG")});
  WindowedTool program(sim::makeSimDriver("ur2"));
  program.showMainWindow();
  Controls& c = program.tool.services.controls;
  program.tool.FormMain.onEvent(mainwindow::ctl::SpdBtnUpgrade, UiEvent::Click);
  program.display.flush();
  gui::FormWindow* window = program.display.window(fw::FormFWUpgrade);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(program.mainWindow().isVisible());
  EXPECT_EQ(window->windowTitle(), "F/W Upgrade ");

  for (int picture : {firmware::kStatusBusy, firmware::kStatusPassed, firmware::kStatusFailed}) {
    firmware::ShowStatusPicture(c, picture);
    program.display.flush();
    for (int i = 0; i < 3; ++i) {
      auto* label = window->findChild<QLabel*>(gui::objectNameFor(fw::kStatusPictures[static_cast<size_t>(i)].key()));
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->isVisible(), i == picture) << picture << " " << i;
      EXPECT_FALSE(label->pixmap().isNull());
    }
  }

  window->findChild<QPushButton*>("SpdBtn_FirmwareUpgradeExit")->click();
  program.display.flush();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(program.mainWindow().isVisible());
}

}  // namespace
}  // namespace qv::app
