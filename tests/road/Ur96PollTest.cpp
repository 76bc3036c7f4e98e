#include "link/Link.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/MonitorLog.h"
#include "mainwindow/PackDispatcher.h"
#include "sim/SimSetups.h"
#include "support/BareStore.h"
#include "support/CurrentFolder.h"
#include "support/ExeInfoScope.h"
#include "support/TimeScale.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>

namespace qv::mainwindow {
namespace {

// The monitoring's own UR96 cycles on a worker over the default simulated pack (query, wait, record, the cells,
// log line), while this thread reads what the worker writes.
TEST(Ur96Poll, RecordsAndLogLinesFromAWorker) {
  test::ScopedTimeScale fast(0.02);
  test::ScopedCurrentFolder folder;
  ASSERT_TRUE(folder.entered());
  const test::ScopedExeInfo exe({folder.path() + "/", "VELMO_ENG"});
  ASSERT_TRUE(folder.write(kCapacityTableFile, "Model,Wh\nQV13,50\n"));

  std::unique_ptr<sim::SimDriver> simDriver = sim::makeSimDriver("");
  const uint32_t locId = simDriver->adapters().at(0)->record().locId;
  platform::Services services(std::move(simDriver));
  link::Link link(services, mainwindow::kLinkControls);
  test::declareBareMainWindows(services.controls);
  MainState state;
  PackDispatcher dispatcher(services.controls, state);
  link.setPackMessageSink(&dispatcher);
  Monitor monitor(services, link, state);
  platform::FtHandle h = 0;
  ASSERT_EQ(services.driver().OpenByLocation(locId, &h), platform::FT_OK);
  services.driver().SetTimeouts(h, 100, 100);
  link.AdapterHandle = h;

  constexpr int kCycles = 20;
  std::atomic<bool> done{false};
  QString logPath;
  state.RunFlag.set(1);
  services.workers.start("monitor", [&] {
    auto log = CreateMonitorLog(true, services.controls);
    if (log) logPath = log->path();
    for (int cycle = 0; cycle < kCycles; ++cycle) monitor.Ur96Cycle(log.get());
    done = true;
  });
  while (!done) {
    (void)state.battery.snapshot();
    (void)state.report.snapshot();
    (void)services.controls.text(ctl::Edit_UR96_SOC_Wh);
    platform::sleepMs(5);
  }
  services.workers.joinAll();
  state.RunFlag.set(0);
  services.driver().Close(h);
  link.AdapterHandle = 0;

  EXPECT_EQ(state.CellDesignCapacity.load(), 2150u);
  EXPECT_EQ(services.controls.text(ctl::EditFWID), QStringLiteral("QV1302B96A"));
  EXPECT_EQ(services.controls.text(ctl::Edit_UR96_Battery_Wh), QStringLiteral("50"));
  EXPECT_FALSE(services.controls.text(ctl::Edit_UR96_SOC_Wh).isEmpty());
  EXPECT_EQ(services.controls.text(ctl::EditVCell1), QStringLiteral("3698"));  // the cells come after each record
  QFile log(logPath);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = log.readAll().split('\n');
  EXPECT_EQ(lines.size(), kCycles + 2);  // header, the cycles, and nothing after the last LF
  for (int cycle = 1; cycle <= kCycles; ++cycle) {
    EXPECT_TRUE(lines.at(cycle).contains(",QV1302B96A,260,48100,-1250,13,2,4300,")) << cycle;
  }
}

}  // namespace
}  // namespace qv::mainwindow
