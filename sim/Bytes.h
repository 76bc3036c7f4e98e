#pragma once
// How the simulator lays values and texts into what it sends: its own helpers, never the program's codecs.

#include <QByteArray>

#include <array>
#include <cstdint>

namespace qv::sim {

// The low `width` bytes of the value from `at`, the most significant first.
inline void putBigEndian(uint8_t* at, uint64_t value, int width) {
  for (int k = width - 1; k >= 0; --k, value >>= 8) at[k] = static_cast<uint8_t>(value);
}
inline void putBigEndian(QByteArray& bytes, int at, uint64_t value, int width) {
  putBigEndian(reinterpret_cast<uint8_t*>(bytes.data()) + at, value, width);
}
// The low `width` bytes of the value from `at`, the least significant first.
inline void putLittleEndian(uint8_t* at, uint64_t value, int width) {
  for (int k = 0; k < width; ++k, value >>= 8) at[k] = static_cast<uint8_t>(value);
}

// Eight bytes of the text from `offset`, zeros past its end.
inline std::array<uint8_t, 8> eightBytes(const QByteArray& text, int offset) {
  std::array<uint8_t, 8> out{};
  for (int i = 0; i < 8 && offset + i < text.size(); ++i) out[i] = static_cast<uint8_t>(text[offset + i]);
  return out;
}
// Replaces the text's bytes offset..offset+7, growing it with zeros up to there.
inline void setEightBytes(QByteArray& text, int offset, const uint8_t* data) {
  if (text.size() < offset + 8) text.resize(offset + 8, '\0');
  for (int i = 0; i < 8; ++i) text[offset + i] = static_cast<char>(data[i]);
}

}  // namespace qv::sim
