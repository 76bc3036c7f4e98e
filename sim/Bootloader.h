#pragma once
// The pack's bootloader, behind the simulated UR2 (and UR96) pack's serial line. 0x4202 enters it; while it runs
// the application answers nothing and the bootloader takes every frame: 0x000B answers its version (a header
// and a data frame with major and minor), 0x4204 erases the flash, a 0x4003 field header (argument the line,
// p0 the field, value the length) and the data frame after it are stored and acknowledged with a header alone,
// 0x2003 (argument a record's load address, p0 its byte count) answers a header and a data frame whose byte 0
// is the XOR of that record's data as stored, and 0x4203 leaves it. The answers to 0x4202, 0x4203 and 0x4204
// are headers nobody reads.
//
// From the fields it received it rebuilds the image's text and the flash contents that text describes, so a
// test can hold them against the file's own. Its frames and its reading of the HEX text are its own.

#include <QByteArray>
#include <QList>

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace qv::sim {

struct BootloaderFaults {
  bool noVersion = false;                       // 0x000B gets no answer
  bool refuseErase = false;                     // 0x4204 is answered with status 1 and nothing is erased
  std::pair<int, int> neverAcknowledged{0, 0};  // this line and field is stored but never acknowledged
  bool wrongVerify = false;                     // every 0x2003 answer's checksum is off by one
  bool noVerifyAnswer = false;                  // 0x2003 gets no answer
};

class Bootloader {
 public:
  // Takes a 13-byte frame when it is the bootloader's (every frame while it runs, 0x4202 before); its answers,
  // each one frame, go to out. False: the frame is the application's.
  bool take(const QByteArray& frame, std::vector<QByteArray>* out);

  void setVersion(uint8_t major, uint8_t minor);
  void setFaults(const BootloaderFaults& faults);

  bool running() const;
  int erases() const;
  int leaves() const;  // 0x4203 received while running
  int dataFrames() const;
  // The image's text as the received fields put it together, line by line.
  QByteArray receivedText() const;
  // The flash from the lowest data address written to the highest, gaps zero, and that lowest address.
  QByteArray flash(uint32_t* base = nullptr) const;

 private:
  // One Intel HEX record of the received text.
  struct Record {
    uint16_t address = 0;
    int type = 0;
    QByteArray data;
  };
  static std::vector<Record> records(const QByteArray& text);
  QByteArray assembled() const;  // lock held

  mutable std::mutex mutex_;
  BootloaderFaults faults_;
  std::array<uint8_t, 2> version_{1, 5};
  bool running_ = false;
  bool erased_ = false;
  int erases_ = 0;
  int leaves_ = 0;
  int dataFrames_ = 0;
  bool fieldPending_ = false;
  int pendingLine_ = 0;
  int pendingField_ = 0;
  int pendingLength_ = 0;
  std::map<std::pair<int, int>, QByteArray> fields_;
  size_t lastVerified_ = 0;
  std::vector<Record> records_;  // of the text received, while recordsValid_
  bool recordsValid_ = false;
};

}  // namespace qv::sim
