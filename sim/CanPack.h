#pragma once
// A simulated pack on the CAN bus: it broadcasts its live values 0x400 to 0x403 (little-endian) at a set rate
// and answers the requests 0x440 (with their data 0x441) by an answer header 0x442 and, for reads, the answer
// data 0x443 (big-endian), built from its state. Writes change the state they name. It stays quiet until the
// PC first sends a message on the bus, so an adapter used on its serial side carries no CAN traffic.

#include "sim/SimAdapter.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace qv::sim {

struct CanPackState {
  // Live values of the broadcasts.
  uint16_t commandRegister = 0x0001;  // 0x400: CR word
  uint16_t statusRegister = 0x00CC;   // 0x400: ASR1 word
  uint32_t packVoltage = 42900;       // 0x401: mV
  int32_t packCurrent = -1500;        // 0x401: mA, negative discharging
  uint32_t rsoc = 80;                 // 0x402: relative state of charge, %
  uint32_t energy = 360000;           // 0x402: mWh at this state of charge
  uint16_t soh = 98;                  // 0x403: state of health, %
  uint32_t sohEnergy = 490000;        // 0x403: mWh at this state of health

  // Answers.
  QByteArray modelName = "QVX48-13S4P-A001";                   // 0x0001, indexes 1 and 2: 16 characters, zero-filled
  uint8_t fwMajor = 1, fwMinor = 12;                           // 0x0005
  uint8_t cellsInSeries = 13, cellsInParallel = 4;             // 0x0009 index 1
  uint16_t designVoltage = 46800;                              // 0x0009 index 4: mV
  uint16_t designCapacity = 10400;                             // 0x0009 index 5: mAh
  QByteArray barcode16 = "QV16BC2405070001";                   // 0x000A and 0x2008, indexes 1 and 2
  QByteArray barcode32 = "QV32BC24050700000000000000000001";   // 0x200A, indexes 1 to 4
  QByteArray eepBarcode = "QV32EEP2405070000000000000000001";  // 0x6207, indexes 1 to 4
  std::array<uint16_t, 13> cells{3300, 3301, 3302, 3303, 3304, 3305, 3306,
                                 3307, 3308, 3309, 3310, 3311, 3312};  // 0x1001, indexes 1 to 4: mV
  int8_t t1 = 25, t2 = 27;                                             // 0x1003: degrees Celsius
  uint32_t totalChargeCapacity = 123456;                               // 0x1004: mAh
  // 0x1005: year - 2000, month, day, hour, minute, second.
  std::array<uint8_t, 6> clock{24, 5, 7, 9, 5, 3};
  uint8_t protectionFlags = 0;     // 0x1007: data byte 0
  uint8_t protectionFlags2 = 0;    // 0x1007: data byte 1 (bit 0: short circuit)
  uint32_t cycleCount = 57;        // 0x1008
  uint32_t remainCapacity = 8320;  // 0x1009: mAh
  bool shippingMode = false;       // 0x200B: data byte 0 bit 0
  // 0x6502, index block * 256 + part: the 32-byte records of blocks 1 to 3, eight bytes per part.
  std::array<std::array<uint8_t, 32>, 3> records{};
  // 0x304: the configuration parameters by index; an index without a value gets no 0x404 answer.
  std::map<uint8_t, uint8_t> parameters;

  // The erases applied: 0x4101 (data 00) zeroes the total charge capacity; 0x4102 (data 00) the controller's
  // own EEPROM; 0x4103 (data 01) the external EEPROM, which holds the records above. Each counts here.
  int totalChargeErases = 0;
  int internalEepromErases = 0;
  int externalEepromErases = 0;
  // 0x4206 with its eight bytes FF: the deep sleeps taken. The pack still answers afterwards (the bus keeps it
  // awake in the simulation).
  int deepSleeps = 0;
};

// The keep-alive messages 0x300 the pack heard: when each came (program milliseconds) and how many carried
// something other than length 8 and 01 5A 00 5A 00 00 00 00.
struct CanKeepAlives {
  std::vector<int64_t> atMs;
  int malformed = 0;
};

// One request (command, index) singled out by a fault; an index of CanPack::kAnyIndex stands for every index.
struct CanPackRefusal {
  uint16_t command = 0;
  uint16_t index = 0;
  int times = -1;         // refusals left; -1: every time
  uint8_t status = 0x01;  // the status byte of the refusal
  bool withData = false;  // the read's data still follows the refusing header
};
struct CanPackLateAnswer {
  uint16_t command = 0;
  uint16_t index = 0;
  int64_t delayMs = 0;  // the answer goes out this long after the request
};

struct CanPackFaults {
  bool silent = false;  // answers nothing (the broadcasts go on)
  // Requests that get no answer; an index of kAnyIndex stands for every index of the command.
  std::vector<std::pair<uint16_t, uint16_t>> unanswered;
  // Requests answered with a status other than 0, their write not applied.
  std::vector<CanPackRefusal> refused;
  // Requests whose answer comes late: applied at once, answered later.
  std::vector<CanPackLateAnswer> late;
  uint8_t status = 0;  // the status byte of every answer header; not 0: the request is refused
  int burst = 1;       // each round of broadcasts goes out this many times: a busy bus
  // The bus is busy before the PC says anything: the broadcasts go out from the start, and rounds due while
  // nobody read come all the same (up to kMaxMadeUpRounds at once), as an adapter holds them.
  bool busyBus = false;
};

class CanPack : public CanNode {
 public:
  static constexpr uint16_t kAnyIndex = 0xFFFF;
  static constexpr int kMaxMadeUpRounds = 64;

  explicit CanPack(const CanPackState& state = {}, int64_t broadcastPeriodMs = 200);

  void receive(const CanFrame& frame, std::vector<CanFrame>& out) override;
  // One round of broadcasts when its period has passed, once the pack has been spoken to; rounds missed while
  // nobody looked are not made up. Late answers go out once they are due.
  void tick(int64_t nowMs, std::vector<CanFrame>& out) override;

  CanPackState state() const;
  void setState(const CanPackState& state);
  void setFaults(const CanPackFaults& faults);
  // Milliseconds between rounds of broadcasts; 0 or less: no broadcasts.
  void setBroadcastPeriod(int64_t ms);

  // Frames the pack has put on the bus so far, broadcasts and answers.
  int64_t framesSent() const;
  // The keep-alives heard so far.
  CanKeepAlives keepAlives() const;

 private:
  struct Request {
    uint16_t command = 0;
    uint16_t index = 0;
    uint8_t value = 0;  // data bytes awaited in a 0x441
  };

  void answer(const Request& request, const uint8_t* data, std::vector<CanFrame>& out);  // lock held
  // The eight bytes of the answer data of a read, or false when the pair is not one the pack reads.
  bool readValue(uint16_t command, uint16_t index, uint8_t out[8]) const;  // lock held
  // Applies a write; false when the pair is not one the pack takes.
  bool write(uint16_t command, uint16_t index, const uint8_t data[8]);  // lock held
  bool unanswered(const Request& request) const;                        // lock held
  // The refusal's status for the request, counting it down; 0 when the request is not refused.
  uint8_t refusal(const Request& request);                                     // lock held
  void answerParameter(const uint8_t request[8], std::vector<CanFrame>& out);  // lock held
  int64_t lateBy(const Request& request) const;                                // lock held
  void put(std::vector<CanFrame>& out, uint32_t id, const uint8_t data[8]);    // lock held

  mutable std::mutex mutex_;
  CanPackState state_;
  CanPackFaults faults_;
  int64_t periodMs_;
  int64_t nextRoundMs_ = 0;
  bool awake_ = false;    // a message has come over the bus
  bool pending_ = false;  // a request waits for its data message
  Request request_;
  int64_t sent_ = 0;
  CanKeepAlives keepAlives_;
  int64_t nowMs_ = 0;             // the time of the last tick
  int64_t lateByMs_ = 0;          // while an answer is put: how late it goes out
  bool refusedWithData_ = false;  // the refusal just counted sends the read's data all the same
  struct Delayed {
    int64_t dueMs;
    uint32_t id;
    std::array<uint8_t, 8> data;
  };
  std::vector<Delayed> delayed_;  // late answers, in the order they are due
};

}  // namespace qv::sim
