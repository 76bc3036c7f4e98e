#include "firmware/BootFrames.h"

#include "link/AdapterFrames.h"
#include "link/Link.h"
#include "link/PackMessages.h"

#include <algorithm>

namespace qv::firmware {
namespace {

// 0x0701 around one boot frame: 55 AA, type, L = 13, E = 13, the frame, CHK, 0D.
constexpr int kRequestSize = 23;
// 0x0702 around one frame from the bootloader: 55 AA, type, L = 13, the frame, CHK, 0D.
constexpr int kAnswerSize = 21;
constexpr auto kAnswerLead = link::UartReplyHead(kBootFrameSize);
// Reads one byte may take when the adapter delivers bytes that never make a frame (noise on the line).
constexpr int kReadsPerByte = 64;

BootFrame finish(BootFrame f) {
  f[0] = 0x40;
  f[1] = 0x00;
  uint8_t x = 0;
  for (int i = 0; i < 11; ++i) x ^= f[i];
  f[11] = x;
  f[12] = 0x0D;
  return f;
}

}  // namespace

BootFrame MakeBootCommandFrame(uint16_t command, uint16_t argument, const std::array<uint8_t, 3>& p, uint8_t value) {
  BootFrame f{};
  f[2] = kBootCommand;
  f[3] = static_cast<uint8_t>(command >> 8);
  f[4] = static_cast<uint8_t>(command);
  f[5] = static_cast<uint8_t>(argument >> 8);
  f[6] = static_cast<uint8_t>(argument);
  std::copy(p.begin(), p.end(), f.begin() + 7);
  f[10] = value;
  return finish(f);
}

BootFrame MakeBootDataFrame(const std::array<uint8_t, 8>& data) {
  BootFrame f{};
  f[2] = kBootData;
  std::copy(data.begin(), data.end(), f.begin() + kBootDataOffset);
  return finish(f);
}

bool AdapterBootPort::write(const BootFrame& frame) {
  constexpr auto kHead = link::UartRequestHead(kBootFrameSize, kBootFrameSize);
  std::array<uint8_t, kRequestSize> out{};
  std::copy(kHead.begin(), kHead.end(), out.begin());
  std::copy(frame.begin(), frame.end(), out.begin() + kHead.size());
  out[21] = link::FrameChecksum(out.data() + 2, 19);
  out[22] = link::kFrameEnd;
  uint32_t written = 0;
  return link::WriteAdapterBytes(link_, out.data(), kRequestSize, &written) && written == kRequestSize;
}

void AdapterBootPort::purge() {
  link_.PurgeSerialHandle();
  raw_.clear();
  frames_.clear();
}

// Takes every whole 0x0702 frame off the front of what arrived; a byte that cannot start one is dropped, so
// noise and a frame with a wrong CHK cost only themselves.
void AdapterBootPort::unwrap() {
  while (!raw_.isEmpty()) {
    const auto* b = reinterpret_cast<const uint8_t*>(raw_.constData());
    const qsizetype lead = std::min<qsizetype>(raw_.size(), static_cast<qsizetype>(kAnswerLead.size()));
    if (!std::equal(b, b + lead, kAnswerLead.begin())) {
      raw_.remove(0, 1);
      continue;
    }
    if (raw_.size() < kAnswerSize) return;
    if (b[20] == 0x0D && b[19] == link::FrameChecksum(b + 2, 17)) {
      frames_.insert(frames_.end(), b + 6, b + 6 + kBootFrameSize);
      raw_.remove(0, kAnswerSize);
    } else {
      raw_.remove(0, 1);
    }
  }
}

BootPort::Read AdapterBootPort::readByte(uint8_t* byte) {
  for (int reads = 0; frames_.empty(); ++reads) {
    if (reads == kReadsPerByte) return Read::Failed;
    std::array<uint8_t, kAnswerSize> buffer{};
    const auto wanted = static_cast<uint32_t>(kAnswerSize - std::min<qsizetype>(raw_.size(), kAnswerSize - 1));
    uint32_t got = 0;
    if (!link::ReadAdapterBytes(link_, buffer.data(), wanted, &got)) return Read::Failed;
    if (got == 0) return Read::Nothing;
    raw_.append(reinterpret_cast<const char*>(buffer.data()), std::min<uint32_t>(got, wanted));
    unwrap();
  }
  *byte = frames_.front();
  frames_.pop_front();
  return Read::Byte;
}

bool BootFrameReader::feed(uint8_t byte) {
  switch (state_) {
    case State::Waiting:
      if (byte == 0x40) {
        frame_ = {};
        frame_[0] = byte;
        have_ = 1;
        state_ = State::AfterAt;
      }
      return false;
    case State::AfterAt:
      if (byte == 0x00) {
        frame_[have_++] = byte;
        state_ = State::Collecting;
      } else {
        state_ = State::Waiting;
      }
      return false;
    case State::Collecting:
      if (have_ == kBootFrameSize - 1) {
        state_ = State::Waiting;
        if (byte != 0x0D) return false;
        frame_[have_++] = byte;
        return true;
      }
      frame_[have_++] = byte;
      return false;
  }
  return false;
}

bool ReadBootFrames(BootPort& port, const std::function<bool(const BootFrame&)>& onFrame) {
  BootFrameReader reader;
  for (int i = 0; i < kBootReaderReads; ++i) {
    uint8_t byte = 0;
    switch (port.readByte(&byte)) {
      case BootPort::Read::Nothing: return false;
      case BootPort::Read::Failed: continue;
      case BootPort::Read::Byte: break;
    }
    if (reader.feed(byte) && onFrame(reader.frame())) return true;
  }
  return false;
}

bool SendBootCommand(BootPort& port, uint16_t command, uint16_t argument, const std::array<uint8_t, 3>& p,
                     uint8_t value) {
  port.purge();
  return port.write(MakeBootCommandFrame(command, argument, p, value));
}

bool SendBootData(BootPort& port, const uint8_t* data, int length) {
  if (length < 0 || length > 8) return false;
  std::array<uint8_t, 8> bytes{};
  if (length > 0) std::copy(data, data + length, bytes.begin());
  return port.write(MakeBootDataFrame(bytes));
}

bool WaitBootAck(BootPort& port) {
  bool accepted = false;
  ReadBootFrames(port, [&accepted](const BootFrame& f) {
    accepted = bootKind(f) == kBootAnswerHeader && bootStatus(f) == 0;
    return true;
  });
  return accepted;
}

bool VerifyReply::WaitVerifyReply(BootPort& port) {
  return ReadBootFrames(port, [this](const BootFrame& f) {
    if (bootKind(f) == kBootAnswerHeader && bootStatus(f) == 0) {
      armed_ = true;
    } else if (bootKind(f) == kBootAnswerData && armed_) {
      checksum_ = f[kBootDataOffset];
      return true;
    }
    return false;
  });
}

void BootloaderReply::ReadBootloaderReply(BootPort& port) {
  ReadBootFrames(port, [this](const BootFrame& f) {
    if (bootKind(f) == kBootAnswerHeader) {
      header_ = f;
      haveHeader_ = true;
    } else if (bootKind(f) == kBootAnswerData && haveHeader_ && bootCommand(header_) == link::msg::kBootloaderVersion &&
               bootArgument(header_) == 0 && bootStatus(header_) == 0) {
      if (show_) show_(f[kBootDataOffset], f[kBootDataOffset + 1]);
    }
    return true;
  });
}

}  // namespace qv::firmware
