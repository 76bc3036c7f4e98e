// Opening the adapter chosen in the configuration dialog and closing it: the handle, the status bar, the
// protocol's time-outs, and what may not disturb a live handle.

#include "link/AdapterFrames.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "support/TimeScale.h"
#include "tests/link/LinkRig.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace link;
using Timeouts = std::vector<std::pair<uint32_t, uint32_t>>;

class OpenAdapter : public ::testing::Test {
 protected:
  // USB1 a foreign device, USB2 and USB3 accepted adapters; the UR protocol; USB2 picked.
  void SetUp() override {
    rig.sim().addAdapter(0x04036001);
    usb2 = rig.sim().addAdapter();
    usb3 = rig.sim().addAdapter();
    rig.chooseProtocol(0);
    rig.scan();
    rig.pick(1);
  }
  QString linkState() const { return rig.controls.panel(mainwindow::ctl::StatusBarView, 0); }
  bool writeWorks() { return SendUr96Query(rig.link); }

  test::ScopedTimeScale fast{0.02};
  test::LinkRig rig;
  std::shared_ptr<sim::SimAdapter> usb2, usb3;
};

TEST_F(OpenAdapter, OpensWithTheProtocolsTimeouts) {
  struct Case {
    int protocol;
    Timeouts timeouts;
  } cases[] = {{0, {{100, 50}}}, {1, {{1, 1}}}, {-1, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.protocol);
    test::LinkRig r;
    r.sim().addAdapter();
    r.chooseProtocol(0);
    r.scan();
    r.controls.setItemIndex(link::ctl::RadioGroup_Protocol, c.protocol);
    ASSERT_TRUE(r.link.OpenAdapter());
    EXPECT_NE(r.link.AdapterHandle, 0u);
    EXPECT_EQ(r.link.AdapterStatus, platform::FT_OK);
    EXPECT_EQ(r.controls.panel(mainwindow::ctl::StatusBarView, 0), "  SYS : < LINK >");
    EXPECT_EQ(r.spy().timeouts(), c.timeouts);
  }
}

TEST_F(OpenAdapter, PositionsWithoutAnAcceptedAdapterOpenNothing) {
  for (int item : {-1, 0, 3, 32, 256 + 1}) {  // no choice, a foreign device, past the list, past the table
    SCOPED_TRACE(item);
    rig.controls.setItemIndex(link::ctl::CobBoxInterfaceName, item);
    EXPECT_FALSE(rig.link.OpenAdapter());
    EXPECT_EQ(rig.link.AdapterHandle, 0u);
    EXPECT_EQ(linkState(), "  SYS : < START > ");
  }
}

TEST_F(OpenAdapter, ALiveHandleSurvivesFailedAndSecondOpens) {
  ASSERT_TRUE(rig.link.OpenAdapter());
  const platform::FtHandle live = rig.link.AdapterHandle;

  EXPECT_FALSE(rig.link.OpenAdapter());  // the same adapter again
  rig.pick(2);
  EXPECT_FALSE(rig.link.OpenAdapter());  // another adapter while one is open
  rig.pick(0);
  EXPECT_FALSE(rig.link.OpenAdapter());  // a foreign device
  EXPECT_EQ(rig.link.AdapterHandle, live);
  EXPECT_TRUE(writeWorks());

  EXPECT_TRUE(rig.link.CloseAdapter());
  EXPECT_EQ(rig.link.AdapterHandle, 0u);
  EXPECT_FALSE(writeWorks());            // I/O on the closed handle fails cleanly
  EXPECT_TRUE(rig.link.CloseAdapter());  // closing what is not open is still true

  rig.pick(2);
  ASSERT_TRUE(rig.link.OpenAdapter());
  EXPECT_EQ(usb3->written().size(), 0u);
  EXPECT_TRUE(writeWorks());
  EXPECT_EQ(usb3->written().size(), 1u);
}

TEST_F(OpenAdapter, APulledCableFailsTheNextCallsAndReopenFails) {
  ASSERT_TRUE(rig.link.OpenAdapter());
  usb2->unplug();
  uint16_t L = 0;
  uint8_t payload[8];
  EXPECT_FALSE(writeWorks());
  EXPECT_FALSE(ReadUartReply(rig.link, &L, payload, sizeof payload));
  EXPECT_TRUE(rig.link.CloseAdapter());

  const platform::FtHandle before = rig.link.AdapterHandle;
  EXPECT_FALSE(rig.link.OpenAdapter());
  EXPECT_NE(rig.link.AdapterStatus, platform::FT_OK);
  EXPECT_EQ(rig.link.AdapterHandle, before);
  EXPECT_EQ(linkState(), "  SYS : < START > ");
}

}  // namespace
}  // namespace qv
