#pragma once
// The part of the driver that every backend shares: the device list, exclusive opens by location id, handles
// that a close invalidates, and a receive queue that keeps bytes between reads and gives reads their time-out.
// A backend only lists its ports, opens one, writes to it and feeds what it receives into the queue.

#include "platform/Driver.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qv::platform {

// Bytes received from a port and not yet read. A port pushes into it from its own thread (or from the writer's,
// for a simulated port); the driver's Read takes from it.
class RxQueue {
 public:
  void push(const uint8_t* data, size_t n);
  // The device went away: every later read and write of this port fails.
  void fail();
  bool failed() const;
  void clear();
  size_t size() const;

  // Waits until `wanted` bytes are there, the deadline has passed, or the port failed; copies what is there
  // (at most `wanted`). `pump` runs before each check, for ports that produce bytes when asked.
  size_t take(uint8_t* out, size_t wanted, std::chrono::steady_clock::time_point deadline,
              const std::function<void()>& pump, std::chrono::nanoseconds pumpInterval);

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<uint8_t> bytes_;
  bool failed_ = false;
};

// One open port of a backend.
class Port {
 public:
  virtual ~Port() = default;
  // Writes the bytes; *written is how many went out. A status other than FT_OK is a failed write.
  virtual FtStatus write(const uint8_t* data, uint32_t n, uint32_t timeoutMs, uint32_t* written) = 0;
  // Device-side purge of the receive direction, where the device has one; the queue is cleared by the driver.
  // A status other than FT_OK is a purge the device refused.
  virtual FtStatus purgeRx() { return FT_OK; }
  // For ports that produce received bytes on demand (the simulator): called before each look at the queue.
  virtual void pump() {}
  // How often a waiting read calls pump(); zero for ports that push by themselves.
  virtual std::chrono::nanoseconds pumpInterval() const { return std::chrono::nanoseconds(0); }
};

struct PortEntry {
  AdapterListRecord record{};
  std::string key;  // what identifies the device to its backend (a path, a bus/port string, a simulator name)
};

class PortDriver : public Driver {
 public:
  FtStatus CreateDeviceInfoList(uint32_t* numDevs) override;
  FtStatus GetDeviceInfoList(AdapterListRecord* list, uint32_t* numDevs) override;
  FtStatus OpenByLocation(uint32_t locId, FtHandle* handle) override;
  FtStatus SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) override;
  FtStatus Read(FtHandle handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) override;
  FtStatus Write(FtHandle handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) override;
  FtStatus PurgeRx(FtHandle handle) override;
  FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) override;
  FtStatus Close(FtHandle handle) override;

  // Closes every handle still open; backends call it from their destructors, before their ports go.
  void closeAll();

 protected:
  virtual std::vector<PortEntry> enumerate() = 0;
  // Opens the port and connects it to rx; nullptr with *status set when it cannot be opened.
  virtual std::unique_ptr<Port> openPort(const PortEntry& entry, RxQueue& rx, FtStatus* status) = 0;

 public:
  static constexpr uint32_t kDefaultReadTimeoutMs = 500;
  static constexpr uint32_t kDefaultWriteTimeoutMs = 500;

 private:
  struct Open {
    std::string key;
    std::unique_ptr<RxQueue> rx = std::make_unique<RxQueue>();
    std::unique_ptr<Port> port;
    std::mutex writeMutex;
    std::mutex readMutex;
    // Until SetTimeouts is called a read still ends: a silent device must not freeze its caller.
    uint32_t readTimeoutMs = kDefaultReadTimeoutMs;
    uint32_t writeTimeoutMs = kDefaultWriteTimeoutMs;
  };

  std::shared_ptr<Open> find(FtHandle handle);

  std::mutex mutex_;
  std::vector<PortEntry> list_;
  std::map<FtHandle, std::shared_ptr<Open>> open_;
  FtHandle nextHandle_ = 0x1000;
};

}  // namespace qv::platform
