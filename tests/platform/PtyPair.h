#pragma once
// A pseudo-terminal pair for the tty backend's tests: the test holds the master side, where an emulator of the
// adapter would sit; the backend opens the slave path as an adapter.

#include <QByteArray>
#include <QString>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace qv::test {

class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = ptsname(master_);
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;
  bool ok() const { return !slave_.isEmpty(); }
  const QString& slave() const { return slave_; }

  void write(const QByteArray& bytes) {
    ASSERT_EQ(::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
  }
  // What the backend wrote, up to n bytes or until nothing more comes within quietMs.
  QByteArray read(int n, int quietMs = 200) {
    QByteArray got;
    while (got.size() < n) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, quietMs) <= 0) break;
      char buffer[512];
      const ssize_t r = ::read(master_, buffer, sizeof buffer);
      if (r <= 0) break;
      got.append(buffer, static_cast<int>(r));
    }
    return got;
  }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  QString slave_;
};

}  // namespace qv::test
