// The CAN write commands in the whole program while CAN monitoring runs: the pack broadcasts on a busy bus and
// the monitoring cycle polls, so either thread's receive may read a command's answer. Each command borrows the
// run's adapter, learns of its answers whichever thread read them, counts a refused part as not written, and
// fails without a frame once the run has stopped. The commands run on a worker, as every exchange does.

#include "app/ServiceTool.h"
#include "link/CanWriteCommands.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"
#include "support/OnWorker.h"
#include "support/ProgramStart.h"
#include "support/TimeScale.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <memory>

namespace qv {
namespace {

using test::waitFor;

TEST(CanWriteRoad, CommandsBesideMonitoring) {
  test::ScopedTimeScale fast{0.05};
  auto driver = sim::makeSimDriver("can");
  const std::shared_ptr<sim::SimAdapter> adapter = driver->adapters().front();
  auto pack = std::dynamic_pointer_cast<sim::CanPack>(adapter->canNode());
  ASSERT_NE(pack, nullptr);
  pack->setBroadcastPeriod(20);
  app::ServiceTool tool(std::move(driver));
  link::Link& link = tool.link;
  Controls& c = tool.services.controls;
  test::confirmConfiguration(tool, link::kProtocolCan);

  // No run holds the adapter yet: nothing goes out.
  EXPECT_FALSE(test::onWorker([&] { return link::CanEraseInternalEeprom(link); }));
  EXPECT_TRUE(adapter->written().empty());

  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(
      waitFor([&] { return link.canSessionHeld() && !c.text(mainwindow::ctl::Edit401hPackVoltage).isEmpty(); }));
  sim::CanPackFaults busy;
  busy.burst = 3;
  pack->setFaults(busy);

  EXPECT_TRUE(test::onWorker([&] { return link::CanEraseTotalChargeCapacity(link); }));
  EXPECT_TRUE(test::onWorker([&] { return link::CanEraseInternalEeprom(link); }));
  EXPECT_TRUE(test::onWorker([&] { return link::CanEraseExternalEeprom(link); }));
  EXPECT_TRUE(test::onWorker([&] { return link::CanWriteText32(link, "EEP-BARCODE-0123456789-ABCDEFGHI"); }));
  EXPECT_TRUE(test::onWorker([&] { return link::CanWriteBarcode32Text(link, "BC32-0123456789"); }));
  EXPECT_TRUE(test::onWorker([&] { return link::CanWriteBarcode16Text(link, "BC16-0123456789XYZ"); }));
  sim::CanPackState s = pack->state();
  EXPECT_EQ(s.totalChargeErases, 1);
  EXPECT_EQ(s.internalEepromErases, 1);
  EXPECT_EQ(s.externalEepromErases, 1);
  EXPECT_EQ(s.eepBarcode, "EEP-BARCODE-0123456789-ABCDEFGHI");
  EXPECT_EQ(s.barcode32, QByteArray("BC32-0123456789") + QByteArray(17, '\0'));
  EXPECT_EQ(s.barcode16, "BC16-0123456789X");

  // A refused part is not written, whichever thread read its header; a late answer still counts.
  busy.refused = {{0x4009, 3, -1, 0x01}};
  busy.late = {{0x4103, 0, 150}};
  pack->setFaults(busy);
  EXPECT_FALSE(test::onWorker([&] { return link::CanWriteBarcode32Text(link, "REFUSED-PART-THREE-0123456789"); }));
  EXPECT_TRUE(test::onWorker([&] { return link::CanEraseExternalEeprom(link); }));
  s = pack->state();
  EXPECT_EQ(s.barcode32.left(16), "REFUSED-PART-THR");
  EXPECT_EQ(s.barcode32.mid(16, 8), QByteArray(8, '\0')) << "part 3 stays as it was";
  EXPECT_GE(s.externalEepromErases, 2) << "each try of a late answer is applied";

  // Monitoring went on beside the commands.
  c.setText(mainwindow::ctl::Edit401hPackVoltage, QString());
  ASSERT_TRUE(waitFor([&] { return c.text(mainwindow::ctl::Edit401hPackVoltage) == "42900"; }));

  tool.FormMain.onEvent(mainwindow::ctl::SpdBtnRUN, UiEvent::Click);
  ASSERT_TRUE(waitFor([&] { return tool.services.workers.running() == 0; }));
  EXPECT_FALSE(link.canSessionHeld());
  adapter->clearWritten();
  EXPECT_FALSE(test::onWorker([&] { return link::CanWriteText32(link, "AFTER"); }));
  EXPECT_TRUE(adapter->written().empty());
}

}  // namespace
}  // namespace qv
