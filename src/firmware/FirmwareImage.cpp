#include "firmware/FirmwareImage.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>

#include <algorithm>
#include <map>

namespace qv::firmware {
namespace {

constexpr int kMaxLines = 65535;
constexpr int kMaxFieldsPerLine = 255;
// A binary spanning more than this is not what a pack's flash holds; it is not built.
constexpr qint64 kMaxBinarySpan = 256LL * 1024 * 1024;

bool isUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

uint8_t hexByte(const char* two) { return static_cast<uint8_t>(HexDigitValue(two[0]) << 4 | HexDigitValue(two[1])); }

QString failed(int line, const QString& what) {
  return QStringLiteral("SYS: Image Check......failed. <Line %1: %2>").arg(line).arg(what);
}

// The data bytes a record of the given type must carry; -1 for any number.
int requiredCount(int type) {
  switch (type) {
    case 0x01: return 0;
    case 0x02:
    case 0x04: return 2;
    case 0x03:
    case 0x05: return 4;
    default: return -1;
  }
}

// The record of one line without its line end, after the ":" check; empty when it is sound.
QString checkRecord(const QByteArray& line, int number, int* type) {
  const QByteArray digits = line.mid(1);
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (!isUpperHex(digits[i]))
      return failed(number, QStringLiteral("column %1 is not an upper-case hex digit").arg(i + 2));
  }
  if (digits.size() < 10) return failed(number, QStringLiteral("a record is at least 10 hex digits"));
  const int count = hexByte(digits.constData());
  if (digits.size() != 10 + 2 * count)
    return failed(number, QStringLiteral("%1 hex digits where the byte count %2 asks for %3")
                              .arg(digits.size())
                              .arg(count)
                              .arg(10 + 2 * count));
  uint8_t sum = 0;
  for (qsizetype i = 0; i < digits.size(); i += 2) sum = static_cast<uint8_t>(sum + hexByte(digits.constData() + i));
  if (sum != 0) return failed(number, QStringLiteral("record checksum wrong"));
  *type = hexByte(digits.constData() + 6);
  if (*type > 0x05) return failed(number, QStringLiteral("record type %1 unknown").arg(*type, 2, 16, QChar('0')));
  const int required = requiredCount(*type);
  if (required >= 0 && count != required)
    return failed(number,
                  QStringLiteral("a type %1 record holds %2 data bytes").arg(*type, 2, 16, QChar('0')).arg(required));
  return {};
}

}  // namespace

LoadedImage ReadImageFile(const QString& path) {
  LoadedImage image;
  image.path = path;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return image;
  image.state = LoadedImage::State::ReadFailed;
  if (file.size() > kMaxImageBytes) return image;
  QByteArray bytes = file.read(kMaxImageBytes + 1);
  if (file.error() != QFileDevice::NoError || bytes.size() > kMaxImageBytes) return image;
  image.bytes = std::move(bytes);
  image.state = LoadedImage::State::Read;
  return image;
}

int HexDigitValue(char c) {
  if (c >= '1' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

void ForEachImageField(const QByteArray& image, const std::function<bool(const ImageField&)>& fn) {
  ImageField field;
  for (const char c : image) {
    field.bytes[field.length++] = static_cast<uint8_t>(c);
    const bool lineFeed = c == '\n';
    if (!lineFeed && field.length < 8) continue;
    if (!fn(field)) return;
    if (lineFeed) {
      ++field.line;
      field.field = 1;
    } else {
      ++field.field;
    }
    field.length = 0;
    field.bytes.fill(0);
  }
}

int CountImageFields(const QByteArray& image) {
  int n = 0;
  ForEachImageField(image, [&n](const ImageField&) {
    ++n;
    return true;
  });
  return n;
}

std::vector<VerifyRecord> VerifyRecords(const QByteArray& image) {
  std::vector<VerifyRecord> records;
  VerifyRecord r;
  uint32_t position = 0;
  uint32_t dataCharacters = 0;
  uint8_t current = 0;
  for (const char c : image) {
    if (c == ':') {
      r = VerifyRecord{};
      position = 0;
      dataCharacters = 0;
      current = 0;
      continue;
    }
    if (c == '\n') {
      records.push_back(r);
      continue;
    }
    ++position;
    const uint32_t v = static_cast<uint32_t>(HexDigitValue(c));
    if (position <= 2) {
      r.byteCount = r.byteCount << 4 | v;
    } else if (position <= 6) {
      r.address = r.address << 4 | v;
    } else if (position <= 8) {
      r.type = r.type << 4 | v;
    } else if (dataCharacters < 2 * r.byteCount) {
      if (dataCharacters % 2 == 0) {
        current = static_cast<uint8_t>(v << 4);
      } else {
        current = static_cast<uint8_t>(current | v);
        r.checksum ^= current;
      }
      ++dataCharacters;
    }
  }
  return records;
}

QString CheckImage(const QByteArray& image) {
  if (image.isEmpty()) return failed(1, QStringLiteral("the image is empty"));
  const QList<QByteArray> lines = image.split('\n');
  // split leaves an empty piece after the final line feed; anything else there is a line without one.
  const int count = static_cast<int>(lines.size()) - 1;
  if (!lines.back().isEmpty()) return failed(count + 1, QStringLiteral("no line feed at the end of the image"));
  if (count > kMaxLines) return failed(kMaxLines + 1, QStringLiteral("more than %1 lines").arg(kMaxLines));
  bool endOfFile = false;
  for (int i = 0; i < count; ++i) {
    const int number = i + 1;
    if (endOfFile) return failed(number, QStringLiteral("a record after the end-of-file record"));
    QByteArray line = lines[i];
    if ((line.size() + 1 + 7) / 8 > kMaxFieldsPerLine)
      return failed(number, QStringLiteral("more than %1 fields").arg(kMaxFieldsPerLine));
    if (line.endsWith('\r')) line.chop(1);
    if (!line.startsWith(':')) return failed(number, QStringLiteral("the line does not start with \":\""));
    int type = 0;
    if (QString problem = checkRecord(line, number, &type); !problem.isEmpty()) return problem;
    endOfFile = type == 0x01;
  }
  if (!endOfFile) return failed(count, QStringLiteral("no end-of-file record"));
  return {};
}

ImageBinary ImageToBinary(const QByteArray& image) {
  // objcopy's reading: a data record lands at the last extended linear base (type 04) plus the last extended
  // segment base (type 02) plus its offset, summed in 32 bits; its bytes run on from there unwrapped, so the
  // map is keyed wider than an address; a later record overwrites an earlier one; the end-of-file record ends
  // the image.
  std::map<uint64_t, uint8_t> flash;
  uint32_t linear = 0;
  uint32_t segment = 0;
  for (QByteArray line : image.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    if (line.size() < 11 || line[0] != ':') continue;
    const char* d = line.constData() + 1;
    const int count = hexByte(d);
    if (line.size() < 11 + 2 * count) continue;
    const uint32_t address = static_cast<uint32_t>(hexByte(d + 2) << 8 | hexByte(d + 4));
    const int type = hexByte(d + 6);
    if (type == 0x00) {
      const uint64_t start = uint32_t{linear + segment + address};
      for (int i = 0; i < count; ++i) flash[start + static_cast<uint64_t>(i)] = hexByte(d + 8 + 2 * i);
    } else if (type == 0x01) {
      break;
    } else if (type == 0x02 && count == 2) {
      segment = static_cast<uint32_t>(hexByte(d + 8) << 8 | hexByte(d + 10)) << 4;
    } else if (type == 0x04 && count == 2) {
      linear = static_cast<uint32_t>(hexByte(d + 8) << 8 | hexByte(d + 10)) << 16;
    }
  }
  ImageBinary binary;
  if (flash.empty()) return binary;
  // The lowest address is a record's start, so it fits 32 bits.
  binary.base = static_cast<uint32_t>(flash.begin()->first);
  const uint64_t span = flash.rbegin()->first - binary.base + 1;
  if (span > static_cast<uint64_t>(kMaxBinarySpan)) return binary;
  binary.bytes = QByteArray(static_cast<qsizetype>(span), '\0');
  for (const auto& [at, byte] : flash) binary.bytes[static_cast<qsizetype>(at - binary.base)] = static_cast<char>(byte);
  return binary;
}

QString ComputeImageMd5(const LoadedImage& image) {
  switch (image.state) {
    case LoadedImage::State::NotOpened: return QStringLiteral("<none>");
    case LoadedImage::State::ReadFailed: return QStringLiteral("(null)");
    case LoadedImage::State::Read: break;
  }
  return QString::fromLatin1(QCryptographicHash::hash(image.bytes, QCryptographicHash::Md5).toHex().toUpper());
}

QString Md5SidePath(const QString& imagePath) {
  return imagePath.left(std::max<qsizetype>(0, imagePath.size() - 3)) + QStringLiteral("md5");
}

QString ReadImageMd5File(const QString& imagePath) {
  QFile file(Md5SidePath(imagePath));
  if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("<none>");
  QByteArray text = file.read(1024);
  if (const qsizetype zero = text.indexOf('\0'); zero >= 0) text.truncate(zero);
  return QString::fromLatin1(text.left(32));
}

bool DigestsAgree(const QString& image, const QString& pattern) {
  // Two texts that both say no digest could be taken agree on nothing.
  for (const QString& text : {image, pattern}) {
    if (text == QLatin1String("<none>") || text == QLatin1String("(null)")) return false;
  }
  return image.left(16) == pattern.left(16);
}

}  // namespace qv::firmware
