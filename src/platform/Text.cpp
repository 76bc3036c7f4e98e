#include "platform/Text.h"

#include <QList>
#include <QStringEncoder>

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

}  // namespace qv::platform
