#pragma once
// The adapter driver: the operations the link layer needs of an FT232H adapter, with D2XX-like statuses.
//
// A read of n bytes returns when n bytes are there or the read time-out has passed; what arrived by then is a
// success with fewer bytes. Bytes that arrive between calls are kept. A device that goes away (a pulled cable)
// makes the next call on its handle fail with a non-zero status instead of hanging.

#include <cstdint>
#include <memory>

namespace qv::platform {

using FtStatus = uint32_t;
using FtHandle = uint64_t;  // 0 is no handle

enum : FtStatus {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_OTHER_ERROR = 18,
};

// USB vendor 0x0403, product 0x6014: the adapter the tool accepts.
constexpr uint32_t kAcceptedDeviceId = 0x04036014;

// One entry of the device list, laid out as the driver delivers it (100 bytes).
struct AdapterListRecord {
  uint32_t flags;
  uint32_t type;
  uint32_t id;            // vendor id in the high 16 bits, product id in the low 16 bits
  uint32_t locId;         // the key by which the adapter is opened
  char serialNumber[16];  // NUL-terminated
  char description[64];   // NUL-terminated
  uint32_t handle;        // not used
};
static_assert(sizeof(AdapterListRecord) == 100, "the driver's device entry is 100 bytes");

constexpr uint32_t kDeviceTypeFt232h = 8;

class Driver {
 public:
  virtual ~Driver() = default;

  // Builds the device list and reports how many devices it holds.
  virtual FtStatus CreateDeviceInfoList(uint32_t* numDevs) = 0;
  // Fills at most *numDevs entries (the caller's capacity) and sets *numDevs to the number filled.
  virtual FtStatus GetDeviceInfoList(AdapterListRecord* list, uint32_t* numDevs) = 0;
  // Opens the device with that location id; a device already open fails (the handle is then untouched).
  virtual FtStatus OpenByLocation(uint32_t locId, FtHandle* handle) = 0;
  virtual FtStatus SetTimeouts(FtHandle handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) = 0;
  virtual FtStatus Read(FtHandle handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) = 0;
  virtual FtStatus Write(FtHandle handle, const void* buffer, uint32_t bytesToWrite, uint32_t* bytesWritten) = 0;
  // Throws away every byte received and not yet read.
  virtual FtStatus PurgeRx(FtHandle handle) = 0;
  // How many received bytes wait to be read, without waiting. A driver that cannot tell gives FT_OTHER_ERROR,
  // and its readers then read as if it said nothing.
  virtual FtStatus GetQueueStatus(FtHandle handle, uint32_t* rxBytes) {
    (void)handle;
    if (rxBytes != nullptr) *rxBytes = 0;
    return FT_OTHER_ERROR;
  }
  // Closes the handle; it is invalid afterwards.
  virtual FtStatus Close(FtHandle handle) = 0;
};

}  // namespace qv::platform
