#include "platform/Backends.h"
#include "platform/PortDriver.h"

#include "platform/Time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include <ftdi.h>
#include <libusb.h>

namespace qv::platform {
namespace {

constexpr int kVendor = 0x0403;
constexpr int kProduct = 0x6014;
// Milliseconds the chip holds a short reply before it sends it on; low, so a reply is not held back.
constexpr unsigned char kLatencyMs = 2;

using Context = std::unique_ptr<ftdi_context, decltype(&ftdi_free)>;

Context newContext() { return Context(ftdi_new(), &ftdi_free); }

// Where the device sits: its USB bus and port path. The key spells it out; the location id packs the bus into
// the top byte and the first six ports into a nibble each, so a re-plug into the same socket keeps both.
struct Place {
  std::string key;
  uint32_t locId = 0;
};

Place placeOf(libusb_device* dev) {
  uint8_t ports[7] = {};
  const int depth = libusb_get_port_numbers(dev, ports, sizeof ports);
  const uint8_t bus = libusb_get_bus_number(dev);
  Place p;
  p.key = "usb:" + std::to_string(bus) + "-";
  p.locId = static_cast<uint32_t>(bus) << 24;
  for (int i = 0; i < depth; ++i) {
    p.key += (i > 0 ? "." : "") + std::to_string(ports[i]);
    if (i < 6) p.locId |= static_cast<uint32_t>(ports[i] & 0x0F) << (20 - 4 * i);
  }
  return p;
}

// Calls fn for each FT232H on the bus, within one listing of ctx; fn returns false to stop.
void forEachDevice(ftdi_context* ctx, const std::function<bool(libusb_device*)>& fn) {
  ftdi_device_list* devices = nullptr;
  if (ftdi_usb_find_all(ctx, &devices, kVendor, kProduct) > 0) {
    for (ftdi_device_list* d = devices; d != nullptr; d = d->next) {
      if (!fn(d->dev)) break;
    }
  }
  ftdi_list_free(&devices);
}

// An open adapter. A reader thread drains the chip all the time (each read returns within the latency timer,
// data or not), so every received byte is in the queue and a purge of the queue is a purge of the adapter. A
// read or write error (a pulled cable) fails the queue.
class FtdiPort : public Port {
 public:
  FtdiPort(Context ctx, RxQueue& rx) : ctx_(std::move(ctx)), rx_(rx), reader_([this] { readLoop(); }) {}

  ~FtdiPort() override {
    stop_.store(true);
    reader_.join();
    ftdi_usb_close(ctx_.get());
  }

  FtStatus write(const uint8_t* data, uint32_t n, uint32_t timeoutMs, uint32_t* written) override {
    ctx_->usb_write_timeout = static_cast<int>(std::max<int64_t>(
        1, std::chrono::duration_cast<std::chrono::milliseconds>(scaled(timeoutMs)).count()));
    const int put = ftdi_write_data(ctx_.get(), data, static_cast<int>(n));
    if (put < 0) {
      rx_.fail();
      return FT_IO_ERROR;
    }
    *written = static_cast<uint32_t>(put);
    return FT_OK;
  }

 private:
  void readLoop() {
    unsigned char buffer[4096];
    while (!stop_.load()) {
      const int got = ftdi_read_data(ctx_.get(), buffer, sizeof buffer);
      if (got < 0) {
        rx_.fail();
        return;
      }
      rx_.push(buffer, static_cast<size_t>(got));
    }
  }

  Context ctx_;
  RxQueue& rx_;
  std::atomic<bool> stop_{false};
  std::thread reader_;  // last: it starts once everything it uses is there
};

class LibftdiDriver : public PortDriver {
 public:
  ~LibftdiDriver() override { closeAll(); }

 protected:
  std::vector<PortEntry> enumerate() override {
    std::vector<PortEntry> list;
    Context ctx = newContext();
    if (!ctx) return list;
    forEachDevice(ctx.get(), [&](libusb_device* dev) {
      const Place place = placeOf(dev);
      PortEntry e;
      e.key = place.key;
      e.record.flags = 2;  // high speed
      e.record.type = kDeviceTypeFt232h;
      e.record.id = kAcceptedDeviceId;
      e.record.locId = place.locId;
      // The texts are bounded by their fields; a device that will not tell them keeps them empty.
      char manufacturer[64];
      if (ftdi_usb_get_strings(ctx.get(), dev, manufacturer, sizeof manufacturer, e.record.description,
                               sizeof e.record.description, e.record.serialNumber,
                               sizeof e.record.serialNumber) < 0) {
        e.record.description[0] = '\0';
        e.record.serialNumber[0] = '\0';
      }
      list.push_back(e);
      return true;
    });
    return list;
  }

  std::unique_ptr<Port> openPort(const PortEntry& entry, RxQueue& rx, FtStatus* status) override {
    *status = FT_DEVICE_NOT_FOUND;
    Context ctx = newContext();
    if (!ctx) {
      *status = FT_INSUFFICIENT_RESOURCES;
      return nullptr;
    }
    bool open = false;
    forEachDevice(ctx.get(), [&](libusb_device* dev) {
      if (placeOf(dev).key != entry.key) return true;
      open = ftdi_usb_open_dev(ctx.get(), dev) == 0;
      if (!open) *status = FT_DEVICE_NOT_OPENED;
      return false;
    });
    if (!open) return nullptr;
    if (ftdi_set_latency_timer(ctx.get(), kLatencyMs) < 0 || ftdi_tciflush(ctx.get()) < 0) {
      std::fprintf(stderr, "libftdi: %s\n", ftdi_get_error_string(ctx.get()));
      ftdi_usb_close(ctx.get());
      *status = FT_IO_ERROR;
      return nullptr;
    }
    return std::make_unique<FtdiPort>(std::move(ctx), rx);
  }
};

}  // namespace

std::unique_ptr<Driver> makeLibftdiDriver() { return std::make_unique<LibftdiDriver>(); }

}  // namespace qv::platform
