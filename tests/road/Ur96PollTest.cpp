#include "link/AdapterFrames.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "mainwindow/MonitorLog.h"
#include "mainwindow/Ur96Record.h"
#include "platform/ExeInfo.h"
#include "sim/SimSetups.h"
#include "sim/Ur96Pack.h"
#include "support/BareStore.h"
#include "support/CurrentFolder.h"
#include "support/TimeScale.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>

namespace qv::mainwindow {
namespace {

// UR96 poll cycles on a worker over the default simulated pack (query, wait, record, log line), while this
// thread reads what the worker writes.
TEST(Ur96Poll, RecordsAndLogLinesFromAWorker) {
  test::ScopedTimeScale fast(0.02);
  test::ScopedCurrentFolder folder;
  ASSERT_TRUE(folder.entered());
  const platform::ExeInfo previousExe = platform::exeInfo();
  platform::setExeInfo({folder.path() + "/", "VELMO_ENG"});
  ASSERT_TRUE(folder.write(kCapacityTableFile, "Model,Wh\nQV13,50\n"));

  std::unique_ptr<sim::SimDriver> simDriver = sim::makeSimDriver("");
  const uint32_t locId = simDriver->adapters().at(0)->record().locId;
  platform::Services services(std::move(simDriver));
  link::Link link(services, mainwindow::kLinkControls);
  test::declareBareMainWindows(services.controls);
  MainState state;
  platform::FtHandle h = 0;
  ASSERT_EQ(services.driver().OpenByLocation(locId, &h), platform::FT_OK);
  services.driver().SetTimeouts(h, 100, 100);
  link.AdapterHandle = h;

  constexpr int kCycles = 20;
  std::atomic<int> good{0};
  std::atomic<bool> done{false};
  QString logPath;
  services.workers.start("monitor", [&] {
    auto log = CreateMonitorLog(true, services.controls);
    if (log) logPath = log->path();
    for (int cycle = 0; cycle < kCycles; ++cycle) {
      link::SendUr96Query(link);
      platform::sleepMs(150);
      if (ReadUr96Record(link, services.controls, state)) ++good;
      WriteMonitorLogLine(log.get(), services.controls);
    }
    done = true;
  });
  while (!done) {
    (void)state.battery.snapshot();
    (void)state.report.snapshot();
    (void)services.controls.text(ctl::Edit_UR96_SOC_Wh);
    platform::sleepMs(5);
  }
  services.workers.joinAll();

  EXPECT_EQ(good.load(), kCycles);
  EXPECT_EQ(state.CellDesignCapacity.load(), 2150u);
  EXPECT_EQ(services.controls.text(ctl::EditFWID), QStringLiteral("QV1302B96A"));
  EXPECT_EQ(services.controls.text(ctl::Edit_UR96_Battery_Wh), QStringLiteral("50"));
  EXPECT_FALSE(services.controls.text(ctl::Edit_UR96_SOC_Wh).isEmpty());
  QFile log(logPath);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = log.readAll().split('\n');
  EXPECT_EQ(lines.size(), kCycles + 2);  // header, the cycles, and nothing after the last LF
  EXPECT_TRUE(lines.at(kCycles).contains(",QV1302B96A,260,48100,-1250,13,2,4300,"));

  services.driver().Close(h);
  platform::setExeInfo(previousExe);
}

}  // namespace
}  // namespace qv::mainwindow
