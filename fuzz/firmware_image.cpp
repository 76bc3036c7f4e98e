// The image as the upgrade reads it: its transfer fields, its field count, the check that must refuse every
// image that cannot be sent and verified whole, the verify pass's records and the flash they describe. Checked
// against a second reading of the same text: the fields put back together are the image up to its last field
// end; the count is one field per line feed plus one per eight bytes of each line; an image the check accepts
// is lines of ":" and upper-case hex pairs whose bytes sum to zero, ends with a line feed, and its records'
// checksums are the XOR of their data bytes as QByteArray::fromHex reads them.

#include "FuzzSupport.h"
#include "firmware/FirmwareImage.h"

#include <QByteArray>
#include <QList>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

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
    QV_FUZZ_CHECK(r.address == (static_cast<uint32_t>(static_cast<uint8_t>(bytes[1])) << 8 | static_cast<uint8_t>(bytes[2])));
    QV_FUZZ_CHECK(r.type == static_cast<uint8_t>(bytes[3]) && r.type <= 5);
  }
  firmware::ImageToBinary(image);
  return 0;
}
