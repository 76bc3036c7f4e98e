#pragma once
// An FT232H below libusb, for tests of the real adapter path: real libftdi and real libusb talk to a usbdevfs node
// that umockdev fakes, and this class answers the node's ioctls as the chip does. Its serial side is a simulated
// adapter of sim/ with its pack behind it, so whatever runs over the simulated adapter runs over libftdi too.
//
// What the chip shows the host: device 0403:6014, bcdDevice 0x0900, one interface with bulk 0x81 IN and 0x02 OUT
// (512-byte packets at high speed, 64 at full speed), its string descriptors; FTDI's vendor requests (reset,
// purges, latency timer, bit mode, baud rate, flow control, modem status, ...); bulk OUT into the serial side;
// bulk IN with the two modem-status bytes at the start of every packet, full packets as soon as they are full and
// a short packet when the latency timer runs out, so an IN transfer with nothing to send ends after it with the
// status bytes alone. It can be pulled (the transfers in flight end with -ESHUTDOWN, later calls fail with ENODEV)
// and plugged in again at the same place, held by another program (its interface cannot be claimed: EBUSY), or
// be on a node its user may not open (EACCES; see support/OrdinaryUser.h for a test run as root).
//
// A test program that makes one runs under umockdev's preload library: linking this class makes the program
// start itself again under it when it was started without.

#include "sim/SimAdapter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv::test {

class EmulatedFt232h {
 public:
  struct Options {
    int bus = 1;
    std::string ports = "2";  // the port path below the root hub: "2", "1.4", ...
    int speedMbps = 480;      // 480 high speed, 12 full speed (a USB 1.1 hub)
    std::string serialNumber = "FT7QVX01";
  };

  // The chip plugged in, its serial side connected to the given simulated adapter.
  explicit EmulatedFt232h(std::shared_ptr<sim::SimAdapter> serialSide);
  EmulatedFt232h(std::shared_ptr<sim::SimAdapter> serialSide, Options options);
  ~EmulatedFt232h();
  EmulatedFt232h(const EmulatedFt232h&) = delete;
  EmulatedFt232h& operator=(const EmulatedFt232h&) = delete;

  sim::SimAdapter& serialSide() { return *serial_; }
  // The location id and the key the libftdi backend gives this place: bus in the top byte, a port a nibble.
  uint32_t locationId() const;
  std::string placeKey() const;  // "usb:1-2"
  // The node of the chip as plugged in now: /dev/bus/usb/BBB/DDD (its device number changes at each plug).
  std::string node() const;

  // The cable pulled: the chip leaves the bus.
  void pull();
  // Plugged into the same socket again: a new device number, the chip as at power-up.
  void plugIn();

  // Another program has claimed the interface: claims fail with EBUSY.
  void setHeldByAnotherProgram(bool held);
  // The node's mode lets its owner read it only, so an open for writing fails with EACCES (for a process without
  // the right to override file modes).
  void setNodeReadOnly(bool readOnly);
  // The chip stops sending IN packets (transfers run into their time-out) until set back.
  void setInStalled(bool stalled);
  // The purge requests are refused (the control transfer stalls).
  void setPurgesFail(bool fail);

  // How what the serial side sends reaches the chip's receive buffer: each burst (the answer to one write, a
  // round of broadcasts) starts delayUs after it was sent, its bytes bytePeriodUs apart (0: at once), and one
  // longer than cutAt bytes is cut after cutAt bytes, its rest pauseUs later and never before the first piece has
  // left for the host. Real microseconds: the serial line does not follow the program's time scale.
  struct Pacing {
    int delayUs = 0;
    int bytePeriodUs = 0;
    int cutAt = 0;
    int pauseUs = 0;
  };
  void setPacing(const Pacing& pacing);

  // What the host did to the chip.
  struct Seen {
    // clang-format off
    int latencyMs = 16;            // the latency timer as last set (16 at power-up)
    int bitMode = 0;               // the mode byte of the last bit-mode request (0: reset to the EEPROM's mode)
    int resets = 0;                // SIO resets
    int rxPurges = 0;              // purges of what the chip received for the host
    int txPurges = 0;              // purges of what the host sent and the chip had not passed on
    int baudRequests = 0;
    int flowControlRequests = 0;
    int modemStatusRequests = 0;
    bool claimed = false;          // the interface is claimed through usbfs
    std::string kernelDriver;      // the driver bound to the interface: "ftdi_sio", "usbfs" or ""
    int inTransfers = 0;           // IN transfers the chip ended
    int dataTransfers = 0;         // IN transfers that carried serial bytes
    int discards = 0;              // transfers the host gave up on (its time-out ran out)
    int splitAnswers = 0;          // bursts from the serial side that reached the host in more than one transfer
    int overruns = 0;              // bytes lost to a full receive buffer
    // clang-format on
  };
  Seen seen() const;

 private:
  struct Impl;
  std::shared_ptr<sim::SimAdapter> serial_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qv::test
