#include "mainwindow/TextCoder64.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace qv::mainwindow {
namespace {

constexpr int kSymbolsPerLine = 76;
constexpr int kSkip = -1;

// The value of each byte as a symbol; kSkip for what is no symbol.
constexpr std::array<int, 256> symbolValues() {
  std::array<int, 256> values{};
  for (int& v : values) v = kSkip;
  for (int i = 0; i < 64; ++i) values[static_cast<uint8_t>(kText64Alphabet[i])] = i;
  values[static_cast<uint8_t>(' ')] = 0;
  return values;
}
constexpr std::array<int, 256> kValues = symbolValues();

// Every symbol of the alphabet stands for its own position only.
constexpr bool alphabetIsUnique() {
  for (int i = 0; i < 64; ++i) {
    if (kValues[static_cast<uint8_t>(kText64Alphabet[i])] != i || kText64Alphabet[i] == ' ') return false;
  }
  return true;
}
static_assert(alphabetIsUnique());

}  // namespace

int EncodeText64(QByteArray& out, QByteArrayView data, bool lineBreaks) {
  out.clear();
  const qsizetype groups = (data.size() + 2) / 3;
  out.reserve(groups * 4 + (lineBreaks ? (groups * 4 / kSymbolsPerLine) * 2 : 0));
  int symbols = 0;
  for (qsizetype at = 0; at < data.size(); at += 3) {
    const qsizetype n = std::min<qsizetype>(3, data.size() - at);
    const uint8_t b0 = static_cast<uint8_t>(data[at]);
    const uint8_t b1 = n > 1 ? static_cast<uint8_t>(data[at + 1]) : 0;
    const uint8_t b2 = n > 2 ? static_cast<uint8_t>(data[at + 2]) : 0;
    out.append(kText64Alphabet[b0 >> 2]);
    out.append(kText64Alphabet[((b0 & 3) << 4) | (b1 >> 4)]);
    out.append(n > 1 ? kText64Alphabet[((b1 & 15) << 2) | (b2 >> 6)] : ' ');
    out.append(n > 2 ? kText64Alphabet[b2 & 63] : ' ');
    symbols += 4;
    if (lineBreaks && symbols % kSymbolsPerLine == 0) out.append("\r\n");
  }
  return symbols;
}

int DecodeText64(QByteArrayView text, QByteArray& out) {
  out.clear();
  out.reserve(text.size() / 4 * 3 + 3);
  std::array<int, 4> v{};
  int k = 0;
  auto flush = [&](int count) {
    const uint8_t bytes[3] = {static_cast<uint8_t>(v[0] << 2 | v[1] >> 4), static_cast<uint8_t>(v[1] << 4 | v[2] >> 2),
                              static_cast<uint8_t>(v[2] << 6 | v[3])};
    out.append(reinterpret_cast<const char*>(bytes), count);
  };
  for (const char c : text) {
    if (c == '\0') break;
    const int value = kValues[static_cast<uint8_t>(c)];
    if (value == kSkip) continue;  // CR, LF and anything else outside the alphabet
    v[k++] = value;
    if (k == 4) {
      flush(3);
      v = {};
      k = 0;
    }
  }
  if (k > 1) flush(k - 1);
  return static_cast<int>(out.size());
}

}  // namespace qv::mainwindow
