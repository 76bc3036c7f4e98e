// The program with its real window, monitoring for a while as an operator would leave it: started as VELMO_ENG,
// " Configure ", the protocol, "Scan", "Yes", RUN; STOP after the time asked. The soak (tools/soak.sh) runs it
// over the tty backend against tools/PtyPack.cpp. Beside the program it keeps one thread of its own, "soak
// sampler", which every 100 ms notes the program's receive queue, and which reads every thread's CPU from
// /proc/self/task over the measured window (from --warm-up seconds after RUN to the end).
//   quvexa_soakrun <folder of the executables> <UR|CAN> <seconds> [--warm-up SECONDS] [--stats FILE]
//                  [--server-pid PID]
// With --server-pid, the pack server is told when RUN is clicked (SIGUSR2), and to stop its broadcasts (SIGUSR1)
// two seconds before STOP, so that what the pack sent and what the program took can be compared with nothing
// left in flight but the last answers.
// QUVEXA_ADAPTER chooses the adapter.

#include "OperatorSteps.h"
#include "app/DriverSelect.h"
#include "app/WindowedTool.h"
#include "link/ConfigFormControls.h"
#include "link/Link.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/gui/Look.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

using qv::app::WindowedTool;
using qv::tools::button;
using qv::tools::click;
using qv::tools::firstUse;
using qv::tools::settle;
using qv::tools::waitFor;

// Counts what the program's CAN reads hand on, then hands it on.
class CountingSink : public qv::link::CanFrameSink {
 public:
  explicit CountingSink(qv::link::CanFrameSink* next) : next_(next) {}
  void DispatchCanFrame(uint8_t flag, uint32_t id, const uint8_t data[8], uint8_t length) override {
    frames.fetch_add(1, std::memory_order_relaxed);
    if (next_ != nullptr) next_->DispatchCanFrame(flag, id, data, length);
  }
  void CanFramesLost() override {
    losses.fetch_add(1, std::memory_order_relaxed);
    if (next_ != nullptr) next_->CanFramesLost();
  }
  std::atomic<int64_t> frames{0}, losses{0};

 private:
  qv::link::CanFrameSink* next_;
};

struct ThreadTicks {
  std::string name;
  long long ticks = 0;
};

// utime + stime of each thread of this process, by thread id.
std::map<std::string, ThreadTicks> threadTicks() {
  std::map<std::string, ThreadTicks> out;
  for (const QString& tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile f(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray stat = f.readAll();
    const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
    if (open < 0 || close < open) continue;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // After the name: state is field 3 of the line, utime 14 and stime 15.
    if (fields.size() < 13) continue;
    out[tid.toStdString()] = {stat.mid(open + 1, close - open - 1).toStdString(),
                              fields[11].toLongLong() + fields[12].toLongLong()};
  }
  return out;
}

long long processTicks() {
  QFile f(QStringLiteral("/proc/self/stat"));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray stat = f.readAll();
  const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
  return fields.size() < 13 ? 0 : fields[11].toLongLong() + fields[12].toLongLong();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: quvexa_soakrun <folder of the executables> <UR|CAN> <seconds> [--warm-up S] [--stats FILE] "
                 "[--server-pid PID]\n");
    return 2;
  }
  const QString protocol = QString::fromLocal8Bit(argv[2]);
  const double seconds = std::atof(argv[3]);
  double warmUp = 10;
  std::string statsPath;
  pid_t serverPid = 0;
  for (int i = 4; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--warm-up") warmUp = std::atof(argv[i + 1]);
    else if (arg == "--stats") statsPath = argv[i + 1];
    else if (arg == "--server-pid") serverPid = static_cast<pid_t>(std::atoi(argv[i + 1]));
  }
  qv::platform::initExeInfo((QByteArray(argv[1]) + "/VELMO_ENG").constData());
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quvexa BMS Monitor"));
  qv::gui::setUpLook(application);

  WindowedTool program(qv::app::makeDriverFromEnvironment());
  program.showMainWindow();
  settle(300);
  if (!firstUse("soakrun", program, protocol, false, 20000)) return 1;

  qv::link::Link& link = program.tool.link;
  qv::link::CanFrameSink* const dispatcher = link.canFrameSink();
  CountingSink sink(dispatcher);
  link.setCanFrameSink(&sink);

  // The sampler: the program's receive queue every 100 ms, the threads' CPU over the measured window.
  std::mutex mutex;
  std::condition_variable wake;
  bool done = false;
  uint32_t maxQueued = 0;
  int64_t samples = 0, queuedSum = 0;
  std::thread sampler([&] {
    pthread_setname_np(pthread_self(), "soak sampler");
    std::unique_lock lock(mutex);
    while (!wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; })) {
      const qv::platform::FtHandle h = link.AdapterHandle.load();
      if (h == 0) continue;
      uint32_t queued = 0;
      if (program.tool.services.driver().GetQueueStatus(h, &queued) == qv::platform::FT_OK) {
        maxQueued = std::max(maxQueued, queued);
        queuedSum += queued;
        ++samples;
      }
    }
  });

  std::map<std::string, ThreadTicks> ticks0, ticks1;
  long long process0 = 0, process1 = 0;
  QElapsedTimer window;
  double windowSeconds = 0;
  int64_t framesAtQuiet = 0;

  if (serverPid > 0) kill(serverPid, SIGUSR2);
  if (!click("soakrun", button(program, qv::mainwindow::ctl::FormMain, qv::mainwindow::ctl::SpdBtnRUN), "\"RUN\""))
    return 1;
  QTimer::singleShot(static_cast<int>(std::min(warmUp, seconds / 2) * 1000), [&] {
    ticks0 = threadTicks();
    process0 = processTicks();
    window.start();
  });
  const double quietAt = serverPid > 0 ? std::max(seconds - 2, seconds * 0.9) : seconds;
  QTimer::singleShot(static_cast<int>(quietAt * 1000), [&] {
    ticks1 = threadTicks();
    process1 = processTicks();
    windowSeconds = static_cast<double>(window.elapsed()) / 1000.0;
    framesAtQuiet = sink.frames.load();
    if (serverPid > 0) kill(serverPid, SIGUSR1);
  });
  QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { QApplication::quit(); });
  QApplication::exec();

  // The event loop has ended: the button is clicked as it stands, shown or not.
  QAbstractButton* stop = button(program, qv::mainwindow::ctl::FormMain, qv::mainwindow::ctl::SpdBtnRUN);
  if (!program.mainWindow().isVisible()) std::fprintf(stderr, "soakrun: the main window is no longer shown\n");
  const bool stopped = stop != nullptr && stop->isEnabled() && stop->text() == QLatin1String("STOP");
  if (stopped) stop->click();
  if (!stopped) std::fprintf(stderr, "soakrun: no STOP to click (\"%s\")\n", stop ? qPrintable(stop->text()) : "");
  const bool ended = stopped &&
                     waitFor([&] { return program.tool.services.workers.running("MonitorThreadProc") == 0; }, 30000);
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  wake.notify_all();
  sampler.join();
  link.setCanFrameSink(dispatcher);

  const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
  const auto percent = [&](long long dt) { return windowSeconds > 0 ? 100.0 * dt / hz / windowSeconds : 0.0; };
  long long samplerTicks = 0;
  // Per thread name: the program's threads of one kind (the workers started and ended during the window among
  // them) add up.
  std::map<std::string, long long> byName;
  for (const auto& [tid, t] : ticks1) {
    const auto before = ticks0.find(tid);
    const long long dt = t.ticks - (before != ticks0.end() ? before->second.ticks : 0);
    if (t.name == "soak sampler") {
      samplerTicks += dt;
      continue;
    }
    byName[std::to_string(getpid()) == tid ? std::string("GUI") : t.name] += dt;
  }
  FILE* out = statsPath.empty() ? stdout : std::fopen(statsPath.c_str(), "w");
  if (out == nullptr) out = stdout;
  std::fprintf(out,
               "ended=%d window_s=%.1f process_percent=%.3f program_percent=%.3f can_frames_taken=%lld "
               "can_frames_taken_at_quiet=%lld can_loss_notices=%lld max_rx_queue_bytes=%u mean_rx_queue_bytes=%.0f "
               "rx_samples=%lld\n",
               ended ? 1 : 0, windowSeconds, percent(process1 - process0), percent(process1 - process0 - samplerTicks),
               static_cast<long long>(sink.frames.load()), static_cast<long long>(framesAtQuiet),
               static_cast<long long>(sink.losses.load()), maxQueued,
               samples > 0 ? static_cast<double>(queuedSum) / static_cast<double>(samples) : 0.0,
               static_cast<long long>(samples));
  for (const auto& [name, dt] : byName) std::fprintf(out, "thread %s %.3f\n", name.c_str(), percent(dt));
  if (out != stdout) std::fclose(out);
  return ended ? 0 : 1;
}
