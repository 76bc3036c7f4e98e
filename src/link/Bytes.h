#pragma once
// Values as the pack and the adapter lay them out: multi-byte numbers in either order, and the texts of
// fixed-width fields. Every decoder reads its fields through these.

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qv::link {

constexpr uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
constexpr uint32_t be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
constexpr uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
constexpr uint32_t le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The field's bytes as 8-bit characters up to its first zero byte, at most `width` of them.
inline QByteArray fieldText(const uint8_t* field, size_t width) {
  const auto* begin = reinterpret_cast<const char*>(field);
  return QByteArray(begin, static_cast<qsizetype>(std::find(begin, begin + width, '\0') - begin));
}

}  // namespace qv::link
