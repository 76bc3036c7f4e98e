// The text coder: whatever text is given, the decoder gives what a reading of it as a stream of 6-bit symbols
// gives (four symbols make three bytes, a short last group of k symbols k - 1 bytes), and the input's own bytes
// encoded, with or without line breaks, decode to those bytes followed by zeros up to a multiple of three.

#include "FuzzSupport.h"
#include "mainwindow/TextCoder64.h"

#include <cstring>
#include <string>
#include <vector>

using namespace qv;

namespace {

// The symbol values of the text up to its first zero byte, found by searching the alphabet. CR, LF and any
// other byte outside it are no symbols; a space is the value 0.
std::vector<int> symbolsOf(const std::string& text) {
  std::vector<int> values;
  for (char c : text) {
    if (c == '\0') break;
    if (c == ' ') {
      values.push_back(0);
      continue;
    }
    const char* at = std::strchr(mainwindow::kText64Alphabet, c);
    if (at != nullptr) values.push_back(static_cast<int>(at - mainwindow::kText64Alphabet));
  }
  return values;
}

// The bytes of those symbols read as one bit stream, six bits a symbol, most significant first, every whole
// byte of it: k symbols of a short last group hold 6k bits, which is k - 1 whole bytes for k < 4.
std::string decodedOf(const std::vector<int>& values) {
  std::string out;
  uint32_t bits = 0;
  int held = 0;
  for (const int v : values) {
    bits = (bits << 6 | static_cast<uint32_t>(v)) & 0xFFFFFF;
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(static_cast<char>((bits >> held) & 0xFF));
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // A stale output buffer is replaced whole.
  QByteArray out("stale bytes");
  const int n = mainwindow::DecodeText64(QByteArrayView(data, static_cast<qsizetype>(size)), out);
  const std::string expected = decodedOf(symbolsOf(text));
  QV_FUZZ_CHECK(n == static_cast<int>(out.size()));
  QV_FUZZ_CHECK(out.toStdString() == expected);

  // The round trip, both ways of writing lines.
  const QByteArrayView bytes(data, static_cast<qsizetype>(size));
  for (const bool lineBreaks : {false, true}) {
    QByteArray encoded("stale text");
    const int symbols = mainwindow::EncodeText64(encoded, bytes, lineBreaks);
    const int groups = static_cast<int>((size + 2) / 3);
    QV_FUZZ_CHECK(symbols == groups * 4);
    QV_FUZZ_CHECK(encoded.size() == symbols + (lineBreaks ? symbols / 76 * 2 : 0));
    QV_FUZZ_CHECK(*(encoded.constData() + encoded.size()) == '\0');
    for (qsizetype i = 0; i < encoded.size(); ++i) {
      const char c = encoded[i];
      if (c == '\r' || c == '\n') {
        // A line break stands right after every 76th symbol and nowhere else.
        QV_FUZZ_CHECK(lineBreaks);
        const qsizetype line = i % 78;
        QV_FUZZ_CHECK((c == '\r' && line == 76) || (c == '\n' && line == 77));
      } else {
        QV_FUZZ_CHECK(c == ' ' || std::strchr(mainwindow::kText64Alphabet, c) != nullptr);
      }
    }
    QByteArray back;
    const int m = mainwindow::DecodeText64(encoded, back);
    QV_FUZZ_CHECK(m == groups * 3);
    QByteArray padded = bytes.toByteArray();
    padded.append(QByteArray(groups * 3 - static_cast<int>(size), '\0'));
    QV_FUZZ_CHECK(back == padded);
  }
  return 0;
}
