// The bit-rate check that opens a CAN run, against the simulated adapter's own bit-rate frames.

#include "commands/CanBitRate.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "platform/Services.h"
#include "sim/SimDriver.h"
#include "support/BareStore.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

struct Rig {
  Rig() {
    auto driver = std::make_unique<sim::SimDriver>();
    adapter = driver->addAdapter();
    services = std::make_unique<platform::Services>(std::move(driver));
    link = std::make_unique<link::Link>(*services, mainwindow::kLinkControls);
    test::declareBareMainWindows(services->controls);
    platform::FtHandle h = 0;
    EXPECT_EQ(services->driver().OpenByLocation(adapter->record().locId, &h), platform::FT_OK);
    services->driver().SetTimeouts(h, 1, 1);
    link->AdapterHandle = h;
  }
  QString panel() const { return services->controls.panel(mainwindow::ctl::StatusBarView, 2); }
  // The bit-rate frames the program wrote: 0x0109 queries and 0x010B sets.
  int frames(uint8_t type) const {
    int n = 0;
    for (const QByteArray& f : adapter->written()) n += static_cast<uint8_t>(f[3]) == type ? 1 : 0;
    return n;
  }

  test::ScopedTimeScale fast{0.01};
  std::shared_ptr<sim::SimAdapter> adapter;
  std::unique_ptr<platform::Services> services;
  std::unique_ptr<link::Link> link;
};

TEST(CheckCanBitRate, AnAdapterAtTheRateIsConfirmedByOneQuery) {
  Rig rig;
  rig.adapter->setCanRateByte(0x08);
  EXPECT_TRUE(commands::CheckCanBitRate(*rig.link, 250000));
  EXPECT_EQ(rig.panel(), " Baud Rate  : < 250000 bps >");
  EXPECT_EQ(rig.frames(0x09), 1);
  EXPECT_EQ(rig.frames(0x0B), 0);
}

TEST(CheckCanBitRate, AnAdapterAtAnotherRateIsSetAndQueriedAgain) {
  Rig rig;
  rig.adapter->setCanRateByte(0x04);  // 500000
  EXPECT_TRUE(commands::CheckCanBitRate(*rig.link, 250000));
  EXPECT_EQ(rig.panel(), " Baud Rate  : < 250000 bps >");
  EXPECT_EQ(rig.frames(0x09), 2);
  EXPECT_EQ(rig.frames(0x0B), 1);
  EXPECT_EQ(rig.adapter->canRateByte(), 0x08);
}

TEST(CheckCanBitRate, AnAdapterThatNeverAnswersFailsAfterThreePasses) {
  Rig rig;
  rig.adapter->setAnswersRateQuery(false);
  EXPECT_FALSE(commands::CheckCanBitRate(*rig.link, 250000));
  EXPECT_EQ(rig.panel(), " Baud Rate  : 250000 Setting ... ");
  EXPECT_EQ(rig.frames(0x09), 3);
  EXPECT_EQ(rig.frames(0x0B), 3);
}

}  // namespace
}  // namespace qv
