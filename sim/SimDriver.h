#pragma once
// The simulated driver: adapters (accepted ones and others) that a test plugs in, each with its pack behind it.

#include "platform/PortDriver.h"
#include "sim/SimAdapter.h"

#include <memory>
#include <mutex>
#include <vector>

namespace qv::sim {

class SimDriver : public platform::PortDriver {
 public:
  SimDriver() = default;
  ~SimDriver() override;

  // Adds an adapter to the device list. Location ids are 0x11, 0x12, ... in the order added, unless given.
  std::shared_ptr<SimAdapter> addAdapter(uint32_t deviceId = platform::kAcceptedDeviceId, const char* serial = nullptr,
                                         const char* description = nullptr, uint32_t locId = 0);
  std::vector<std::shared_ptr<SimAdapter>> adapters() const;
  // Makes the device list fail (the listing calls return this status) until set back to FT_OK.
  void failListing(platform::FtStatus status);

  platform::FtStatus CreateDeviceInfoList(uint32_t* numDevs) override;
  platform::FtStatus GetDeviceInfoList(platform::AdapterListRecord* list, uint32_t* numDevs) override;

 protected:
  std::vector<platform::PortEntry> enumerate() override;
  std::unique_ptr<platform::Port> openPort(const platform::PortEntry& entry, platform::RxQueue& rx,
                                           platform::FtStatus* status) override;

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<SimAdapter>> adapters_;
  platform::FtStatus listingStatus_ = platform::FT_OK;
};

}  // namespace qv::sim
