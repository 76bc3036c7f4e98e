// The image as the upgrade reads it: its transfer fields, its field count, the check that must refuse every
// image that cannot be sent and verified whole, the verify pass's records and the flash they describe. Checked
// against a second reading of the same text: the fields put back together are the image up to its last field
// end; the count is one field per line feed plus one per eight bytes of each line; an image the check accepts
// is lines of ":" and upper-case hex pairs whose bytes sum to zero, ends with a line feed, and its records'
// checksums are the XOR of their data bytes as QByteArray::fromHex reads them; and its binary is objcopy's
// layout of the records: each data record's bytes from the last type 04 base plus the last type 02 base plus
// its offset (32 bits), running on unwrapped, the later record's byte where two meet, zeros between, from the
// lowest byte to the highest (nothing beyond a span of 256 MiB).

#include "FuzzSupport.h"
#include "firmware/FirmwareImage.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <unordered_set>

using namespace qv;

namespace {

// An input that starts with "!" is an image whose records are made sound first: each line of ":" and upper-case
// hex digits gets the byte count its length gives and the checksum that holds, so that mutations reach images
// the check accepts.
QByteArray sealed(QByteArray text) {
  QList<QByteArray> lines = text.split('\n');
  for (QByteArray& line : lines) {
    const bool cr = line.endsWith('\r');
    if (cr) line.chop(1);
    bool hex = line.startsWith(':') && line.size() >= 11 && line.size() % 2 == 1;
    for (qsizetype k = 1; hex && k < line.size(); ++k) hex = QByteArray("0123456789ABCDEF").contains(line[k]);
    if (hex) {
      QByteArray bytes = QByteArray::fromHex(line.mid(1));
      bytes[0] = static_cast<char>(std::min<qsizetype>(bytes.size() - 5, 255));
      uint8_t sum = 0;
      for (qsizetype k = 0; k + 1 < bytes.size(); ++k) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(bytes[k]));
      bytes[bytes.size() - 1] = static_cast<char>(-sum);
      line = ':' + bytes.toHex().toUpper();
    }
    if (cr) line.append('\r');
  }
  return lines.join('\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  if (image.startsWith('!')) image = sealed(image.mid(1));

  QByteArray rebuilt;
  int fields = 0;
  firmware::ForEachImageField(image, [&](const firmware::ImageField& f) {
    QV_FUZZ_CHECK(f.length >= 1 && f.length <= 8);
    for (int i = f.length; i < 8; ++i) QV_FUZZ_CHECK(f.bytes[static_cast<size_t>(i)] == 0);
    rebuilt.append(reinterpret_cast<const char*>(f.bytes.data()), f.length);
    ++fields;
    return true;
  });
  QV_FUZZ_CHECK(image.startsWith(rebuilt));
  QV_FUZZ_CHECK(firmware::CountImageFields(image) == fields);

  const QList<QByteArray> lines = image.split('\n');
  int counted = 0;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const bool terminated = i + 1 < lines.size();
    const qsizetype length = lines[i].size() + (terminated ? 1 : 0);
    counted += static_cast<int>(terminated ? (length + 7) / 8 : length / 8);
  }
  QV_FUZZ_CHECK(counted == fields);

  const QString problem = firmware::CheckImage(image);
  if (!problem.isEmpty()) {
    QV_FUZZ_CHECK(problem.startsWith(QStringLiteral("SYS: Image Check......failed. <Line ")));
    return 0;
  }
  QV_FUZZ_CHECK(image.endsWith('\n') && rebuilt == image && fields >= 1);
  const std::vector<firmware::VerifyRecord> records = firmware::VerifyRecords(image);
  struct Placed {
    uint64_t at;
    QByteArray data;
  };
  std::vector<Placed> placed;
  uint32_t linearBase = 0, segmentBase = 0;
  QV_FUZZ_CHECK(records.size() == static_cast<size_t>(lines.size() - 1));
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
    QByteArray line = lines[i];
    if (line.endsWith('\r')) line.chop(1);
    QV_FUZZ_CHECK(line.startsWith(':') && line.size() % 2 == 1);
    for (qsizetype k = 1; k < line.size(); ++k) QV_FUZZ_CHECK(QByteArray("0123456789ABCDEF").contains(line[k]));
    const QByteArray bytes = QByteArray::fromHex(line.mid(1));
    uint8_t sum = 0;
    uint8_t x = 0;
    for (char c : bytes) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    QV_FUZZ_CHECK(sum == 0);
    const int count = static_cast<uint8_t>(bytes[0]);
    QV_FUZZ_CHECK(bytes.size() == count + 5);
    for (int k = 0; k < count; ++k) x ^= static_cast<uint8_t>(bytes[4 + k]);
    const firmware::VerifyRecord& r = records[static_cast<size_t>(i)];
    QV_FUZZ_CHECK(r.byteCount == static_cast<uint32_t>(count) && r.checksum == x);
    QV_FUZZ_CHECK(r.address ==
                  (static_cast<uint32_t>(static_cast<uint8_t>(bytes[1])) << 8 | static_cast<uint8_t>(bytes[2])));
    QV_FUZZ_CHECK(r.type == static_cast<uint8_t>(bytes[3]) && r.type <= 5);
    const uint32_t base16 = static_cast<uint32_t>(static_cast<uint8_t>(bytes[4]) << 8 | static_cast<uint8_t>(bytes[5]));
    if (r.type == 0 && count > 0)
      placed.push_back({uint64_t{static_cast<uint32_t>(linearBase + segmentBase + r.address)}, bytes.mid(4, count)});
    if (r.type == 2) segmentBase = base16 * 16;
    if (r.type == 4) linearBase = base16 * 65536;
  }

  const firmware::ImageBinary binary = firmware::ImageToBinary(image);
  if (placed.empty()) {
    QV_FUZZ_CHECK(binary.base == 0 && binary.bytes.isEmpty());
    return 0;
  }
  uint64_t lowest = UINT64_MAX, highest = 0;
  for (const Placed& p : placed) {
    lowest = std::min(lowest, p.at);
    highest = std::max(highest, p.at + static_cast<uint64_t>(p.data.size()) - 1);
  }
  QV_FUZZ_CHECK(binary.base == lowest);
  if (highest - lowest + 1 > 256u * 1024 * 1024) {
    QV_FUZZ_CHECK(binary.bytes.isEmpty());
    return 0;
  }
  QV_FUZZ_CHECK(static_cast<uint64_t>(binary.bytes.size()) == highest - lowest + 1);
  // From the last record back: the first word on a byte is the one that stands; every other byte is zero.
  std::unordered_set<uint64_t> written;
  qsizetype nonZero = 0;
  for (auto p = placed.rbegin(); p != placed.rend(); ++p) {
    for (qsizetype k = 0; k < p->data.size(); ++k) {
      const uint64_t at = p->at + static_cast<uint64_t>(k);
      if (!written.insert(at).second) continue;
      QV_FUZZ_CHECK(binary.bytes[static_cast<qsizetype>(at - lowest)] == p->data[k]);
      if (p->data[k] != 0) ++nonZero;
    }
  }
  QV_FUZZ_CHECK(binary.bytes.size() - binary.bytes.count('\0') == nonZero);
  return 0;
}
