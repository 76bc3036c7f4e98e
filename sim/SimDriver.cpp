#include "sim/SimDriver.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace qv::sim {
namespace {

class SimPort : public platform::Port {
 public:
  SimPort(std::shared_ptr<SimAdapter> adapter, platform::RxQueue& rx) : adapter_(std::move(adapter)) {
    adapter_->connect(&rx);
  }
  ~SimPort() override { adapter_->disconnect(); }

  platform::FtStatus write(const uint8_t* data, uint32_t n, uint32_t, uint32_t* written) override {
    return adapter_->hostWrite(data, n, written);
  }
  void pump() override { adapter_->pump(); }
  std::chrono::nanoseconds pumpInterval() const override { return std::chrono::microseconds(200); }

 private:
  std::shared_ptr<SimAdapter> adapter_;
};

}  // namespace

SimDriver::~SimDriver() { closeAll(); }

std::shared_ptr<SimAdapter> SimDriver::addAdapter(uint32_t deviceId, const char* serial, const char* description,
                                                  uint32_t locId) {
  std::lock_guard lock(mutex_);
  platform::AdapterListRecord r{};
  r.flags = 2;  // high speed
  r.type = platform::kDeviceTypeFt232h;
  r.id = deviceId;
  r.locId = locId != 0 ? locId : static_cast<uint32_t>(0x11 + adapters_.size());
  char defaultSerial[16];
  std::snprintf(defaultSerial, sizeof defaultSerial, "QVSIM%03zu", adapters_.size() + 1);
  std::snprintf(r.serialNumber, sizeof r.serialNumber, "%s", serial != nullptr ? serial : defaultSerial);
  std::snprintf(r.description, sizeof r.description, "%s", description != nullptr ? description : "Simulated adapter");
  adapters_.push_back(std::make_shared<SimAdapter>(r));
  return adapters_.back();
}

std::vector<std::shared_ptr<SimAdapter>> SimDriver::adapters() const {
  std::lock_guard lock(mutex_);
  return adapters_;
}

void SimDriver::failListing(platform::FtStatus status) {
  std::lock_guard lock(mutex_);
  listingStatus_ = status;
}

platform::FtStatus SimDriver::CreateDeviceInfoList(uint32_t* numDevs) {
  {
    std::lock_guard lock(mutex_);
    if (listingStatus_ != platform::FT_OK) return listingStatus_;
  }
  return PortDriver::CreateDeviceInfoList(numDevs);
}

platform::FtStatus SimDriver::GetDeviceInfoList(platform::AdapterListRecord* list, uint32_t* numDevs) {
  {
    std::lock_guard lock(mutex_);
    if (listingStatus_ != platform::FT_OK) return listingStatus_;
  }
  return PortDriver::GetDeviceInfoList(list, numDevs);
}

std::vector<platform::PortEntry> SimDriver::enumerate() {
  std::lock_guard lock(mutex_);
  std::vector<platform::PortEntry> list;
  for (size_t i = 0; i < adapters_.size(); ++i) {
    if (!adapters_[i]->plugged()) continue;
    platform::PortEntry e;
    e.record = adapters_[i]->record();
    e.key = "sim:" + std::to_string(i);
    list.push_back(e);
  }
  return list;
}

std::unique_ptr<platform::Port> SimDriver::openPort(const platform::PortEntry& entry, platform::RxQueue& rx,
                                                    platform::FtStatus* status) {
  std::shared_ptr<SimAdapter> adapter;
  {
    std::lock_guard lock(mutex_);
    const size_t i = std::stoul(entry.key.substr(4));
    if (i < adapters_.size()) adapter = adapters_[i];
  }
  if (!adapter || !adapter->plugged()) {
    *status = platform::FT_DEVICE_NOT_FOUND;
    return nullptr;
  }
  return std::make_unique<SimPort>(std::move(adapter), rx);
}

}  // namespace qv::sim
