// The simulated adapter and pack served on a pseudo-terminal, for the program's tty backend
// (QUVEXA_ADAPTER=tty:<link>): what the program writes to the terminal goes to the simulated adapter, what the
// adapter sends back is written to the terminal. It keeps the soak's books and its watchdog:
//   - requests: the adapter frames that ask the pack something (0x0701 on the serial line, 0x440 on CAN);
//   - CAN frames the pack put on the bus during the run, and the ones lost because the adapter's buffer was full (the
//   terminal
//     took nothing for that long);
//   - the backlog: bytes in the adapter's buffer and bytes in the terminal not yet read by the program.
// Once the first request has come, a stretch of --stall seconds without one writes every thread's stack of the
// program (gdb -batch -p, the pid from --pid-file) to --stacks and ends with status 3.
//
//   quvexa_ptypack <setup: ur74|ur96|ur2|can> <link path> [--can-rate FRAMES_PER_S] [--stats FILE]
//                  [--pid-file FILE] [--stacks FILE] [--stall SECONDS] [--start-timeout SECONDS]
// SIGUSR2 says RUN was clicked: the books and the broadcasts start with the run's first request after it, and
// the watchdog watches from there. SIGUSR1 stops the broadcasts (the soak's drain before it compares what was
// sent with what the program took). SIGTERM or SIGINT ends it with status 0 after the last line of figures.

#include "platform/PortDriver.h"
#include "sim/CanPack.h"
#include "sim/SimSetups.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<bool> quietRequested{false};
std::atomic<bool> runRequested{false};

void onStop(int) { stopRequested = true; }
void onQuiet(int) { quietRequested = true; }
void onRun(int) { runRequested = true; }

// What waits for the program on the real tty path before anything is lost: the chip's 1 KiB and the kernel's
// buffers of a USB serial port (64 KiB of flip buffers); a pseudo-terminal holds only a few KiB itself.
constexpr size_t kAdapterBufferBytes = 64 * 1024 + 1024;
constexpr size_t kCanFrameBytes = 19;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

std::string readPid(const std::string& file) {
  std::ifstream in(file);
  std::string pid;
  in >> pid;
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: quvexa_ptypack <ur74|ur96|ur2|can> <link path> [--can-rate N] [--stats FILE] "
                         "[--pid-file FILE] [--stacks FILE] [--stall SECONDS] [--start-timeout SECONDS]\n");
    return 2;
  }
  const std::string setup = argv[1];
  const std::string linkPath = argv[2];
  int canRate = 0;
  std::string statsPath, pidFile, stacksPath;
  double stallSeconds = 5, startTimeout = 120;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--can-rate") canRate = std::atoi(argv[i + 1]);
    else if (arg == "--stats") statsPath = argv[i + 1];
    else if (arg == "--pid-file") pidFile = argv[i + 1];
    else if (arg == "--stacks") stacksPath = argv[i + 1];
    else if (arg == "--stall") stallSeconds = std::atof(argv[i + 1]);
    else if (arg == "--start-timeout") startTimeout = std::atof(argv[i + 1]);
  }

  std::unique_ptr<qv::sim::SimDriver> driver = qv::sim::makeSimDriver(setup);
  if (!driver) {
    std::fprintf(stderr, "ptypack: no simulated set-up %s\n", setup.c_str());
    return 2;
  }
  std::shared_ptr<qv::sim::SimAdapter> adapter = driver->adapters().at(0);
  auto can = std::dynamic_pointer_cast<qv::sim::CanPack>(adapter->canNode());
  // Four broadcasts a round: a saturated bus whose rounds keep coming whether anyone reads or not. It starts
  // with the run's first request, so that what the pack sent and what the program took count the same frames
  // (before the program opens its port nobody reads them, as nobody would read a real adapter's).
  // Until then the bus is quiet (the scan's own exchanges go on), so that nothing is sent while no port is open.
  const auto saturate = [&] {
    if (!can) return;
    if (canRate > 0) {
      qv::sim::CanPackFaults faults;
      faults.busyBus = true;
      can->setFaults(faults);
    }
    can->setBroadcastPeriod(canRate > 0 ? std::max(1, 4000 / canRate) : 200);
  };
  if (can) can->setBroadcastPeriod(0);

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("ptypack: posix_openpt");
    return 1;
  }
  const std::string slavePath = ptsname(master);
  // Held open here: a program that closes its end leaves the terminal in place for its next open, and the
  // slave's count of unread bytes can be asked.
  const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave < 0) {
    std::perror("ptypack: opening the terminal");
    return 1;
  }
  termios raw{};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  ::unlink(linkPath.c_str());
  if (::symlink(slavePath.c_str(), linkPath.c_str()) != 0) {
    std::perror("ptypack: symlink");
    return 1;
  }
  std::signal(SIGTERM, onStop);
  std::signal(SIGINT, onStop);
  std::signal(SIGUSR1, onQuiet);
  std::signal(SIGUSR2, onRun);
  std::signal(SIGPIPE, SIG_IGN);

  qv::platform::RxQueue toHost;
  adapter->connect(&toHost);

  std::deque<uint8_t> buffer;  // the adapter's buffer towards the host
  int64_t requests = 0, lostFrames = 0, lostBytes = 0, writtenBytes = 0, sentBefore = 0;
  bool armed = false;
  size_t maxBacklog = 0;
  const auto start = Clock::now();
  auto lastRequest = start;
  bool started = false;
  double longestGap = 0;
  auto lastStats = start;
  int status = 0;

  bool blocked = false;
  auto blockedAt = start;
  double longestBlockMs = 0;
  int blockReports = 0;
  const auto backlogNow = [&] {
    int unread = 0;
    ioctl(slave, FIONREAD, &unread);
    return buffer.size() + static_cast<size_t>(std::max(unread, 0));
  };
  const auto writeStats = [&](const char* state) {
    if (statsPath.empty()) return;
    const std::string tmp = statsPath + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (f == nullptr) return;
    std::fprintf(f,
                 "state=%s seconds=%.1f requests=%lld longest_gap_s=%.2f can_frames_sent=%lld lost_frames=%lld "
                 "lost_bytes=%lld bytes_to_host=%lld backlog_bytes=%zu max_backlog_bytes=%zu longest_block_ms=%.0f\n",
                 state, secondsSince(start), static_cast<long long>(requests), longestGap,
                 static_cast<long long>(can ? can->framesSent() - sentBefore : 0), static_cast<long long>(lostFrames),
                 static_cast<long long>(lostBytes), static_cast<long long>(writtenBytes), backlogNow(), maxBacklog,
                 longestBlockMs);
    std::fclose(f);
    std::rename(tmp.c_str(), statsPath.c_str());
  };

  uint8_t chunk[4096];
  bool quiet = false;
  while (!stopRequested) {
    if (runRequested && !armed) {
      armed = true;
      sentBefore = can ? can->framesSent() : 0;
    }
    if (quietRequested && !quiet && can) {
      can->setBroadcastPeriod(0);
      quiet = true;
    }
    pollfd p{master, POLLIN, 0};
    ::poll(&p, 1, 1);
    for (;;) {
      const ssize_t got = ::read(master, chunk, sizeof chunk);
      if (got <= 0) break;
      uint32_t taken = 0;
      const size_t before = adapter->written().size();
      adapter->hostWrite(chunk, static_cast<uint32_t>(got), &taken);
      const std::vector<QByteArray> frames = adapter->written();
      for (size_t i = before; i < frames.size(); ++i) {
        const QByteArray& f = frames[i];
        const auto u8 = [&](int k) { return static_cast<uint8_t>(f[k]); };
        const uint16_t type = static_cast<uint16_t>(u8(2) << 8 | u8(3));
        const bool ask = type == 0x0701 || (type == 0x0401 && f.size() >= 9 && (u8(7) << 8 | u8(8)) == 0x440 &&
                                            (u8(5) & 0x1F) == 0 && u8(6) == 0);
        if (!ask) continue;
        ++requests;
        const auto now = Clock::now();
        if (started) longestGap = std::max(longestGap, std::chrono::duration<double>(now - lastRequest).count());
        if (!started && armed) {
          saturate();
          lostFrames = lostBytes = 0;
          maxBacklog = 0;
          std::fprintf(stderr, "ptypack %s: the run's first request at %.3f s\n", setup.c_str(), secondsSince(start));
        }
        if (armed) started = true;
        lastRequest = now;
      }
      adapter->clearWritten();
    }
    adapter->pump();

    // What the adapter sent back goes to the terminal as far as the terminal takes it; what it does not take
    // waits in the adapter's buffer, whose overflow is lost, the newest frames first (a chip's FIFO takes no
    // more once full). Frames made up after this server was held up are offered to the terminal before any
    // is counted lost: they came over time on a real bus.
    const size_t n = toHost.size();
    if (n > 0) {
      const size_t at = buffer.size();
      buffer.resize(at + n);
      std::string bytes(n, '\0');
      toHost.take(reinterpret_cast<uint8_t*>(bytes.data()), n, Clock::now(), {}, std::chrono::nanoseconds(0));
      std::copy(bytes.begin(), bytes.end(), buffer.begin() + static_cast<std::ptrdiff_t>(at));
    }
    while (!buffer.empty()) {
      const size_t len = std::min(buffer.size(), sizeof chunk);
      std::copy_n(buffer.begin(), len, chunk);
      const ssize_t put = ::write(master, chunk, len);
      if (put <= 0) {
        if (!blocked) {
          blocked = true;
          blockedAt = Clock::now();
        }
        break;
      }
      if (blocked) {
        blocked = false;
        const double ms = 1000 * secondsSince(blockedAt);
        longestBlockMs = std::max(longestBlockMs, ms);
        if (ms >= 50 && blockReports++ < 20) {
          std::fprintf(stderr, "ptypack %s: the terminal took nothing for %.0f ms, from %.3f s\n", setup.c_str(), ms,
                       std::chrono::duration<double>(blockedAt - start).count());
        }
      }
      buffer.erase(buffer.begin(), buffer.begin() + put);
      writtenBytes += put;
    }
    if (buffer.size() > kAdapterBufferBytes) {
      // Whole frames off the end, so that what stays is still a stream of frames.
      const size_t over = buffer.size() - kAdapterBufferBytes;
      const size_t drop = std::min(buffer.size(), (over + kCanFrameBytes - 1) / kCanFrameBytes * kCanFrameBytes);
      if (lostFrames < 20) {
        int unread = 0;
        ioctl(slave, FIONREAD, &unread);
        std::fprintf(stderr, "ptypack %s: %zu frames lost at %.3f s (the terminal holds %d bytes unread)\n",
                     setup.c_str(), drop / kCanFrameBytes, secondsSince(start), unread);
      }
      lostFrames += static_cast<int64_t>(drop / kCanFrameBytes);
      lostBytes += static_cast<int64_t>(drop);
      buffer.resize(buffer.size() - drop);
    }
    maxBacklog = std::max(maxBacklog, backlogNow());

    if (secondsSince(lastStats) >= 1.0) {
      writeStats("running");
      lastStats = Clock::now();
    }
    const double quietFor = secondsSince(lastRequest);
    if ((started && quietFor > stallSeconds) || (!started && quietFor > startTimeout)) {
      std::fprintf(stderr, "ptypack %s: no request for %.1f s%s\n", setup.c_str(), quietFor,
                   started ? "" : " since the start");
      const std::string pid = pidFile.empty() ? std::string() : readPid(pidFile);
      if (!pid.empty() && !stacksPath.empty()) {
        const std::string command = "gdb -batch -p " + pid + " -ex 'set pagination off' -ex 'thread apply all bt' >" +
                                    stacksPath + " 2>&1";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "ptypack: gdb failed\n");
      }
      status = 3;
      break;
    }
  }
  writeStats(status == 0 ? "ended" : "stalled");
  adapter->disconnect();
  ::unlink(linkPath.c_str());
  ::close(slave);
  ::close(master);
  return status;
}
