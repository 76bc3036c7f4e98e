#include "platform/Backends.h"
#include "platform/PortDriver.h"

#include "platform/Time.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace qv::platform {
namespace {

// The one line on standard error for a device that cannot be used: its node, and why.
void report(const std::string& path, const char* reason) {
  std::fprintf(stderr, "tty: %s: %s\n", path.c_str(), reason);
}

// One serial device in raw mode: every byte passes as it is, both ways (no echo, no line editing, no CR/LF
// translation, no flow-control characters). A reader thread feeds what arrives into the receive queue; a hang-up
// or a read error (the device went away) fails the queue, so the next call fails instead of waiting, and standard
// error says so once.
class TtyPort : public Port {
 public:
  // Takes the open descriptor, its settings from before (given back on close) and the event that stops the
  // reader.
  TtyPort(std::string path, int fd, const termios& previous, int wake, RxQueue& rx)
      : path_(std::move(path)), fd_(fd), previous_(previous), wake_(wake), rx_(rx), reader_([this] { readLoop(); }) {}

  ~TtyPort() override {
    const uint64_t one = 1;
    if (::write(wake_, &one, sizeof one) < 0) std::perror("tty: waking the reader");
    reader_.join();
    tcsetattr(fd_, TCSANOW, &previous_);
    ::close(wake_);
    ::close(fd_);
  }

  FtStatus write(const uint8_t* data, uint32_t n, uint32_t timeoutMs, uint32_t* written) override {
    uint32_t done = 0;
    while (done < n) {
      pollfd p{fd_, POLLOUT, 0};
      const int ready = ::poll(&p, 1, pollMs(timeoutMs));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) break;  // time-out: a short write, as the adapter's driver reports it
      if (ready < 0) return gone(written, done, errno);
      if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return gone(written, done, 0);
      const ssize_t put = ::write(fd_, data + done, n - done);
      if (put < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (put < 0) return gone(written, done, errno);
      done += static_cast<uint32_t>(put);
    }
    *written = done;
    return FT_OK;
  }

  FtStatus purgeRx() override { return tcflush(fd_, TCIFLUSH) == 0 ? FT_OK : FT_IO_ERROR; }

 private:
  FtStatus gone(uint32_t* written, uint32_t done, int error) {
    *written = done;
    fail(error);
    return FT_IO_ERROR;
  }

  // The queue fails, and standard error says why, once for the port whichever thread finds it.
  void fail(int error) {
    if (!reported_.exchange(true)) report(path_, error != 0 ? std::strerror(error) : "the device hung up");
    rx_.fail();
  }

  void readLoop() {
    pthread_setname_np(pthread_self(), "tty reader");
    uint8_t buffer[4096];
    for (;;) {
      pollfd p[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
      const int ready = ::poll(p, 2, -1);
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0 || p[1].revents != 0) return;
      if ((p[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) == 0) continue;
      // Data, or what the device's end is: a read tells which, and why.
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got > 0) {
        rx_.push(buffer, static_cast<size_t>(got));
        continue;
      }
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      fail(got < 0 ? errno : 0);
      return;
    }
  }

  static int pollMs(uint32_t timeoutMs) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(scaled(timeoutMs)).count();
    return static_cast<int>(std::max<int64_t>(1, ms));
  }

  const std::string path_;
  const int fd_;
  const termios previous_;
  const int wake_;
  RxQueue& rx_;
  std::atomic<bool> reported_{false};
  std::thread reader_;  // last: it starts once everything it uses is there
};

// Raw mode, reads that never wait in the kernel (the reader polls); *previous gets the settings before.
bool setRaw(int fd, termios* previous) {
  if (tcgetattr(fd, previous) != 0) return false;
  termios raw = *previous;
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &raw) == 0;
}

class TtyDriver : public PortDriver {
 public:
  explicit TtyDriver(QStringList paths) : paths_(std::move(paths)) {}
  ~TtyDriver() override { closeAll(); }

  // A configured device gone since the scan is not opened either; standard error says which.
  FtStatus OpenByLocation(uint32_t locId, FtHandle* handle) override {
    const FtStatus status = PortDriver::OpenByLocation(locId, handle);
    if (status == FT_DEVICE_NOT_FOUND && locId >= 1 && locId <= static_cast<uint32_t>(paths_.size())) {
      report(paths_[static_cast<qsizetype>(locId - 1)].toLocal8Bit().toStdString(), std::strerror(ENOENT));
    }
    return status;
  }

 protected:
  // Each configured path that exists, with the accepted id; its location id is its place in the configuration,
  // so it stays the same while other paths come and go.
  std::vector<PortEntry> enumerate() override {
    std::vector<PortEntry> list;
    for (qsizetype i = 0; i < paths_.size(); ++i) {
      const QByteArray path = paths_[i].toLocal8Bit();
      if (::access(path.constData(), F_OK) != 0) continue;
      PortEntry e;
      e.key = path.toStdString();
      e.record.flags = 2;
      e.record.type = kDeviceTypeFt232h;
      e.record.id = kAcceptedDeviceId;
      e.record.locId = static_cast<uint32_t>(i + 1);
      const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
      std::snprintf(e.record.serialNumber, sizeof e.record.serialNumber, "%s", name.constData());
      std::snprintf(e.record.description, sizeof e.record.description, "%s", path.constData());
      list.push_back(e);
    }
    return list;
  }

  std::unique_ptr<Port> openPort(const PortEntry& entry, RxQueue& rx, FtStatus* status) override {
    // Held by another program (a terminal in exclusive mode: EBUSY), not ours to open (EACCES), gone (ENOENT).
    const int fd = ::open(entry.key.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      *status = error == ENOENT ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
      // Not found is said by the open that asked, once.
      if (error != ENOENT) report(entry.key, std::strerror(error));
      return nullptr;
    }
    termios previous{};
    const int wake = setRaw(fd, &previous) ? eventfd(0, EFD_CLOEXEC) : -1;
    if (wake < 0) {
      report(entry.key, std::strerror(errno));
      ::close(fd);
      *status = FT_DEVICE_NOT_OPENED;
      return nullptr;
    }
    tcflush(fd, TCIOFLUSH);
    return std::make_unique<TtyPort>(entry.key, fd, previous, wake, rx);
  }

 private:
  QStringList paths_;
};

}  // namespace

std::unique_ptr<Driver> makeTtyDriver(const QStringList& paths) { return std::make_unique<TtyDriver>(paths); }

}  // namespace qv::platform
