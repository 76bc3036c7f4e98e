#pragma once
// The bootloader's frames and their reader.
//
// A boot frame has the 13-byte pack-frame layout: "@", 00, kind (1 command, 2 data, 3 answer header, 4 answer
// data), eight message bytes, the XOR of bytes 0 to 10, 0D. A command carries command and argument
// (big-endian), three parameter bytes and a value; an answer header the same with a status (0 = accepted) in
// place of the value; data frames carry eight bytes.
//
// The boot port is the one adapter handle: each boot frame goes out in its own 0x0701 adapter frame (L = 13,
// E = 13) and every frame the bootloader sends comes back in a 0x0702 frame (AdapterBootPort). The reader sees
// the frames' bytes one at a time, as a serial line would give them.
//
// The frame reader (WaitBootAck, VerifyReply::WaitVerifyReply, BootloaderReply::ReadBootloaderReply): up to
// 1024 one-byte reads; a read that delivers nothing ends it at once, a failed read uses up one of the 1024. "@"
// starts a frame, a 00 must follow (any other byte drops it, unexamined), and a 0D as the 13th byte completes
// it (another byte there drops it; a 0D earlier is data). The check byte is not verified and an answer's command
// and argument are not matched against the request.
//
// Nothing here takes the exchange lock: the upgrade holds it for its whole run.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>

#include <QByteArray>

namespace qv::link {
class Link;
}

namespace qv::firmware {

enum : uint8_t {
  kBootCommand = 1,
  kBootData = 2,
  kBootAnswerHeader = 3,
  kBootAnswerData = 4,
};

constexpr int kBootFrameSize = 13;
using BootFrame = std::array<uint8_t, kBootFrameSize>;

BootFrame MakeBootCommandFrame(uint16_t command, uint16_t argument, const std::array<uint8_t, 3>& p, uint8_t value);
BootFrame MakeBootDataFrame(const std::array<uint8_t, 8>& data);

inline uint8_t bootKind(const BootFrame& f) { return f[2]; }
inline uint16_t bootCommand(const BootFrame& f) { return static_cast<uint16_t>(f[3] << 8 | f[4]); }
inline uint16_t bootArgument(const BootFrame& f) { return static_cast<uint16_t>(f[5] << 8 | f[6]); }
inline uint8_t bootStatus(const BootFrame& f) { return f[10]; }
// The eight data bytes of a kind-2 or kind-4 frame start here.
constexpr int kBootDataOffset = 3;

// Where boot frames go and their answers come from.
class BootPort {
 public:
  enum class Read { Byte, Nothing, Failed };
  virtual ~BootPort() = default;
  // True when all 13 bytes went out.
  virtual bool write(const BootFrame& frame) = 0;
  // One byte of what the bootloader sent.
  virtual Read readByte(uint8_t* byte) = 0;
  // Drops everything received and not yet read.
  virtual void purge() = 0;
};

// The boot port over the adapter link (its open handle).
class AdapterBootPort : public BootPort {
 public:
  explicit AdapterBootPort(link::Link& link) : link_(link) {}
  bool write(const BootFrame& frame) override;
  Read readByte(uint8_t* byte) override;
  void purge() override;

 private:
  void unwrap();

  link::Link& link_;
  QByteArray raw_;              // adapter bytes not yet taken as a 0x0702 frame
  std::deque<uint8_t> frames_;  // pack-frame bytes out of 0x0702 frames, not yet read
};

// The reader's byte rules, one byte at a time.
class BootFrameReader {
 public:
  // True when this byte completed a frame (frame() holds it until the next byte).
  bool feed(uint8_t byte);
  const BootFrame& frame() const { return frame_; }

 private:
  enum class State { Waiting, AfterAt, Collecting };
  State state_ = State::Waiting;
  int have_ = 0;
  BootFrame frame_{};
};

// The reader over a port: onFrame gets each complete frame and ends the read by returning true. True when it did.
constexpr int kBootReaderReads = 1024;
bool ReadBootFrames(BootPort& port, const std::function<bool(const BootFrame&)>& onFrame);

// A command frame, after emptying what is pending, so that a late answer is never taken for this command's.
bool SendBootCommand(BootPort& port, uint16_t command, uint16_t argument, const std::array<uint8_t, 3>& p,
                     uint8_t value);
// A data frame with those bytes and zeros after them; false, nothing written, for more than eight.
bool SendBootData(BootPort& port, const uint8_t* data, int length);

// True when the first complete frame read is an accepted answer header.
bool WaitBootAck(BootPort& port);

// The verify answer: an accepted header arms it, a data frame while armed gives the device's checksum.
class VerifyReply {
 public:
  void disarm() { armed_ = false; }
  bool WaitVerifyReply(BootPort& port);
  uint8_t deviceChecksum() const { return checksum_; }

 private:
  bool armed_ = false;
  uint8_t checksum_ = 0;
};

// The version answer: the last header read is kept; a data frame after an accepted 0x000B header (argument 0)
// shows its bytes 0 and 1 as major and minor.
class BootloaderReply {
 public:
  using ShowVersion = std::function<void(uint8_t major, uint8_t minor)>;
  explicit BootloaderReply(ShowVersion show) : show_(std::move(show)) {}
  void ReadBootloaderReply(BootPort& port);

 private:
  ShowVersion show_;
  bool haveHeader_ = false;
  BootFrame header_{};
};

}  // namespace qv::firmware
