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
// How long one USB transfer of the reader waits. A live chip answers within the latency timer, data or not, so
// a transfer that runs this long met a busy bus or a chip that stalled for a while: the reader asks again.
constexpr unsigned kUsbReadTimeoutMs = 1000;
constexpr int kReadChunk = 4096;  // a whole number of packets at either speed

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

// The key of a location id, for a device that is not on the bus to say where it was looked for.
std::string keyOf(uint32_t locId) {
  std::string key = "usb:" + std::to_string(locId >> 24) + "-";
  for (int i = 0; i < 6; ++i) {
    const uint32_t port = (locId >> (20 - 4 * i)) & 0x0F;
    if (port == 0) break;
    key += (i > 0 ? "." : "") + std::to_string(port);
  }
  return key;
}

// The one line on standard error for an adapter that cannot be used: where it is, and why.
void report(const std::string& key, const std::string& reason) {
  std::fprintf(stderr, "libftdi: %s: %s\n", key.c_str(), reason.c_str());
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

// What libusb says of a device libftdi could not open: libftdi's own texts do not tell a device held by another
// program from one that is gone, nor a missing permission from a failed open.
std::string libusbReason(libusb_device* dev) {
  libusb_device_handle* h = nullptr;
  int r = libusb_open(dev, &h);
  if (r == 0) {
    r = libusb_claim_interface(h, 0);
    if (r == 0) libusb_release_interface(h, 0);
    libusb_close(h);
  }
  return r == 0 ? std::string() : std::string(libusb_strerror(static_cast<libusb_error>(r)));
}

// One bulk transfer, waited for under a lock of ours. Several threads transfer at once (the reader, the writer),
// and libusb completes a transfer on whichever of them is handling its events at the time, handing the result over
// through a flag it sets and reads without a lock; the waiter here learns of the end under its own lock instead, so
// the order is plain to see (and to the thread sanitizer). The result is a libusb status; *done is how many bytes
// went, a time-out included.
int bulkTransfer(libusb_context* usb, libusb_device_handle* device, unsigned char endpoint, unsigned char* data,
                 int length, unsigned timeoutMs, int* done) {
  struct Wait {
    std::mutex mutex;
    bool finished = false;
    int flag = 0;  // libusb's own look at the end, while it handles events
  } wait;
  *done = 0;
  libusb_transfer* t = libusb_alloc_transfer(0);
  if (t == nullptr) return LIBUSB_ERROR_NO_MEM;
  libusb_fill_bulk_transfer(
      t, device, endpoint, data, length,
      [](libusb_transfer* ended) {
        auto* w = static_cast<Wait*>(ended->user_data);
        std::lock_guard lock(w->mutex);
        w->flag = 1;
        w->finished = true;
      },
      &wait, timeoutMs);
  int r = libusb_submit_transfer(t);
  if (r < 0) {
    libusb_free_transfer(t);
    return r;
  }
  for (bool cancelled = false;;) {
    {
      std::lock_guard lock(wait.mutex);
      if (wait.finished) break;
    }
    r = libusb_handle_events_completed(usb, &wait.flag);
    if (r < 0 && r != LIBUSB_ERROR_INTERRUPTED && !cancelled) {
      libusb_cancel_transfer(t);
      cancelled = true;
    }
  }
  *done = t->actual_length;
  switch (t->status) {
    case LIBUSB_TRANSFER_COMPLETED: r = 0; break;
    case LIBUSB_TRANSFER_TIMED_OUT: r = LIBUSB_ERROR_TIMEOUT; break;
    case LIBUSB_TRANSFER_STALL: r = LIBUSB_ERROR_PIPE; break;
    case LIBUSB_TRANSFER_NO_DEVICE: r = LIBUSB_ERROR_NO_DEVICE; break;
    case LIBUSB_TRANSFER_OVERFLOW: r = LIBUSB_ERROR_OVERFLOW; break;
    default: r = LIBUSB_ERROR_IO; break;
  }
  libusb_free_transfer(t);
  return r;
}

// An open adapter. A reader thread drains the chip with one USB transfer at a time (each returns within the latency
// timer, data or not), so every received byte is in the queue as soon as the chip sends it, and a purge of the chip
// and the queue is a purge of the adapter.
//
// The reader and the writer transfer through libusb itself, which may be called from several threads at once; the
// libftdi context is used by the open, the purges and the close alone, and a purge runs beside neither a read
// transfer nor a write. A read transfer that runs out of time is asked again; one that fails otherwise (the device
// is gone, mostly) fails the queue, so the next call fails at once instead of waiting, and standard error says why,
// once.
//
// While an exchange is under way (a write or a read in the last kBusyMs) the reader asks the chip again as soon
// as an answer comes back; otherwise it rests kIdlePollMs between empty answers, so an open adapter that nobody
// talks to costs little. The chip keeps what arrives meanwhile (1 KB), and the next write or read wakes the
// reader at once.
class FtdiPort : public Port {
 public:
  FtdiPort(Context ctx, std::string key, RxQueue& rx)
      : ctx_(std::move(ctx)), key_(std::move(key)), rx_(rx), reader_([this] { readLoop(); }) {}

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

  // A transfer that runs out of time is a short write, as the adapter's driver reports it.
  FtStatus write(const uint8_t* data, uint32_t n, uint32_t timeoutMs, uint32_t* written) override {
    markBusy();
    std::lock_guard writing(write_);
    if (purgeFailed_.exchange(false)) return FT_IO_ERROR;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(scaled(timeoutMs)).count();
    int put = 0;
    const int r = bulkTransfer(ctx_->usb_ctx, ctx_->usb_dev, static_cast<unsigned char>(ctx_->in_ep),
                               const_cast<uint8_t*>(data), static_cast<int>(n),
                               static_cast<unsigned>(std::max<int64_t>(1, ms)), &put);
    *written = static_cast<uint32_t>(std::max(0, put));
    if (r == 0 || r == LIBUSB_ERROR_TIMEOUT) return FT_OK;
    if (r == LIBUSB_ERROR_NO_DEVICE) gone(r);
    return FT_IO_ERROR;
  }

  // Waits for the reader's transfer in flight, so that no byte read before the purge reaches the queue after it.
  // A purge the chip refused leaves it holding what came before: the exchange that asked for it fails at its write
  // rather than read that.
  FtStatus purgeRx() override {
    {
      std::lock_guard lock(mutex_);
      ++purgesWaiting_;
    }
    std::lock_guard transfer(transfer_);
    {
      std::lock_guard lock(mutex_);
      --purgesWaiting_;
    }
    wake_.notify_all();
    std::lock_guard writing(write_);
    if (ftdi_tciflush(ctx_.get()) == 0) return FT_OK;
    purgeFailed_.store(true);
    return FT_IO_ERROR;
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

  // The queue fails, and standard error says why, once for the port whichever thread finds it.
  void gone(int libusbError) {
    if (!reported_.exchange(true)) report(key_, libusb_strerror(static_cast<libusb_error>(libusbError)));
    rx_.fail();
  }

  void readLoop() {
    unsigned char buffer[kReadChunk];
    const int packet = static_cast<int>(std::max(ctx_->max_packet_size, 64u));
    for (;;) {
      {
        // A purge waiting for the transfer in flight goes first: the reader would take the lock again at once.
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return purgesWaiting_ == 0 || stop_; });
        if (stop_) return;
      }
      int got = 0;
      int r = 0;
      {
        std::lock_guard transfer(transfer_);
        r = bulkTransfer(ctx_->usb_ctx, ctx_->usb_dev, static_cast<unsigned char>(ctx_->out_ep), buffer, kReadChunk,
                         kUsbReadTimeoutMs, &got);
        // Every packet starts with the chip's two modem-status bytes.
        int kept = 0;
        for (int at = 0; at < got; at += packet) {
          const int n = std::min(packet, got - at) - 2;
          if (n > 0) std::copy_n(buffer + at + 2, n, buffer + kept);
          kept += std::max(0, n);
        }
        if (kept > 0) rx_.push(buffer, static_cast<size_t>(kept));
        got = kept;
      }
      if (r != 0 && r != LIBUSB_ERROR_TIMEOUT && r != LIBUSB_ERROR_INTERRUPTED) {
        gone(r);
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
  const std::string key_;
  RxQueue& rx_;
  std::mutex transfer_;  // held by the reader for each USB transfer and its push
  std::mutex write_;     // held by a write's transfer
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  int purgesWaiting_ = 0;
  std::chrono::steady_clock::time_point busyUntil_ = std::chrono::steady_clock::now() + kBusyMs;
  std::atomic<bool> purgeFailed_{false};
  std::atomic<bool> reported_{false};
  std::thread reader_;  // last: it starts once everything it uses is there
};

class LibftdiDriver : public PortDriver {
 public:
  ~LibftdiDriver() override { closeAll(); }

  // An adapter gone since the scan is not opened either; standard error says where it was looked for.
  FtStatus OpenByLocation(uint32_t locId, FtHandle* handle) override {
    const FtStatus status = PortDriver::OpenByLocation(locId, handle);
    if (status == FT_DEVICE_NOT_FOUND) report(keyOf(locId), libusb_strerror(LIBUSB_ERROR_NO_DEVICE));
    return status;
  }

 protected:
  std::vector<PortEntry> enumerate() override {
    std::vector<PortEntry> list;
    Context ctx = newContext();
    if (!ctx) return list;
    forEachDevice(ctx.get(), [&](libusb_device* dev) {
      const Place place = placeOf(dev);
      PortEntry e;
      e.key = place.key;
      e.record.flags = libusb_get_device_speed(dev) >= LIBUSB_SPEED_HIGH ? 2 : 0;  // 2: high speed
      e.record.type = kDeviceTypeFt232h;
      e.record.id = kAcceptedDeviceId;
      e.record.locId = place.locId;
      // The texts are bounded by their fields; a device that will not tell them keeps them empty.
      char manufacturer[64];
      if (ftdi_usb_get_strings(ctx.get(), dev, manufacturer, sizeof manufacturer, e.record.description,
                               sizeof e.record.description, e.record.serialNumber, sizeof e.record.serialNumber) < 0) {
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
    bool open = false;
    forEachDevice(ctx.get(), [&](libusb_device* dev) {
      if (placeOf(dev).key != entry.key) return true;
      open = ftdi_usb_open_dev(ctx.get(), dev) == 0;
      if (!open) {
        // Held by another program (the interface cannot be claimed), not ours to open (no udev rule), gone.
        const std::string why = libusbReason(dev);
        report(entry.key, std::string(ftdi_get_error_string(ctx.get())) + (why.empty() ? "" : " (" + why + ")"));
        *status = FT_DEVICE_NOT_OPENED;
      }
      return false;
    });
    if (!open) return nullptr;  // not found: the open says so
    // The mode the chip's EEPROM gives it (no bit-bang or MPSSE mode left by another program), a short latency
    // timer, and nothing stale in either direction.
    if (ftdi_set_bitmode(ctx.get(), 0x00, BITMODE_RESET) < 0 || ftdi_set_latency_timer(ctx.get(), kLatencyMs) < 0 ||
        ftdi_tcioflush(ctx.get()) < 0) {
      report(entry.key, ftdi_get_error_string(ctx.get()));
      ftdi_usb_close(ctx.get());
      *status = FT_IO_ERROR;
      return nullptr;
    }
    return std::make_unique<FtdiPort>(std::move(ctx), entry.key, rx);
  }
};

}  // namespace

std::unique_ptr<Driver> makeLibftdiDriver() { return std::make_unique<LibftdiDriver>(); }

}  // namespace qv::platform
