#pragma once
// The simulated adapter: it takes the bytes the PC writes, cuts them into adapter frames and answers as the
// real adapter does: a 0x0701 request is passed to the pack's serial line and the pack's answer comes back in
// 0x0702 frames; CAN frames go to the pack's CAN node, whose answers and broadcasts come back as CAN adapter
// frames; the bit-rate frames are answered by the adapter itself.
//
// Every encoder here is the simulator's own, written from the frame tables: nothing calls into the program's
// codecs, so a test over the simulator holds the program against a second reading of the same tables.

#include "platform/Driver.h"

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qv::platform {
class RxQueue;
}

namespace qv::sim {

// 0xFF minus the XOR of the bytes.
uint8_t checksum(const uint8_t* bytes, size_t n);
inline uint8_t checksum(const QByteArray& bytes) {
  return checksum(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
}
// A reply frame: 55 AA, type, L, payload, CHK, 0D.
QByteArray replyFrame(uint16_t type, const QByteArray& payload);

// What stands behind the adapter's serial line.
class SerialPack {
 public:
  virtual ~SerialPack() = default;
  // The adapter passed `payload` to the pack, asking for an answer of `expected` bytes. Each element of the
  // result is one answer that comes back in its own 0x0702 frame; an empty result is a pack that stays silent.
  virtual std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) = 0;
};

// One CAN message as it is on the bus.
struct CanFrame {
  uint32_t id = 0;     // 29-bit identifier
  bool ext = false;    // identifier bit 29 of the adapter frame
  bool flag = false;   // the message flag (0x40)
  uint8_t length = 8;  // the length nibble as sent (0..15)
  uint8_t data[8] = {};
};

// A CAN adapter frame for a message, and back; decodeCan is false when the check byte does not hold.
QByteArray encodeCan(const CanFrame& frame);
bool decodeCan(const uint8_t* frame19, CanFrame* out);

// What stands on the CAN bus behind the adapter.
class CanNode {
 public:
  virtual ~CanNode() = default;
  // A message the PC sent; answers go to out.
  virtual void receive(const CanFrame& frame, std::vector<CanFrame>& out) = 0;
  // Called as simulated time passes: the broadcasts due by nowMs (program time since the adapter was made).
  virtual void tick(int64_t nowMs, std::vector<CanFrame>& out) {
    (void)nowMs;
    (void)out;
  }
};

// What the test fixture behind the adapter does with its commands.
class Fixture {
 public:
  virtual ~Fixture() = default;
  // A 0x0118 measurement query of a channel: the payload of the 0x0119 answer, or empty for none.
  virtual QByteArray measure(uint16_t channel, uint16_t expected) = 0;
  // A 0x011A switch command.
  virtual void switchCommand(const QByteArray& payload) = 0;
};

// What becomes of one frame the adapter sends back (a 0x0702 reply or a CAN frame from the pack).
enum class Fate {
  Deliver,
  Lose,    // never comes
  Late,    // comes after the PC's next frame reached the adapter (the next request), before that one's answer
  Double,  // comes twice, back to back
  Split,   // its first half comes now, the rest late
};

// Faults on demand. They apply to what the adapter sends back.
struct Faults {
  bool silent = false;       // nothing comes back at all
  bool wrongChk = false;     // 0x0702 replies carry a wrong CHK
  int shortBy = 0;           // each 0x0702 reply loses this many bytes at its end
  QByteArray noiseBefore;    // stray bytes before each reply
  QByteArray leftover;       // stray bytes after each reply
  int canSplitAt = 0;        // CAN bytes come back in pieces of this size (0: whole), the whole pieces per read
  bool canBadCheck = false;  // CAN frames from the pack carry a wrong check byte
  int canLengthNibble = -1;  // CAN frames from the pack carry this length nibble (-1: as sent)
  int canCorruptEvery = 0;   // every n-th CAN frame from the pack has one byte changed (0: none), a byte
                             // further along each time, so its check byte or its 55 AA 04 01 no longer holds
  // Each frame sent back, numbered from 0 over the adapter's life, meets the fate this gives (none: delivered).
  // Applied after the faults above; a late frame that is still held when the next one is late keeps its place.
  std::function<Fate(int64_t number, const QByteArray& frame)> schedule;
};

class SimAdapter {
 public:
  explicit SimAdapter(const platform::AdapterListRecord& record);
  ~SimAdapter();

  const platform::AdapterListRecord& record() const { return record_; }
  bool accepted() const { return record_.id == platform::kAcceptedDeviceId; }

  void setPack(std::shared_ptr<SerialPack> pack);
  void setCanNode(std::shared_ptr<CanNode> node);
  void setFixture(std::shared_ptr<Fixture> fixture);
  std::shared_ptr<SerialPack> pack() const;
  std::shared_ptr<CanNode> canNode() const;

  void setFaults(const Faults& faults);
  Faults faults() const;

  // A pulled cable: the device leaves the list and every call on an open handle fails.
  void unplug();
  void replug();
  bool plugged() const;

  // The adapter's CAN bit rate, as the bit-rate frames set it (P byte: 0x10, 0x08 or 0x04; 0 unknown).
  uint8_t canRateByte() const;
  void setCanRateByte(uint8_t p);
  // Whether the adapter answers the bit-rate query at all.
  void setAnswersRateQuery(bool answers);

  // Every whole frame the PC wrote, in order, as written.
  std::vector<QByteArray> written() const;
  void clearWritten();

  // Puts bytes straight into what the PC will read (noise, a partial frame).
  void inject(const QByteArray& bytes);

  // Program milliseconds since the adapter was made.
  int64_t nowMs() const;

  // The port side, used by the simulated driver.
  void connect(platform::RxQueue* rx);
  void disconnect();
  platform::FtStatus hostWrite(const uint8_t* data, uint32_t n, uint32_t* written);
  void pump();

 private:
  void handleFrame(const QByteArray& frame);          // lock held
  void send(const QByteArray& bytes);                 // lock held
  void sendCan(const std::vector<CanFrame>& frames);  // lock held
  void flushPending();                                // lock held
  void deliver(const QByteArray& frame, bool can);    // lock held: the frame after its scheduled fate
  void releaseLate();                                 // lock held

  const platform::AdapterListRecord record_;
  mutable std::recursive_mutex mutex_;
  std::shared_ptr<SerialPack> pack_;
  std::shared_ptr<CanNode> can_;
  std::shared_ptr<Fixture> fixture_;
  Faults faults_;
  bool plugged_ = true;
  uint8_t rateByte_ = 0x08;
  bool answersRateQuery_ = true;
  // clang-format off
  QByteArray input_;                    // bytes written and not yet a whole frame
  std::vector<QByteArray> written_;
  QByteArray pendingCan_;               // CAN bytes held back to come in pieces
  int64_t canFramesOut_ = 0;            // CAN frames sent back, for canCorruptEvery
  int64_t scheduled_ = 0;               // frames sent back, for the schedule
  QByteArray late_;                     // bytes held until the PC's next frame
  // clang-format on
  platform::RxQueue* rx_ = nullptr;
  int64_t startMs_ = 0;
};

}  // namespace qv::sim
