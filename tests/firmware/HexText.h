#pragma once
// Intel HEX text for the firmware tests, written here from the record layout: ":", count, address, type, data,
// checksum (the two's complement of the sum of the bytes before it), CR LF.

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace qv::test {

inline QByteArray hexRecord(uint16_t address, uint8_t type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(-sum));
  QByteArray line(":");
  for (uint8_t b : bytes) line += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
  return line + "\r\n";
}

inline QByteArray hexEnd() { return hexRecord(0, 0x01, {}); }
inline QByteArray hexUpper(uint16_t upper) {
  return hexRecord(0, 0x04, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
}

// Data records of 16 bytes from address on, the byte at offset i being (seed + i * 7) mod 256.
inline QByteArray hexData(uint16_t address, int bytes, uint8_t seed, QByteArray* binary = nullptr) {
  QByteArray text;
  for (int at = 0; at < bytes; at += 16) {
    std::vector<uint8_t> data;
    for (int i = at; i < bytes && i < at + 16; ++i) data.push_back(static_cast<uint8_t>(seed + i * 7));
    if (binary) binary->append(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
    text += hexRecord(static_cast<uint16_t>(address + at), 0x00, data);
  }
  return text;
}

}  // namespace qv::test
