#include "platform/Text.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace qv::platform {

bool big5Available() {
  static const bool available = QStringEncoder("Big5").isValid();
  return available;
}

QByteArray big5Bytes(const QString& text) {
  QByteArray out;
  out.reserve(text.size() * 2);
  const bool big5 = big5Available();
  qsizetype i = 0;
  while (i < text.size()) {
    if (text[i].unicode() <= 0xFF) {
      out += static_cast<char>(text[i].unicode());
      ++i;
      continue;
    }
    // A run of characters outside the 8-bit range goes through the encoder at once, surrogate pairs whole.
    qsizetype end = i;
    while (end < text.size() && text[end].unicode() > 0xFF) ++end;
    const QStringView run = QStringView(text).sliced(i, end - i);
    if (big5) {
      QStringEncoder encoder("Big5");
      out += QByteArray(encoder.encode(run));
    } else {
      out += QByteArray(run.toUcs4().size(), '?');
    }
    i = end;
  }
  return out;
}

QByteArray big5BytesAtMost(const QString& text, qsizetype limit) {
  QByteArray bytes;
  for (qsizetype i = 0; i < text.size();) {
    // A surrogate pair is one character.
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QByteArray ch = big5Bytes(text.mid(i, n));
    if (bytes.size() + ch.size() > limit) break;
    bytes += ch;
    i += n;
  }
  return bytes;
}

namespace {

bool leadByte(uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool trailByte(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE); }

}  // namespace

QString big5Text(QByteArrayView bytes) {
  const bool plain = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  if (plain || !big5Available()) return QString::fromLatin1(bytes);
  QStringDecoder decoder("Big5");
  QStringEncoder encoder("Big5");
  QString text;
  text.reserve(bytes.size());
  qsizetype i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (i + 1 < bytes.size() && leadByte(b) && trailByte(static_cast<uint8_t>(bytes[i + 1]))) {
      // Only a pair that stands for one character of its own counts: a few Big5 codes read as Latin-1
      // characters or as a character that is written with another code, and those would not come back.
      const QByteArrayView pair = bytes.sliced(i, 2);
      decoder.resetState();
      const QString ch = decoder.decode(pair);
      encoder.resetState();
      if (ch.size() == 1 && ch[0].unicode() > 0xFF && ch[0] != QChar::ReplacementCharacter &&
          QByteArray(encoder.encode(ch)) == pair) {
        text += ch;
        i += 2;
        continue;
      }
    }
    text += QChar(char16_t{b});
    ++i;
  }
  return text;
}

}  // namespace qv::platform
