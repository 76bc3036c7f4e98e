#include "platform/PortDriver.h"

#include "platform/Time.h"

#include <algorithm>
#include <cstring>

namespace qv::platform {

void RxQueue::push(const uint8_t* data, size_t n) {
  if (n == 0) return;
  {
    std::lock_guard lock(mutex_);
    bytes_.insert(bytes_.end(), data, data + n);
  }
  arrived_.notify_all();
}

void RxQueue::fail() {
  {
    std::lock_guard lock(mutex_);
    failed_ = true;
  }
  arrived_.notify_all();
}

bool RxQueue::failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

void RxQueue::clear() {
  std::lock_guard lock(mutex_);
  bytes_.clear();
}

size_t RxQueue::size() const {
  std::lock_guard lock(mutex_);
  return bytes_.size();
}

size_t RxQueue::take(uint8_t* out, size_t wanted, std::chrono::steady_clock::time_point deadline,
                     const std::function<void()>& pump, std::chrono::nanoseconds pumpInterval) {
  for (;;) {
    if (pump) pump();
    std::unique_lock lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (bytes_.size() >= wanted || failed_ || now >= deadline) {
      const size_t n = std::min(wanted, bytes_.size());
      std::copy_n(bytes_.begin(), n, out);
      bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
      return n;
    }
    auto until = deadline;
    if (pumpInterval.count() > 0) until = std::min(deadline, now + pumpInterval);
    const size_t have = bytes_.size();
    arrived_.wait_until(lock, until, [&] { return bytes_.size() != have || failed_; });
  }
}

FtStatus PortDriver::CreateDeviceInfoList(uint32_t* numDevs) {
  if (numDevs == nullptr) return FT_INVALID_PARAMETER;
  std::vector<PortEntry> list = enumerate();
  std::lock_guard lock(mutex_);
  list_ = std::move(list);
  *numDevs = static_cast<uint32_t>(list_.size());
  return FT_OK;
}

FtStatus PortDriver::GetDeviceInfoList(AdapterListRecord* list, uint32_t* numDevs) {
  if (list == nullptr || numDevs == nullptr) return FT_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  const uint32_t n = std::min<uint32_t>(*numDevs, static_cast<uint32_t>(list_.size()));
  for (uint32_t i = 0; i < n; ++i) list[i] = list_[i].record;
  *numDevs = n;
  return FT_OK;
}

FtStatus PortDriver::OpenByLocation(uint32_t locId, FtHandle* handle) {
  if (handle == nullptr) return FT_INVALID_PARAMETER;
  // A device plugged in after the last listing can still be opened: look it up afresh.
  std::vector<PortEntry> fresh = enumerate();
  auto it = std::find_if(fresh.begin(), fresh.end(), [&](const PortEntry& e) { return e.record.locId == locId; });
  if (it == fresh.end()) return FT_DEVICE_NOT_FOUND;

  auto open = std::make_shared<Open>();
  open->key = it->key;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [h, o] : open_) {
      if (o->key == open->key) return FT_DEVICE_NOT_OPENED;  // exclusive: a second open fails
    }
  }
  FtStatus status = FT_OK;
  open->port = openPort(*it, *open->rx, &status);
  if (!open->port) return status != FT_OK ? status : FT_DEVICE_NOT_OPENED;

  std::lock_guard lock(mutex_);
  for (const auto& [h, o] : open_) {
    if (o->key == open->key) return FT_DEVICE_NOT_OPENED;  // lost a race with another open of the same device
  }
  const FtHandle h = nextHandle_++;
  open_[h] = std::move(open);
  *handle = h;
  return FT_OK;
}

std::shared_ptr<PortDriver::Open> PortDriver::find(FtHandle handle) {
  std::lock_guard lock(mutex_);
  auto it = open_.find(handle);
  return it == open_.end() ? nullptr : it->second;
}

FtStatus PortDriver::SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) {
  auto open = find(handle);
  if (!open) return FT_INVALID_HANDLE;
  std::scoped_lock lock(open->readMutex, open->writeMutex);
  open->readTimeoutMs = readTimeoutMs;
  open->writeTimeoutMs = writeTimeoutMs;
  return FT_OK;
}

FtStatus PortDriver::Read(FtHandle handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  auto open = find(handle);
  if (!open) return FT_INVALID_HANDLE;
  if (buffer == nullptr && bytesToRead > 0) return FT_INVALID_PARAMETER;
  std::lock_guard lock(open->readMutex);
  if (!open->port) return FT_INVALID_HANDLE;  // closed by another thread meanwhile
  if (open->rx->failed()) return FT_IO_ERROR;
  const auto deadline = std::chrono::steady_clock::now() + scaled(open->readTimeoutMs);
  Port* port = open->port.get();
  const size_t n = open->rx->take(
      static_cast<uint8_t*>(buffer), bytesToRead, deadline, [port] { port->pump(); }, port->pumpInterval());
  if (bytesReturned != nullptr) *bytesReturned = static_cast<uint32_t>(n);
  // Bytes that arrived before the device went away are still delivered; the next call fails.
  if (n == 0 && open->rx->failed()) return FT_IO_ERROR;
  return FT_OK;
}

FtStatus PortDriver::Write(FtHandle handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) {
  if (bytesWritten != nullptr) *bytesWritten = 0;
  auto open = find(handle);
  if (!open) return FT_INVALID_HANDLE;
  if (buffer == nullptr && bytesToWrite > 0) return FT_INVALID_PARAMETER;
  std::lock_guard lock(open->writeMutex);
  if (!open->port) return FT_INVALID_HANDLE;
  if (open->rx->failed()) return FT_IO_ERROR;
  uint32_t written = 0;
  const FtStatus status =
      open->port->write(static_cast<const uint8_t*>(buffer), bytesToWrite, open->writeTimeoutMs, &written);
  if (bytesWritten != nullptr) *bytesWritten = written;
  return status;
}

FtStatus PortDriver::PurgeRx(FtHandle handle) {
  auto open = find(handle);
  if (!open) return FT_INVALID_HANDLE;
  std::lock_guard lock(open->readMutex);
  if (!open->port) return FT_INVALID_HANDLE;
  if (open->rx->failed()) return FT_IO_ERROR;
  const FtStatus purged = open->port->purgeRx();
  open->port->pump();  // what a simulated device has produced by now is stale too
  open->rx->clear();
  return purged;
}

FtStatus PortDriver::GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
  if (rxBytes == nullptr) return FT_INVALID_PARAMETER;
  *rxBytes = 0;
  auto open = find(handle);
  if (!open) return FT_INVALID_HANDLE;
  std::lock_guard lock(open->readMutex);
  if (!open->port) return FT_INVALID_HANDLE;
  if (open->rx->failed()) return FT_IO_ERROR;
  open->port->pump();  // what a simulated device has produced by now
  *rxBytes = static_cast<uint32_t>(open->rx->size());
  return FT_OK;
}

FtStatus PortDriver::Close(FtHandle handle) {
  std::shared_ptr<Open> open;
  {
    std::lock_guard lock(mutex_);
    auto it = open_.find(handle);
    if (it == open_.end()) return FT_INVALID_HANDLE;
    open = std::move(it->second);
    open_.erase(it);
  }
  // Wait for a read or write in progress on another thread before the port goes.
  std::scoped_lock lock(open->readMutex, open->writeMutex);
  open->port.reset();
  return FT_OK;
}

void PortDriver::closeAll() {
  std::vector<FtHandle> handles;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [h, o] : open_) handles.push_back(h);
  }
  for (FtHandle h : handles) Close(h);
}

}  // namespace qv::platform
