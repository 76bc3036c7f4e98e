#pragma once
// The CAN messages among the frames a program wrote to the adapter, read back from their 19 bytes.

#include "support/Bytes.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace qv::test {

struct CanWritten {
  uint32_t id;
  int length;       // the length nibble
  QByteArray data;  // all eight data bytes
};

inline std::vector<CanWritten> canMessagesWritten(const std::vector<QByteArray>& frames) {
  std::vector<CanWritten> out;
  for (const QByteArray& f : frames) {
    if (f.size() != 19 || f.mid(0, 4) != hex("55 AA 04 01")) continue;
    const auto u8 = [&](int i) { return static_cast<uint8_t>(f[i]); };
    out.push_back(
        {uint32_t(u8(5) & 0x1F) << 24 | uint32_t(u8(6)) << 16 | uint32_t(u8(7)) << 8 | u8(8), u8(4) >> 4, f.mid(9, 8)});
  }
  return out;
}

}  // namespace qv::test
