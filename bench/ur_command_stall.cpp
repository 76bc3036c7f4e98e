// The GUI thread while UR commands run: the serial-number read and the clock set, clicked on their widgets in
// the windowed program over the simulated UR2 pack, with real waits. A 1 ms timer on the GUI thread notes the
// longest gap between two of its ticks (the longest the message loop was kept from running, StallProbe.h), and
// each click's handler is timed on its own. Every wait of a command runs on its worker, so both stay far under
// 20 ms.
//
//   QT_QPA_PLATFORM=offscreen bench_ur_command_stall [rounds]     (default 5)

#include "BenchTable.h"
#include "StallProbe.h"
#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace qv;

constexpr double kLimitMs = 20.0;

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  app::WindowedTool program(sim::makeSimDriver("ur2"));
  program.showMainWindow();
  app::ServiceTool& tool = program.tool;
  Controls& c = tool.services.controls;
  c.setItemIndex(qv::link::ctl::RadioGroup_Protocol, 0);
  tool.FormConfig.onEvent(qv::link::ctl::RadioGroup_Protocol, UiEvent::Click);
  tool.FormConfig.onEvent(qv::link::ctl::SpdBtnSCAN, UiEvent::Click);
  tool.services.workers.joinAll();
  c.setItemIndex(qv::link::ctl::CobBoxInterfaceName, 0);
  tool.FormConfig.onEvent(qv::link::ctl::CobBoxInterfaceName, UiEvent::Change);
  tool.FormConfig.onEvent(qv::link::ctl::SpdBtnYES, UiEvent::Click);
  program.display.flush();

  gui::FormWindow& main = program.mainWindow();
  auto* snGet = main.findChild<QPushButton*>("SpdBtnSNGet");
  auto* rtcSet = main.findChild<QPushButton*>("SpdBtnRTCSet");
  if (snGet == nullptr || rtcSet == nullptr) {
    std::fprintf(stderr, "the command buttons are missing\n");
    return 1;
  }

  // The message loop's longest gap, measured only while a command runs.
  bench::StallProbe probe;
  double longestGapMs = 0;

  double longestClickMs = 0;
  int commands = 0;
  const auto runOne = [&](QPushButton* button, Control name) {
    if (!button->isEnabled()) {
      std::fprintf(stderr, "%s is disabled\n", name.c_str());
      std::exit(1);
    }
    probe.start();
    QElapsedTimer click;
    click.start();
    button->click();
    longestClickMs = std::max(longestClickMs, static_cast<double>(click.nsecsElapsed()) / 1e6);
    // The loop runs on while the worker exchanges; the command is over once its set is back, and shown.
    while (tool.services.workers.running() > 0 || !c.enabled(qv::mainwindow::ctl::SpdBtnRUN) ||
           program.display.pending()) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    longestGapMs = std::max(longestGapMs, probe.stop());
    ++commands;
  };

  // The same loop with nothing running, for the machine's own jitter beside the figure.
  probe.start();
  for (const int64_t idleEnd = platform::monotonicMs() + 1000; platform::monotonicMs() < idleEnd;) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  const double idleGapMs = probe.stop();

  const int64_t started = platform::monotonicMs();
  for (int i = 0; i < rounds; ++i) {
    runOne(snGet, qv::mainwindow::ctl::SpdBtnSNGet);
    runOne(rtcSet, qv::mainwindow::ctl::SpdBtnRTCSet);
  }
  const int64_t elapsed = platform::monotonicMs() - started;

  const bool read = c.text(qv::mainwindow::ctl::EditPDSN) == QLatin1String("SN123456") &&
                    !c.text(qv::mainwindow::ctl::EditRTC).isEmpty();
  std::printf("UR commands (serial-number read, clock set) x %d in %lld ms: longest GUI-thread stall %.1f ms, "
              "longest click handler %.2f ms (idle, no command: %.1f ms); limit %.0f ms: %s%s\n",
              commands, static_cast<long long>(elapsed), longestGapMs, longestClickMs, idleGapMs, kLimitMs,
              longestGapMs < kLimitMs ? "under" : "OVER", read ? "" : " (the pack's answers were not shown)");
  bench::tableRow("GUI stall, UR commands", bench::fixed(longestGapMs, 1) + " ms", "-", "-",
                  "< " + bench::fixed(kLimitMs, 0) + " ms", "-");
  return longestGapMs < kLimitMs && read ? 0 : 1;
}
