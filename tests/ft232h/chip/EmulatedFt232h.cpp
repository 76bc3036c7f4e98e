#include "usbchip/EmulatedFt232h.h"

#include "platform/PortDriver.h"

// Qt's keyword "signals" is a macro, and GLib names a member so.
#undef signals
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace qv::test {
namespace {

using Clock = std::chrono::steady_clock;

// A test program that talks to the chip must run under umockdev's preload library, which routes /sys, /dev and
// the node's ioctls into the test bed. Started without it, the program starts itself again with it, before any
// test runs (an AddressSanitizer runtime then no longer comes first among the libraries, which it is told to
// allow).
__attribute__((constructor)) void runUnderUmockdev(int argc, char** argv, char** envp) {
  (void)argc;
  (void)envp;
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr) return;
  std::string value = "libumockdev-preload.so.0";
  if (preload != nullptr && *preload != '\0') value += std::string(":") + preload;
  setenv("LD_PRELOAD", value.c_str(), 1);
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string asanOptions = asan != nullptr ? std::string(asan) + ":" : std::string();
  setenv("ASAN_OPTIONS", (asanOptions + "verify_asan_link_order=0").c_str(), 1);
  execv("/proc/self/exe", argv);
  std::fprintf(stderr, "could not start again under umockdev's preload library: %s\n", std::strerror(errno));
}

constexpr int kVendor = 0x0403;
constexpr int kProduct = 0x6014;
constexpr size_t kReceiveBuffer = 1024;  // the chip's receive buffer towards the host
constexpr uint8_t kModemStatus = 0x01;   // the two bytes at the start of every IN packet
constexpr uint8_t kLineStatus = 0x60;

// The descriptors, as the chip holds them; wMaxPacketSize follows the speed.
std::vector<uint8_t> descriptors(int packetSize) {
  const auto lo = static_cast<uint8_t>(packetSize & 0xFF);
  const auto hi = static_cast<uint8_t>(packetSize >> 8);
  return {
      // clang-format off
      // device: USB 2.0, vendor-specific class, EP0 of 64 bytes, 0403:6014, bcdDevice 0x0900, strings 1 2 3
      18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x03, 0x04, 0x14, 0x60, 0x00, 0x09, 1, 2, 3, 1,
      // one configuration, bus powered, 90 mA
      9, 2, 32, 0, 1, 1, 0, 0x80, 45,
      // one interface, two endpoints, vendor-specific
      9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 2,
      // bulk IN 0x81 and bulk OUT 0x02
      7, 5, 0x81, 2, lo, hi, 0,
      7, 5, 0x02, 2, lo, hi, 0,
      // clang-format on
  };
}

std::vector<uint8_t> stringDescriptor(const std::string& text) {
  std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * text.size()), 3};
  for (char c : text) {
    d.push_back(static_cast<uint8_t>(c));
    d.push_back(0);
  }
  return d;
}

// One URB the host submitted and has not reaped yet.
struct Urb {
  UMockdevIoctlClient* client = nullptr;  // a reference is held while the URB is
  UMockdevIoctlData* urb = nullptr;       // the client's usbdevfs_urb, resolved
  UMockdevIoctlData* buffer = nullptr;    // its buffer, resolved (null for none)
  gulong address = 0;                     // the URB's address in the client, its identity for a discard
  int generation = 0;
  uint8_t type = 0;
  uint8_t endpoint = 0;
  int length = 0;
  std::vector<uint8_t> in;  // what goes back into the buffer (a control request's data, the IN packets)
  int status = 0;
  int actual = 0;
  bool carriedData = false;

  ~Urb() {
    if (buffer != nullptr) g_object_unref(buffer);
    if (urb != nullptr) g_object_unref(urb);
    if (client != nullptr) g_object_unref(client);
  }
};

struct Byte {
  uint8_t value;
  uint64_t burst;
};

}  // namespace
}  // namespace qv::test

// umockdev hands a new node's name to its worker thread through GLib's main context, whose locks are futexes the
// thread sanitizer does not see (neither library is instrumented): it reports umockdev freeing its copy of the name
// after GLib's worker duplicated it. Only that access, GLib's own string copy, is passed over.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "race:g_strdup\n"; }
#endif

namespace qv::test {
namespace {

// The test bed, one for the program: umockdev's teardown of a bed races the bed's own worker thread, so it is made
// at the first chip and kept until the program ends, its folder removed then; /sys and /dev are routed into it
// while a chip exists. Each node has one ioctl handler for good, routed to whichever chip has that node now.
class Bed {
 public:
  using Handler = std::function<void(UMockdevIoctlClient*)>;

  static Bed& get() {
    static Bed* bed = new Bed;  // never destroyed, see above
    return *bed;
  }

  UMockdevTestbed* testbed() const { return bed_; }
  const std::string& root() const { return root_; }

  // While no chip exists the preload library is told of no bed at all: a disabled bed still takes the ioctls of
  // every node under /dev (a pseudo-terminal's too).
  void acquire() {
    std::lock_guard lock(usersMutex_);
    if (users_++ == 0) setenv("UMOCKDEV_DIR", root_.c_str(), 1);
  }
  void release() {
    std::lock_guard lock(usersMutex_);
    if (--users_ == 0) unsetenv("UMOCKDEV_DIR");
  }

  // The node's ioctls go to the handler from now on (or to none, answered ENODEV). Returns once no call to the
  // handler it replaces is under way.
  void route(const std::string& node, Handler handler) {
    std::lock_guard lock(mutex_);
    if (attached_.insert(node).second) {
      UMockdevIoctlBase* base = umockdev_ioctl_base_new();
      g_signal_connect(base, "handle-ioctl", G_CALLBACK(onIoctl), new std::string(node));
      GError* error = nullptr;
      if (!umockdev_testbed_attach_ioctl(bed_, node.c_str(), base, &error)) {
        std::fprintf(stderr, "EmulatedFt232h: attaching the ioctl handler of %s: %s\n", node.c_str(), error->message);
        g_error_free(error);
      }
      g_object_unref(base);
    }
    routes_[node] = std::move(handler);
  }

 private:
  Bed() : bed_(umockdev_testbed_new()) {
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    root_ = root;
    g_free(root);
    unsetenv("UMOCKDEV_DIR");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(get().root_, ignored);
    });
  }

  static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer node) {
    Bed& bed = get();
    std::lock_guard lock(bed.mutex_);
    auto it = bed.routes_.find(*static_cast<const std::string*>(node));
    if (it == bed.routes_.end() || !it->second) {
      umockdev_ioctl_client_complete(client, -1, ENODEV);
    } else {
      it->second(client);
    }
    return TRUE;
  }

  UMockdevTestbed* bed_;
  std::string root_;
  std::mutex mutex_;  // the routes; held while a handler runs
  std::mutex usersMutex_;
  int users_ = 0;
  std::set<std::string> attached_;
  std::map<std::string, Handler> routes_;
};

}  // namespace

struct EmulatedFt232h::Impl {
  // One plugging-in of the chip: its device number, node, poll signal and ioctl handler.
  struct Plugged {
    int generation = 0;
    int devnum = 0;
    std::string syspath;
    std::string node;
    int signal = -1;  // the node is a FIFO: a full pipe is a node with nothing to reap, an empty one has
    bool signalled = false;
    bool gone = false;
  };

  Impl(std::shared_ptr<sim::SimAdapter> serialSide, Options opts) : serial(std::move(serialSide)), options(opts) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "libumockdev-preload") == nullptr) {
      std::fprintf(stderr, "EmulatedFt232h: not under umockdev's preload library; nothing will reach the chip\n");
    }
    Bed::get().acquire();
    packetSize = options.speedMbps >= 480 ? 512 : 64;
    addHubs();
    thread = std::thread([this] { run(); });
  }

  // The hubs the chip hangs from, so that its port path is whole: the root hub and one hub per port but the last.
  void addHubs() {
    std::vector<std::string> names{"usb" + std::to_string(options.bus)};
    std::string path = std::to_string(options.bus) + "-";
    size_t at = 0;
    for (size_t dot = options.ports.find('.'); dot != std::string::npos; dot = options.ports.find('.', at)) {
      path += options.ports.substr(at, dot - at);
      names.push_back(path);
      path += ".";
      at = dot + 1;
    }
    // A hub's device descriptor: class 9, the Linux Foundation's root hub id for the root, another for the rest.
    for (const std::string& name : names) {
      const bool rootHub = name.rfind("usb", 0) == 0;
      // clang-format off
      std::vector<uint8_t> d = {18, 1, 0x00, 0x02, 9, 0, 1, 64, rootHub ? uint8_t{0x6B} : uint8_t{0xE3},
                                rootHub ? uint8_t{0x1D} : uint8_t{0x05}, rootHub ? uint8_t{0x02} : uint8_t{0x08},
                                rootHub ? uint8_t{0x00} : uint8_t{0x06}, 0x00, 0x01, 0, 0, 0, 1,
                                9, 2, 25, 0, 1, 1, 0, 0xE0, 0, 9, 4, 0, 0, 1, 9, 0, 0, 0, 7, 5, 0x81, 3, 4, 0, 12};
      // clang-format on
      const int devnum = nextDevnum++;
      char node[64];
      std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", options.bus, devnum);
      const std::string bus = std::to_string(options.bus) + "\n";
      const std::string dev = std::to_string(devnum) + "\n";
      const std::string speed = std::to_string(options.speedMbps) + "\n";
      // clang-format off
      gchar* syspath = umockdev_testbed_add_device(
          bed, "usb", name.c_str(), nullptr, "busnum", bus.c_str(), "devnum", dev.c_str(), "speed", speed.c_str(),
          "bConfigurationValue", "1\n", nullptr, "DEVTYPE", "usb_device", "DEVNAME", node, nullptr);
      // clang-format on
      umockdev_testbed_set_attribute_binary(bed, syspath, "descriptors", d.data(), static_cast<gint>(d.size()));
      hubs.push_back(syspath);
      g_free(syspath);
    }
  }

  ~Impl() {
    std::vector<std::string> nodes;
    {
      std::lock_guard lock(mutex);
      for (auto& p : plugs) nodes.push_back(p->node);
    }
    for (const std::string& node : nodes) Bed::get().route(node, {});
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    wake.notify_all();
    thread.join();
    pull();
    {
      std::lock_guard lock(mutex);
      pending.clear();
      reapable.clear();
      for (auto& p : plugs) {
        if (p->signal >= 0) ::close(p->signal);
      }
      plugs.clear();
    }
    for (const std::string& hub : hubs) umockdev_testbed_remove_device(bed, hub.c_str());
    Bed::get().release();
  }

  // --- plugging ---------------------------------------------------------------------------------------------

  std::string sysname() const { return std::to_string(options.bus) + "-" + options.ports; }

  void plugIn() {
    std::unique_lock lock(mutex);
    if (current != nullptr && !current->gone) return;
    auto p = std::make_unique<Plugged>();
    p->generation = ++generations;
    p->devnum = nextDevnum++;
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", options.bus, p->devnum);
    p->node = node;

    // Power-up: nothing buffered, the EEPROM's settings.
    seenNow = Seen{};
    seenNow.kernelDriver = "ftdi_sio";
    fifo.clear();
    staged.clear();
    lastPacket = Clock::now();

    const std::string bus = std::to_string(options.bus) + "\n";
    const std::string dev = std::to_string(p->devnum) + "\n";
    const std::string speed = std::to_string(options.speedMbps) + "\n";
    char busText[8];
    char devText[8];
    std::snprintf(busText, sizeof busText, "%03d", options.bus);
    std::snprintf(devText, sizeof devText, "%03d", p->devnum);
    // clang-format off
    gchar* syspath = umockdev_testbed_add_device(
        bed, "usb", sysname().c_str(), nullptr,
        // attributes
        "busnum", bus.c_str(), "devnum", dev.c_str(), "speed", speed.c_str(), "bConfigurationValue", "1\n",
        "bNumConfigurations", "1\n", "idVendor", "0403\n", "idProduct", "6014\n", "bcdDevice", "0900\n",
        "manufacturer", "FTDI\n", "product", "Single RS232-HS\n", "serial", (options.serialNumber + "\n").c_str(),
        nullptr,
        // properties
        "DEVTYPE", "usb_device", "DEVNAME", node, "BUSNUM", busText, "DEVNUM", devText, "ID_VENDOR_ID", "0403",
        "ID_MODEL_ID", "6014", nullptr);
    // clang-format on
    p->syspath = syspath;
    g_free(syspath);
    std::vector<uint8_t> d = descriptors(packetSize);
    umockdev_testbed_set_attribute_binary(bed, p->syspath.c_str(), "descriptors", d.data(),
                                          static_cast<gint>(d.size()));

    // The node: a FIFO, so that a poll for POLLOUT (how libusb waits for a URB to reap) waits until there is one.
    const std::string folder = root + "/dev/bus/usb/" + busText;
    g_mkdir_with_parents(folder.c_str(), 0755);
    const std::string path = root + p->node;
    ::unlink(path.c_str());
    if (::mkfifo(path.c_str(), 0664) != 0) std::perror("EmulatedFt232h: mkfifo");
    if (readOnly) ::chmod(path.c_str(), 0444);
    p->signal = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (p->signal < 0) std::perror("EmulatedFt232h: opening the node's signal");
    fcntl(p->signal, F_SETPIPE_SZ, 4096);
    p->signalled = true;
    unsignal(*p);

    Plugged* plugged = p.get();
    current = plugged;
    plugs.push_back(std::move(p));
    serial->connect(&rx);
    connected = true;
    lock.unlock();
    Bed::get().route(plugged->node, [this, plugged](UMockdevIoctlClient* client) { handle(*plugged, client); });
    // No hotplug event: each listing of the backend is a libusb context of its own that reads sysfs afresh, and
    // the event would only reach libusb's own monitor thread through libudev, which (not instrumented) the thread
    // sanitizer sees racing itself.
  }

  void pull() {
    std::unique_lock lock(mutex);
    if (current == nullptr || current->gone) return;
    Plugged& p = *current;
    p.gone = true;
    // What is in flight ends as the host controller ends it for a device that left the bus.
    for (auto& u : pending) {
      u->status = -ESHUTDOWN;
      u->actual = 0;
      u->in.clear();
      reapable.push_back(std::move(u));
    }
    pending.clear();
    signal(p);  // and stays so: every later look at the node finds it gone at once
    serial->disconnect();
    connected = false;
    fifo.clear();
    staged.clear();
    seenNow.claimed = false;
    seenNow.kernelDriver.clear();
    const std::string syspath = p.syspath;
    const std::string path = root + p.node;
    lock.unlock();
    umockdev_testbed_remove_device(bed, syspath.c_str());
    ::unlink(path.c_str());
  }

  // --- the poll signal --------------------------------------------------------------------------------------

  static void signal(Plugged& p) {
    if (p.signalled) return;
    char sink[4096];
    while (::read(p.signal, sink, sizeof sink) > 0) {
    }
    p.signalled = true;
  }

  static void unsignal(Plugged& p) {
    if (!p.signalled || p.gone) return;
    static const char fill[4096] = {};
    while (::write(p.signal, fill, sizeof fill) > 0) {
    }
    p.signalled = false;
  }

  bool anyReapable(int generation) const {
    return std::any_of(reapable.begin(), reapable.end(),
                       [&](const std::unique_ptr<Urb>& u) { return u->generation == generation; });
  }

  void becameReapable(std::unique_ptr<Urb> u) {
    for (auto& p : plugs) {
      if (p->generation == u->generation) signal(*p);
    }
    reapable.push_back(std::move(u));
  }

  // --- the serial side --------------------------------------------------------------------------------------

  // What the serial side sent since the last look, as one burst, staged by the pacing.
  void takeFromSerial(Clock::time_point now) {
    const size_t n = rx.size();
    if (n == 0) return;
    std::vector<uint8_t> bytes(n);
    const size_t got = rx.take(bytes.data(), n, now, {}, std::chrono::nanoseconds(0));
    bytes.resize(got);
    if (bytes.empty()) return;
    const uint64_t burst = ++bursts;
    const size_t cut = pacing.cutAt > 0 ? static_cast<size_t>(pacing.cutAt) : bytes.size();
    auto at = now + std::chrono::microseconds(pacing.delayUs);
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i > 0) at += std::chrono::microseconds(pacing.bytePeriodUs);
      if (i == cut) at += std::chrono::microseconds(pacing.pauseUs);
      const bool rest = i >= cut;
      if (staged.empty() || staged.back().at != at || staged.back().burst != burst || staged.back().rest != rest) {
        staged.push_back({at, burst, rest, {}});
      }
      staged.back().bytes.push_back(bytes[i]);
    }
    wake.notify_all();
  }

  // The rest of a cut burst waits until its first piece has left for the host as well as for its time: a chip
  // thread held up past the pause must not hand both pieces to one transfer.
  bool restHeld() const {
    const Staged& next = staged.front();
    return next.rest && std::any_of(fifo.begin(), fifo.end(), [&](const Byte& b) { return b.burst == next.burst; });
  }

  void releaseStaged(Clock::time_point now) {
    while (!staged.empty() && staged.front().at <= now && !restHeld()) {
      for (uint8_t b : staged.front().bytes) {
        if (fifo.size() >= kReceiveBuffer) {
          ++seenNow.overruns;
          continue;
        }
        fifo.push_back({b, staged.front().burst});
      }
      staged.pop_front();
    }
  }

  // --- bulk IN ----------------------------------------------------------------------------------------------

  void appendPacket(Urb& u, size_t dataBytes) {
    u.in.push_back(kModemStatus);
    u.in.push_back(kLineStatus);
    for (size_t i = 0; i < dataBytes; ++i) {
      const Byte b = fifo.front();
      fifo.pop_front();
      u.in.push_back(b.value);
      u.carriedData = true;
      // A burst whose bytes went out in an earlier transfer and now in this one reached the host split.
      auto [it, fresh] = burstTransfer.try_emplace(b.burst, transfers + 1);
      if (!fresh && it->second != transfers + 1 && splitCounted.insert(b.burst).second) ++seenNow.splitAnswers;
    }
    lastPacket = Clock::now();
  }

  void completeIn(std::unique_ptr<Urb> u) {
    ++transfers;
    u->status = 0;
    u->actual = static_cast<int>(u->in.size());
    ++seenNow.inTransfers;
    if (u->carriedData) ++seenNow.dataTransfers;
    if (burstTransfer.size() > 256) burstTransfer.erase(burstTransfer.begin());
    becameReapable(std::move(u));
  }

  // The chip's answer to the IN tokens of the transfers waiting: full packets while the buffer has them, a short
  // one (the status bytes and what there is) once the latency timer has run out since the last packet.
  void serviceIn(Clock::time_point now) {
    const size_t payload = static_cast<size_t>(packetSize) - 2;
    while (!pending.empty() && !inStalled) {
      Urb& u = *pending.front();
      const auto room = [&] { return u.length - static_cast<int>(u.in.size()); };
      while (fifo.size() >= payload && room() >= packetSize) appendPacket(u, payload);
      const bool full = !u.in.empty() && room() < packetSize;
      if (!full) {
        if (now - lastPacket < std::chrono::milliseconds(seenNow.latencyMs)) return;  // more may come in time
        if (room() >= 2) appendPacket(u, std::min({fifo.size(), payload - 1, static_cast<size_t>(room() - 2)}));
      }
      std::unique_ptr<Urb> done = std::move(pending.front());
      pending.pop_front();
      completeIn(std::move(done));
    }
  }

  void run() {
    std::unique_lock lock(mutex);
    auto nextPump = Clock::now();
    while (!stop) {
      auto now = Clock::now();
      if (connected && seenNow.claimed && now >= nextPump) {
        serial->pump();  // the CAN node's broadcasts that are due
        nextPump = now + std::chrono::milliseconds(1);
      }
      takeFromSerial(now);
      releaseStaged(now);
      serviceIn(now);
      auto until = now + std::chrono::milliseconds(50);
      if (connected && seenNow.claimed) until = std::min(until, nextPump);
      if (!staged.empty() && !restHeld()) until = std::min(until, staged.front().at);
      if (!pending.empty() && !inStalled) {
        until = std::min(until, lastPacket + std::chrono::milliseconds(seenNow.latencyMs));
      }
      wake.wait_until(lock, until);
    }
  }

  // --- the ioctls -------------------------------------------------------------------------------------------

  static void finish(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
  }

  // The ioctl's argument, a pointer, resolved to n bytes of the client's memory (an owned reference).
  static UMockdevIoctlData* resolved(UMockdevIoctlClient* client, size_t n) {
    GError* error = nullptr;
    UMockdevIoctlData* d = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, n, &error);
    if (error != nullptr) {
      std::fprintf(stderr, "EmulatedFt232h: resolving an ioctl argument: %s\n", error->message);
      g_error_free(error);
      return nullptr;
    }
    return d;
  }

  void handle(Plugged& p, UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    std::unique_lock lock(mutex);
    if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
      reap(p, client, lock);
      return;
    }
    if (p.gone) {
      finish(client, -1, ENODEV);
      return;
    }
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* d = resolved(client, sizeof(uint32_t));
        if (d == nullptr) return finish(client, -1, EFAULT);
        const uint32_t caps = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                              USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        std::memcpy(d->data, &caps, sizeof caps);
        g_object_unref(d);
        return finish(client, 0, 0);
      }
      case USBDEVFS_GET_SPEED:
        return finish(client, options.speedMbps >= 480 ? 3 : 2, 0);  // USB_SPEED_HIGH, USB_SPEED_FULL
      case USBDEVFS_CONNECTINFO: {
        UMockdevIoctlData* d = resolved(client, sizeof(usbdevfs_connectinfo));
        if (d == nullptr) return finish(client, -1, EFAULT);
        usbdevfs_connectinfo info{static_cast<unsigned>(p.devnum), 0};
        std::memcpy(d->data, &info, sizeof info);
        g_object_unref(d);
        return finish(client, 0, 0);
      }
      case USBDEVFS_CLAIMINTERFACE:
      case USBDEVFS_DISCONNECT_CLAIM: {
        UMockdevIoctlData* d = resolved(client, sizeof(unsigned int));
        if (d == nullptr) return finish(client, -1, EFAULT);
        unsigned int iface = 0;
        std::memcpy(&iface, d->data, sizeof iface);
        g_object_unref(d);
        if (iface != 0) return finish(client, -1, EINVAL);
        if (held || seenNow.claimed) return finish(client, -1, EBUSY);
        if (request == USBDEVFS_CLAIMINTERFACE && !seenNow.kernelDriver.empty()) return finish(client, -1, EBUSY);
        seenNow.claimed = true;
        seenNow.kernelDriver = "usbfs";
        return finish(client, 0, 0);
      }
      case USBDEVFS_RELEASEINTERFACE:
        if (!seenNow.claimed) return finish(client, -1, EINVAL);
        seenNow.claimed = false;
        seenNow.kernelDriver.clear();
        return finish(client, 0, 0);
      case USBDEVFS_GETDRIVER: {
        UMockdevIoctlData* d = resolved(client, sizeof(usbdevfs_getdriver));
        if (d == nullptr) return finish(client, -1, EFAULT);
        const std::string driver = held ? std::string("usbfs") : seenNow.kernelDriver;
        if (driver.empty()) {
          g_object_unref(d);
          return finish(client, -1, ENODATA);
        }
        auto* g = reinterpret_cast<usbdevfs_getdriver*>(d->data);
        std::snprintf(g->driver, sizeof g->driver, "%s", driver.c_str());
        g_object_unref(d);
        return finish(client, 0, 0);
      }
      case USBDEVFS_IOCTL: {
        UMockdevIoctlData* d = resolved(client, sizeof(usbdevfs_ioctl));
        if (d == nullptr) return finish(client, -1, EFAULT);
        usbdevfs_ioctl command{};
        std::memcpy(&command, d->data, sizeof command);
        g_object_unref(d);
        if (command.ioctl_code == static_cast<int>(USBDEVFS_CONNECT)) {
          if (seenNow.claimed || held) return finish(client, -1, EBUSY);
          seenNow.kernelDriver = "ftdi_sio";
          return finish(client, 1, 0);
        }
        if (command.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT)) {
          if (seenNow.kernelDriver.empty() || seenNow.kernelDriver == "usbfs") return finish(client, -1, ENODATA);
          seenNow.kernelDriver.clear();
          return finish(client, 0, 0);
        }
        return finish(client, -1, ENOTTY);
      }
      case USBDEVFS_SETCONFIGURATION:
      case USBDEVFS_SETINTERFACE:
      case USBDEVFS_CLEAR_HALT:
      case USBDEVFS_RESETEP:
      case USBDEVFS_RESET: return finish(client, 0, 0);
      case USBDEVFS_SUBMITURB: return submit(p, client);
      case USBDEVFS_DISCARDURB: return discard(p, client);
      default: return finish(client, -1, ENOTTY);
    }
  }

  void submit(Plugged& p, UMockdevIoctlClient* client) {
    UMockdevIoctlData* d = resolved(client, sizeof(usbdevfs_urb));
    if (d == nullptr) return finish(client, -1, EFAULT);
    auto u = std::make_unique<Urb>();
    u->urb = d;
    u->client = UMOCKDEV_IOCTL_CLIENT(g_object_ref(client));
    u->address = d->client_addr;
    u->generation = p.generation;
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(d->data);
    u->type = urb->type;
    u->endpoint = urb->endpoint;
    u->length = urb->buffer_length;
    // A bulk IN buffer is not fetched: the reap writes into as much of it as the chip sent (mostly the two status
    // bytes), which saves umockdev two copies of the whole buffer on each transfer.
    const bool bulkIn = u->type == USBDEVFS_URB_TYPE_BULK && (u->endpoint & 0x80) != 0;
    if (u->length > 0 && !bulkIn) {
      GError* error = nullptr;
      u->buffer =
          umockdev_ioctl_data_resolve(d, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(u->length), &error);
      if (error != nullptr) {
        g_error_free(error);
        return finish(client, -1, EFAULT);
      }
    }
    if (u->type == USBDEVFS_URB_TYPE_CONTROL && u->endpoint == 0) {
      control(*u);
      becameReapable(std::move(u));
    } else if (u->type == USBDEVFS_URB_TYPE_BULK && u->endpoint == 0x02) {
      // Into the serial side at once: its answer is what the chip receives next.
      if (connected && u->buffer != nullptr) {
        uint32_t written = 0;
        serial->hostWrite(u->buffer->data, static_cast<uint32_t>(u->length), &written);
        takeFromSerial(Clock::now());
      }
      u->status = 0;
      u->actual = u->length;
      becameReapable(std::move(u));
    } else if (u->type == USBDEVFS_URB_TYPE_BULK && u->endpoint == 0x81) {
      pending.push_back(std::move(u));
      serviceIn(Clock::now());
      wake.notify_all();
    } else {
      return finish(client, -1, EINVAL);
    }
    finish(client, 0, 0);
  }

  void discard(Plugged&, UMockdevIoctlClient* client) {
    const gulong address = *reinterpret_cast<const gulong*>(umockdev_ioctl_client_get_arg(client)->data);
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      if ((*it)->address == address && (*it)->client == client) {
        std::unique_ptr<Urb> u = std::move(*it);
        pending.erase(it);
        ++seenNow.discards;
        u->status = -ENOENT;
        u->actual = 0;
        u->in.clear();
        becameReapable(std::move(u));
        return finish(client, 0, 0);
      }
    }
    finish(client, -1, EINVAL);
  }

  void reap(Plugged& p, UMockdevIoctlClient* client, std::unique_lock<std::mutex>& lock) {
    auto it = std::find_if(reapable.begin(), reapable.end(), [&](const std::unique_ptr<Urb>& u) {
      return u->client == client && u->generation == p.generation;
    });
    if (it == reapable.end()) {
      if (!anyReapable(p.generation)) unsignal(p);
      const int error = p.gone ? ENODEV : EAGAIN;
      lock.unlock();
      return finish(client, -1, error);
    }
    std::unique_ptr<Urb> u = std::move(*it);
    reapable.erase(it);
    if (!anyReapable(p.generation)) unsignal(p);
    lock.unlock();

    auto* urb = reinterpret_cast<usbdevfs_urb*>(u->urb->data);
    urb->status = u->status;
    urb->actual_length = u->actual;
    if (u->buffer == nullptr && !u->in.empty()) {
      GError* error = nullptr;
      u->buffer = umockdev_ioctl_data_resolve(u->urb, offsetof(usbdevfs_urb, buffer),
                                              std::min(u->in.size(), static_cast<size_t>(u->length)), &error);
      if (error != nullptr) g_error_free(error);
    }
    if (u->buffer != nullptr && !u->in.empty()) {
      const size_t n = std::min(u->in.size(), static_cast<size_t>(u->buffer->data_len));
      std::memcpy(u->buffer->data, u->in.data(), n);
    }
    UMockdevIoctlData* slot = resolved(client, sizeof(void*));
    if (slot == nullptr) return finish(client, -1, EFAULT);
    umockdev_ioctl_data_set_ptr(slot, 0, u->urb);
    g_object_unref(slot);
    finish(client, 0, 0);
  }

  // A control request on endpoint 0: the setup packet, then the data stage.
  void control(Urb& u) {
    u.status = 0;
    u.actual = 0;
    if (u.buffer == nullptr || u.length < 8) {
      u.status = -EPIPE;
      return;
    }
    const uint8_t* s = u.buffer->data;
    const uint8_t type = s[0];
    const uint8_t request = s[1];
    const int value = s[2] | s[3] << 8;
    const int length = std::min<int>(s[6] | s[7] << 8, u.length - 8);
    std::vector<uint8_t> reply;
    bool ok = true;
    if (type == 0x80 && request == 6) {  // GET_DESCRIPTOR
      const int kind = value >> 8;
      const int index = value & 0xFF;
      if (kind == 1 || kind == 2) {
        const std::vector<uint8_t> all = descriptors(packetSize);
        reply = kind == 1 ? std::vector<uint8_t>(all.begin(), all.begin() + 18)
                          : std::vector<uint8_t>(all.begin() + 18, all.end());
      } else if (kind == 3 && index == 0) {
        reply = {4, 3, 0x09, 0x04};
      } else if (kind == 3 && index <= 3) {
        static const char* const texts[] = {"", "FTDI", "Single RS232-HS"};
        reply = stringDescriptor(index == 3 ? options.serialNumber : texts[index]);
      } else {
        ok = false;
      }
    } else if (type == 0x40) {  // FTDI's vendor requests, host to chip
      switch (request) {
        case 0x00:  // reset, purges
          if (value == 0) {
            ++seenNow.resets;
            fifo.clear();
            staged.clear();
          } else if (purgesFail) {
            ok = false;
          } else if (value == 1) {
            ++seenNow.txPurges;
          } else if (value == 2) {
            ++seenNow.rxPurges;
            fifo.clear();
          } else {
            ok = false;
          }
          break;
        case 0x01: break;  // modem control (DTR, RTS)
        case 0x02: ++seenNow.flowControlRequests; break;
        case 0x03: ++seenNow.baudRequests; break;
        case 0x04: break;  // data bits, parity, stop bits
        case 0x06: break;  // event character
        case 0x07: break;  // error character
        case 0x09:
          seenNow.latencyMs = std::max(1, value & 0xFF);
          wake.notify_all();
          break;
        case 0x0B: seenNow.bitMode = value >> 8; break;
        default: ok = false;
      }
    } else if (type == 0xC0) {  // chip to host
      switch (request) {
        case 0x05:
          ++seenNow.modemStatusRequests;
          reply = {kModemStatus, kLineStatus};
          break;
        case 0x0A: reply = {static_cast<uint8_t>(seenNow.latencyMs)}; break;
        case 0x0C: reply = {0xFF}; break;        // the pins
        case 0x90: reply = {0xFF, 0xFF}; break;  // a blank EEPROM word
        default: ok = false;
      }
    } else {
      ok = false;
    }
    if (!ok) {
      u.status = -EPIPE;  // a stall
      return;
    }
    if ((type & 0x80) != 0) {
      reply.resize(std::min<size_t>(reply.size(), static_cast<size_t>(length)));
      u.in.assign(s, s + 8);
      u.in.insert(u.in.end(), reply.begin(), reply.end());
      u.actual = static_cast<int>(reply.size());
    } else {
      u.actual = length;
    }
  }

  struct Staged {
    Clock::time_point at;
    uint64_t burst;
    bool rest;  // the part of a cut burst after the cut
    std::vector<uint8_t> bytes;
  };

  std::shared_ptr<sim::SimAdapter> serial;
  Options options;
  UMockdevTestbed* const bed = Bed::get().testbed();
  const std::string root = Bed::get().root();
  int packetSize = 512;
  std::vector<std::string> hubs;  // their sysfs paths

  mutable std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  std::vector<std::unique_ptr<Plugged>> plugs;
  Plugged* current = nullptr;
  int generations = 0;
  int nextDevnum = 1;
  bool connected = false;
  bool held = false;
  bool readOnly = false;
  bool inStalled = false;
  bool purgesFail = false;
  Pacing pacing;
  Seen seenNow;
  platform::RxQueue rx;  // what the serial side sent, not yet looked at
  std::deque<Staged> staged;
  std::deque<Byte> fifo;
  Clock::time_point lastPacket = Clock::now();
  std::deque<std::unique_ptr<Urb>> pending;   // bulk IN transfers waiting for packets
  std::deque<std::unique_ptr<Urb>> reapable;  // done, for their clients to reap
  uint64_t bursts = 0;
  uint64_t transfers = 0;
  std::map<uint64_t, uint64_t> burstTransfer;  // a burst's first IN transfer
  std::set<uint64_t> splitCounted;
  std::thread thread;  // last: it starts once everything it uses is there
};

EmulatedFt232h::EmulatedFt232h(std::shared_ptr<sim::SimAdapter> serialSide)
    : EmulatedFt232h(std::move(serialSide), Options{}) {}

EmulatedFt232h::EmulatedFt232h(std::shared_ptr<sim::SimAdapter> serialSide, Options options)
    : serial_(serialSide), impl_(std::make_unique<Impl>(std::move(serialSide), std::move(options))) {
  impl_->plugIn();
}

EmulatedFt232h::~EmulatedFt232h() = default;

uint32_t EmulatedFt232h::locationId() const {
  uint32_t id = static_cast<uint32_t>(impl_->options.bus) << 24;
  int depth = 0;
  size_t at = 0;
  const std::string& ports = impl_->options.ports;
  while (at <= ports.size() && depth < 6) {
    const size_t dot = ports.find('.', at);
    const int port = std::stoi(ports.substr(at, dot == std::string::npos ? std::string::npos : dot - at));
    id |= static_cast<uint32_t>(port & 0x0F) << (20 - 4 * depth);
    ++depth;
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  return id;
}

std::string EmulatedFt232h::placeKey() const { return "usb:" + impl_->sysname(); }

std::string EmulatedFt232h::node() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->current != nullptr ? impl_->current->node : std::string();
}

void EmulatedFt232h::pull() { impl_->pull(); }
void EmulatedFt232h::plugIn() { impl_->plugIn(); }

void EmulatedFt232h::setHeldByAnotherProgram(bool held) {
  std::lock_guard lock(impl_->mutex);
  impl_->held = held;
}

void EmulatedFt232h::setNodeReadOnly(bool readOnly) {
  std::lock_guard lock(impl_->mutex);
  impl_->readOnly = readOnly;
  if (impl_->current != nullptr && !impl_->current->gone) {
    ::chmod((impl_->root + impl_->current->node).c_str(), readOnly ? 0444 : 0664);
  }
}

void EmulatedFt232h::setInStalled(bool stalled) {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->inStalled = stalled;
  }
  impl_->wake.notify_all();
}

void EmulatedFt232h::setPurgesFail(bool fail) {
  std::lock_guard lock(impl_->mutex);
  impl_->purgesFail = fail;
}

void EmulatedFt232h::setPacing(const Pacing& pacing) {
  std::lock_guard lock(impl_->mutex);
  impl_->pacing = pacing;
}

EmulatedFt232h::Seen EmulatedFt232h::seen() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->seenNow;
}

}  // namespace qv::test
