// The GUI thread while monitoring runs and while printing: the windowed program over the simulated adapter with
// real waits, its buttons clicked on their widgets. A 1 ms timer on the GUI thread notes the longest gap between
// two of its ticks (the longest the message loop was kept from running, StallProbe.h) in each phase: UR
// monitoring, CAN monitoring, and "PDF" clicked while UR monitoring runs (printed into a PDF file, as the print
// dialog would once confirmed; "PDF" stays off for its second by a timer). Every wait runs on a worker, and so
// does putting the page on the printer; the drawing of the window for the page, which is GUI work, is done a band
// per turn of the loop, and its longest turn and the time until the page is written are reported beside it.
//
//   QT_QPA_PLATFORM=offscreen bench_gui_stall [seconds per phase]     (default 3)

#include "BenchTable.h"
#include "StallProbe.h"
#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace {

using namespace qv;
namespace mw = qv::mainwindow;

constexpr double kLimitMs = 20.0;

// The display's requests, but a confirmed print goes into a PDF file instead of through the dialog. A page's
// drawing is the longest the GUI thread spent on it in one go (the click, or a band of the window); the page is
// done when the worker has written it.
class PdfGui : public gui::WidgetGui {
 public:
  PdfGui(gui::Display& display, platform::Workers& workers, QString file)
      : WidgetGui(display, mw::ctl::FormMain, workers), file_(std::move(file)) {}
  bool printWindow(Control form) override {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file_);
    QElapsedTimer t;
    t.start();
    const bool printing = printWindowOnWorker(form, std::move(printer), [this](const PrintReport& report) {
      const std::lock_guard<std::mutex> lock(mutex_);
      longestSliceMs_ = std::max(longestSliceMs_, report.longestSliceMs);
      longestWholeMs_ = std::max(longestWholeMs_, report.wholeMs);
      written_ += report.printed ? 1 : 0;
      ++done_;
    });
    const std::lock_guard<std::mutex> lock(mutex_);
    longestSliceMs_ = std::max(longestSliceMs_, static_cast<double>(t.nsecsElapsed()) / 1e6);
    asked_ += printing ? 1 : 0;
    return printing;
  }
  // Every page asked for is written or given up.
  bool settled() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return done_ == asked_;
  }
  int written() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return written_;
  }
  double longestSliceMs() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return longestSliceMs_;
  }
  double longestWholeMs() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return longestWholeMs_;
  }

 private:
  QString file_;
  std::mutex mutex_;  // the worker reports its page
  double longestSliceMs_ = 0;
  double longestWholeMs_ = 0;
  int asked_ = 0;
  int done_ = 0;
  int written_ = 0;
};

void pump(const std::function<bool()>& until) {
  while (!until()) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

void pumpFor(int64_t ms) {
  const int64_t end = platform::monotonicMs() + ms;
  pump([end] { return platform::monotonicMs() >= end; });
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const int64_t phaseMs = 1000 * (argc > 1 ? std::max(1, std::atoi(argv[1])) : 3);
  QTemporaryDir folder;

  app::WindowedTool program(sim::makeSimDriver(""));
  PdfGui pdf(program.display, program.tool.services.workers, folder.filePath("window.pdf"));
  program.tool.services.setGui(&pdf);
  program.showMainWindow();
  app::ServiceTool& tool = program.tool;
  Controls& c = tool.services.controls;

  gui::FormWindow& main = program.mainWindow();
  auto* run = main.findChild<QPushButton*>("SpdBtnRUN");
  auto* print = main.findChild<QPushButton*>("SpdBtnPRINT");
  if (run == nullptr || print == nullptr) {
    std::fprintf(stderr, "RUN or PDF is missing\n");
    return 1;
  }

  // The message loop's longest gap, measured only while a phase runs.
  bench::StallProbe probe;
  const auto measure = [&](const std::function<void()>& phase) {
    probe.start();
    phase();
    return probe.stop();
  };

  // The dialog's choices for a protocol, as the operator makes them, then RUN.
  const auto configure = [&](int protocol) {
    c.setItemIndex(qv::link::ctl::RadioGroup_Protocol, protocol);
    tool.FormConfig.onEvent(qv::link::ctl::RadioGroup_Protocol, UiEvent::Click);
    tool.FormConfig.onEvent(qv::link::ctl::SpdBtnSCAN, UiEvent::Click);
    pump([&] { return tool.services.workers.running() == 0; });
    c.setItemIndex(qv::link::ctl::CobBoxInterfaceName, 0);
    tool.FormConfig.onEvent(qv::link::ctl::CobBoxInterfaceName, UiEvent::Change);
    tool.FormConfig.onEvent(qv::link::ctl::SpdBtnYES, UiEvent::Click);
    pumpFor(50);
  };
  const auto start = [&] {
    run->click();
    pump([&] { return c.text(mw::ctl::SpdBtnRUN) == QLatin1String("STOP"); });
  };
  const auto stop = [&] {
    run->click();
    pump([&] { return tool.services.workers.running() == 0 && c.text(mw::ctl::SpdBtnRUN) == QLatin1String("RUN"); });
  };

  const double idleMs = measure([] { pumpFor(1000); });

  configure(qv::link::kProtocolUr);
  start();
  const double urMs = measure([&] { pumpFor(phaseMs); });
  const QString cell = c.text(mw::ctl::EditVCell1);

  int clicks = 0;
  const double printMs = measure([&] {
    for (const int64_t end = platform::monotonicMs() + phaseMs; platform::monotonicMs() < end;) {
      pump([&] { return print->isEnabled(); });
      print->click();
      ++clicks;
      pumpFor(50);
    }
    pump([&] { return print->isEnabled() && pdf.settled(); });
  });
  stop();

  configure(qv::link::kProtocolCan);
  start();
  const double canMs = measure([&] { pumpFor(phaseMs); });
  const QString voltage = c.text(mw::ctl::Edit401hPackVoltage);
  stop();

  const bool shown = cell != QLatin1String("0") && !cell.isEmpty() && !voltage.isEmpty() && pdf.written() == clicks;
  const double worst = std::max({urMs, printMs, canMs});
  std::printf("longest GUI-thread stall: UR monitoring %.1f ms, printing %d times beside it %.1f ms (drawing a page "
              "%.1f ms at most in one go, written %.0f ms after the click), CAN monitoring %.1f ms (idle, nothing "
              "running: %.1f ms); limit %.0f ms: %s%s\n",
              urMs, clicks, printMs, pdf.longestSliceMs(), pdf.longestWholeMs(), canMs, idleMs, kLimitMs,
              worst < kLimitMs ? "under" : "OVER", shown ? "" : " (the pack's values or the pages were not all there)");
  const std::string limit = "< " + bench::fixed(kLimitMs, 0) + " ms";
  bench::tableRow("GUI stall, UR monitoring", bench::fixed(urMs, 1) + " ms", "-", "-", limit, "-");
  bench::tableRow("GUI stall, printing", bench::fixed(printMs, 1) + " ms", "-", "-", limit,
                  "drawing a page " + bench::fixed(pdf.longestSliceMs(), 1) + " ms in one go, written after " +
                      bench::fixed(pdf.longestWholeMs(), 0) + " ms");
  bench::tableRow("GUI stall, CAN monitoring", bench::fixed(canMs, 1) + " ms", "-", "-", limit, "-");
  bench::tableRow("GUI stall, idle", bench::fixed(idleMs, 1) + " ms", "-", "-", "-", "-");
  program.tool.services.setGui(&program.gui);
  return worst < kLimitMs && shown ? 0 : 1;
}
