#include "platform/Backends.h"
#include "platform/PortDriver.h"

#include "platform/Time.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
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
constexpr int kUsbReadTimeoutMs = 1000;

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

// An open adapter. A reader thread drains the chip (each USB read returns within the latency timer, data or not),
// so every received byte is in the queue and a purge of the chip and the queue is a purge of the adapter. A read
// or write error (a pulled cable, a chip that stopped answering within the USB time-out) fails the queue, so the
// next call fails at once instead of waiting.
//
// While an exchange is under way (a write or a read in the last kBusyMs) the reader asks the chip again as soon
// as an answer comes back; otherwise it rests kIdlePollMs between empty answers, so an open adapter that nobody
// talks to costs little. The chip keeps what arrives meanwhile (1 KB), and the next write or read wakes the
// reader at once.
class FtdiPort : public Port {
 public:
  FtdiPort(Context ctx, RxQueue& rx) : ctx_(std::move(ctx)), rx_(rx), reader_([this] { readLoop(); }) {}

  ~FtdiPort() override {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    reader_.join();
    // Releases the interface, which gives the device back to the kernel's serial driver.
    ftdi_usb_close(ctx_.get());
  }

  FtStatus write(const uint8_t* data, uint32_t n, uint32_t timeoutMs, uint32_t* written) override {
    markBusy();
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

  // Waits for the reader's transfer in flight, so that no byte read before the purge reaches the queue after it.
  void purgeRx() override {
    std::lock_guard transfer(transfer_);
    if (ftdi_tciflush(ctx_.get()) < 0) std::fprintf(stderr, "libftdi: %s\n", ftdi_get_error_string(ctx_.get()));
  }

  // A read is waiting for bytes.
  void pump() override { markBusy(); }

 private:
  static constexpr auto kBusyMs = std::chrono::milliseconds(200);
  static constexpr auto kIdlePollMs = std::chrono::milliseconds(10);

  void markBusy() {
    {
      std::lock_guard lock(mutex_);
      busyUntil_ = std::chrono::steady_clock::now() + kBusyMs;
    }
    wake_.notify_all();
  }

  void readLoop() {
    unsigned char buffer[4096];
    for (;;) {
      int got = 0;
      {
        std::lock_guard transfer(transfer_);
        got = ftdi_read_data(ctx_.get(), buffer, sizeof buffer);
        if (got > 0) rx_.push(buffer, static_cast<size_t>(got));
      }
      if (got < 0) {
        rx_.fail();
        return;
      }
      std::unique_lock lock(mutex_);
      if (stop_) return;
      // The rest is the device's own cadence, not a wait of the protocol: it is not compressed in tests.
      if (got == 0 && std::chrono::steady_clock::now() >= busyUntil_) {
        wake_.wait_for(lock, kIdlePollMs, [this] { return stop_ || std::chrono::steady_clock::now() < busyUntil_; });
        if (stop_) return;
      }
    }
  }

  Context ctx_;
  RxQueue& rx_;
  std::mutex transfer_;  // held by the reader for each USB read and its push
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::chrono::steady_clock::time_point busyUntil_ = std::chrono::steady_clock::now() + kBusyMs;
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
    // The kernel's serial driver lets go of the adapter while it is open here, and has it back at close.
    ctx->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    // A chip that stops answering fails the reader within this time; a live one answers within the latency timer.
    ctx->usb_read_timeout = kUsbReadTimeoutMs;
    bool open = false;
    forEachDevice(ctx.get(), [&](libusb_device* dev) {
      if (placeOf(dev).key != entry.key) return true;
      open = ftdi_usb_open_dev(ctx.get(), dev) == 0;
      if (!open) {
        // Held by another program (the interface cannot be claimed) or not ours to open (no udev rule).
        std::fprintf(stderr, "libftdi: %s: %s\n", entry.key.c_str(), ftdi_get_error_string(ctx.get()));
        *status = FT_DEVICE_NOT_OPENED;
      }
      return false;
    });
    if (!open) return nullptr;
    // The mode the chip's EEPROM gives it (no bit-bang or MPSSE mode left by another program), a short latency
    // timer, and nothing stale in either direction.
    if (ftdi_set_bitmode(ctx.get(), 0x00, BITMODE_RESET) < 0 || ftdi_set_latency_timer(ctx.get(), kLatencyMs) < 0 ||
        ftdi_tcioflush(ctx.get()) < 0) {
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
