#include "link/Link.h"

#include "link/ConfigFormControls.h"

namespace qv::link {
namespace {

struct Timeouts {
  uint32_t readMs;
  uint32_t writeMs;
};

constexpr Timeouts kUrTimeouts{100, 50};
constexpr Timeouts kCanTimeouts{1, 1};

}  // namespace

Link::Link(platform::Services& s, const MainWindowControls& mainWindow)
    : services(s), controls(s.controls), driver(s.driver()), mainWindow(mainWindow) {}

std::optional<uint32_t> Link::AdapterLocation(int index) const {
  if (index < 0 || index >= kAdapterTableSize) return std::nullopt;
  return AdapterTable.with([index](const auto& table) -> std::optional<uint32_t> {
    const AdapterTableEntry& e = table[static_cast<size_t>(index)];
    if (e.deviceId != platform::kAcceptedDeviceId) return std::nullopt;
    return e.locId;
  });
}

bool Link::OpenAdapter() {
  controls.setPanel(mainWindow.statusBar, 0, QStringLiteral("  SYS : < START > "));
  const std::optional<uint32_t> locId = AdapterLocation(controls.itemIndex(ctl::CobBoxInterfaceName));
  if (!locId) {
    AdapterStatus.store(platform::FT_DEVICE_NOT_FOUND);
    return false;
  }
  std::lock_guard lock(openMutex_);
  if (AdapterHandle.load() != 0) {
    // The adapter is held by another exchange; its handle must survive this one.
    AdapterStatus.store(platform::FT_DEVICE_NOT_OPENED);
    return false;
  }
  platform::FtHandle handle = 0;
  const platform::FtStatus status = driver.OpenByLocation(*locId, &handle);
  AdapterStatus.store(status);
  if (status != platform::FT_OK) return false;
  AdapterHandle.store(handle);
  controls.setPanel(mainWindow.statusBar, 0, QStringLiteral("  SYS : < LINK >"));
  const int protocol = controls.itemIndex(ctl::RadioGroup_Protocol);
  readTimeoutMs_.store(0);
  writeTimeoutMs_.store(0);
  if (protocol == kProtocolUr || protocol == kProtocolCan) {
    const Timeouts& t = protocol == kProtocolUr ? kUrTimeouts : kCanTimeouts;
    if (driver.SetTimeouts(handle, t.readMs, t.writeMs) == platform::FT_OK) {
      readTimeoutMs_.store(t.readMs);
      writeTimeoutMs_.store(t.writeMs);
    }
  }
  return true;
}

bool Link::CloseAdapter() {
  std::lock_guard lock(openMutex_);
  const platform::FtHandle handle = AdapterHandle.exchange(0);
  if (handle != 0) driver.Close(handle);
  readTimeoutMs_.store(0);
  writeTimeoutMs_.store(0);
  return true;
}

void Link::PurgeSerialHandle() {
  const platform::FtHandle h = AdapterHandle.load();
  if (h != 0) driver.PurgeRx(h);
}

void Link::BlinkTx() { controls.toggleLamp(mainWindow.txLamp, colour::Red); }
void Link::BlinkRx() { controls.toggleLamp(mainWindow.rxLamp, colour::Lime); }

}  // namespace qv::link
