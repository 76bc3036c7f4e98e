// What an open adapter that nobody talks to costs: the share of one core the driver's reader thread takes while
// the adapter is open and idle. The tty backend is measured over a pseudo-terminal (the test side holds the
// master, as an adapter emulator would); an FT232H is measured too when one is plugged in and may be opened.

#include "BenchTable.h"
#include "platform/Backends.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

using namespace qv::platform;

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Opens the first listed device, lets it settle, and reports the process's CPU over an idle stretch (the main
// thread only sleeps, so it is the reader's).
void measure(const char* name, Driver& driver) {
  uint32_t n = 0;
  AdapterListRecord record{};
  uint32_t capacity = 1;
  if (driver.CreateDeviceInfoList(&n) != FT_OK || n == 0 || driver.GetDeviceInfoList(&record, &capacity) != FT_OK) {
    std::printf("%-8s no device listed: not measured\n", name);
    return;
  }
  FtHandle handle = 0;
  if (driver.OpenByLocation(record.locId, &handle) != FT_OK) {
    std::printf("%-8s the device did not open: not measured\n", name);
    return;
  }
  driver.SetTimeouts(handle, 500, 500);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // past the reader's busy time after the open
  const double seconds = 5.0;
  const double before = processCpuSeconds();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const double used = processCpuSeconds() - before;
  std::printf("%-8s idle reader: %.3f %% of a core over %.0f s (budget 1 %%)\n", name, 100.0 * used / seconds, seconds);
  qv::bench::tableRow(std::string("idle reader, ") + name, "-", "-", "-", "-",
                      qv::bench::fixed(100.0 * used / seconds, 3) + " % < 1 %");
  driver.Close(handle);
}

}  // namespace

int main() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::printf("tty      no pseudo-terminal: not measured\n");
  } else {
    auto tty = makeTtyDriver({QString::fromLocal8Bit(ptsname(master))});
    measure("tty", *tty);
    ::close(master);
  }
  auto usb = makeLibftdiDriver();
  measure("libftdi", *usb);
  return 0;
}
