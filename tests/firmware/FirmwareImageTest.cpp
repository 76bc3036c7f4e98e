// The image as the upgrade reads it: its transfer fields, the verify pass's records and checksums, the check
// that refuses an image before anything is sent, the flash contents it describes, its digest and side file.

#include "HexText.h"
#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace qv {
namespace {

using namespace firmware;

std::vector<ImageField> fieldsOf(const QByteArray& image) {
  std::vector<ImageField> fields;
  ForEachImageField(image, [&](const ImageField& f) {
    fields.push_back(f);
    return true;
  });
  return fields;
}

TEST(FirmwareImage, HexDigitValueTakesUpperCaseDigitsOnly) {
  const struct {
    char c;
    int value;
  } cases[] = {{'0', 0}, {'1', 1}, {'9', 9}, {'A', 10}, {'F', 15}, {'a', 0}, {'f', 0}, {'G', 0}, {':', 0}, {'\r', 0}};
  for (const auto& c : cases) EXPECT_EQ(HexDigitValue(c.c), c.value) << c.c;
}

TEST(FirmwareImage, AFortyFiveByteLineIsSixFieldsAndTheNextLineStartsAtFieldOne) {
  const QByteArray line = test::hexRecord(0x1000, 0x00, std::vector<uint8_t>(16, 0xAB));
  ASSERT_EQ(line.size(), 45);
  const std::vector<ImageField> fields = fieldsOf(line + test::hexEnd());
  ASSERT_EQ(fields.size(), 6u + 2u);  // the end-of-file line's 13 bytes: eight, then five
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(fields[i].line, 1);
    EXPECT_EQ(fields[i].field, i + 1);
    EXPECT_EQ(fields[i].length, i < 5 ? 8 : 5);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(fields[i].bytes.data()), fields[i].length),
              line.mid(i * 8, fields[i].length));
  }
  EXPECT_EQ(fields[5].bytes[4], '\n');
  EXPECT_EQ(fields[5].bytes[5], 0);  // the data frame's bytes after the field are zeros
  EXPECT_EQ(fields[6].line, 2);
  EXPECT_EQ(fields[6].field, 1);
  EXPECT_EQ(fields[7].field, 2);
  EXPECT_EQ(CountImageFields(line + test::hexEnd()), 8);
}

TEST(FirmwareImage, ALastLineWithoutALineFeedIsCountedOnlyToItsLastFullField) {
  const QByteArray first = test::hexRecord(0x1000, 0x00, {1, 2, 3});  // 19 bytes: three fields
  const struct {
    QByteArray tail;
    int fields;
  } cases[] = {{"", 3}, {":000000", 3}, {":00000001", 4}, {":00000001FF", 4}, {":00000001FF\r\n", 5}};
  for (const auto& c : cases) EXPECT_EQ(CountImageFields(first + c.tail), c.fields) << c.tail.constData();
}

TEST(FirmwareImage, TheVerifyPassReadsEachRecordsDataChecksum) {
  const QByteArray image = test::hexUpper(0x0001) + test::hexRecord(0x1000, 0x00, {0x01, 0x02, 0x04}) +
                           ":0310080001ab04F2\r\n" + test::hexEnd();
  const std::vector<VerifyRecord> records = VerifyRecords(image);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].address, 0u);  // the extended address: below 0x1000, not verified
  EXPECT_EQ(records[0].type, 4u);
  EXPECT_EQ(records[1].address, 0x1000u);
  EXPECT_EQ(records[1].byteCount, 3u);
  EXPECT_EQ(records[1].checksum, 7);
  EXPECT_EQ(records[2].checksum, 0x01 ^ 0x04);  // "ab": lower-case digits count as 0
  EXPECT_EQ(records[3].type, 1u);
  EXPECT_EQ(records[3].address, 0u);
}

TEST(FirmwareImage, TheCheckNamesWhatIsWrongAndWhere) {
  const QByteArray good = test::hexRecord(0x1000, 0x00, {1, 2, 3});
  QByteArray badSum = good;
  badSum[badSum.size() - 3] = badSum[badSum.size() - 3] == '0' ? '1' : '0';
  const struct {
    const char* name;
    QByteArray image;
    const char* where;
  } cases[] = {
      {"empty", "", "Line 1: the image is empty"},
      {"no final line feed", good + ":00000001FF", "Line 2: no line feed at the end"},
      {"not a record", good + "junk\r\n" + test::hexEnd(), "Line 2: the line does not start"},
      {"blank line", good + "\r\n" + test::hexEnd(), "Line 2: the line does not start"},
      {"lower case", good.toLower() + test::hexEnd(), "Line 1: column"},
      {"too short", ":0000\r\n" + test::hexEnd(), "Line 1: a record is at least"},
      {"wrong length", ":04100000010203F5\r\n" + test::hexEnd(), "Line 1: 16 hex digits where the byte count 4"},
      {"record checksum", badSum + test::hexEnd(), "Line 1: record checksum wrong"},
      {"type 06", test::hexRecord(0x1000, 0x06, {}) + test::hexEnd(), "Line 1: record type 06 unknown"},
      {"extended address length", test::hexRecord(0, 0x04, {1}) + test::hexEnd(), "Line 1: a type 04 record"},
      {"no end-of-file record", good, "Line 1: no end-of-file record"},
      {"after end-of-file", test::hexEnd() + good, "Line 2: a record after the end-of-file record"},
  };
  for (const auto& c : cases) {
    const QString problem = CheckImage(c.image);
    EXPECT_TRUE(problem.startsWith("SYS: Image Check......failed.")) << c.name;
    EXPECT_TRUE(problem.contains(QLatin1String(c.where))) << c.name << ": " << problem.toStdString();
  }
  EXPECT_EQ(CheckImage(good + test::hexEnd()), QString());
  EXPECT_EQ(CheckImage(QByteArray(good).replace("\r\n", "\n") + ":00000001FF\n"), QString());
}

TEST(FirmwareImage, MoreThan65535LinesAreRefused) {
  const QByteArray record = test::hexRecord(0x1000, 0x00, {});
  QByteArray image = record.repeated(65534) + test::hexEnd();
  EXPECT_EQ(CheckImage(image), QString());
  image.prepend(record);
  EXPECT_TRUE(CheckImage(image).contains("Line 65536: more than 65535 lines"));
}

TEST(FirmwareImage, TheBinaryRunsFromTheLowestAddressToTheHighestWithGapsZero) {
  QByteArray low, high;
  const QByteArray image = test::hexUpper(0x0000) + test::hexData(0xFFF0, 16, 3, &low) + test::hexUpper(0x0001) +
                           test::hexData(0x0010, 20, 9, &high) + test::hexEnd();
  ASSERT_EQ(CheckImage(image), QString());
  const ImageBinary binary = ImageToBinary(image);
  EXPECT_EQ(binary.base, 0xFFF0u);
  // 16 bytes at 0xFFF0, a gap of 0x20 zero bytes (0x10000 to 0x1000F), 20 bytes at 0x10010.
  EXPECT_EQ(binary.bytes, low + QByteArray(16, '\0') + high);
}

// What objcopy -I ihex -O binary makes of these images (binutils 2.40, each run by hand): the last extended
// segment base (type 02) and the last extended linear base (type 04) are both added to a record's offset, in 32
// bits; a record's bytes run on past 0xFFFF (and past 4 GiB) unwrapped; a later record overwrites an earlier one;
// nothing after the end-of-file record counts.
TEST(FirmwareImage, TheBinaryIsWhatObjcopyMakesOfTheImage) {
  using test::hexRecord;
  const struct {
    const char* what;
    QByteArray image;
    uint32_t base;
    QByteArray bytes;
  } cases[] = {
      {"segment and linear base added", ":020000020010EC\n:020000040001F9\n:01000000AA55\n:00000001FF\n", 0x00010100u,
       QByteArray("\xAA")},
      {"each base kept until its own kind comes again",
       hexRecord(0, 0x04, {0x00, 0x02}) + hexRecord(0x0000, 0x00, {5}) + hexRecord(0, 0x02, {0x00, 0x01}) +
           hexRecord(0x0000, 0x00, {6}) + hexRecord(0, 0x04, {0x00, 0x00}) + hexRecord(0x0000, 0x00, {7}) +
           test::hexEnd(),
       0x10u, QByteArray("\x07") + QByteArray(0x20000 - 0x11, '\0') + "\x05" + QByteArray(0x10 - 1, '\0') + "\x06"},
      {"the sum wraps at 32 bits",
       hexRecord(0, 0x04, {0xFF, 0xFF}) + hexRecord(0, 0x02, {0xFF, 0xFF}) + hexRecord(0xFFFF, 0x00, {1, 2}) +
           test::hexEnd(),
       0x000FFFEFu, QByteArray("\x01\x02")},
      {"a record runs on past 4 GiB",
       hexRecord(0, 0x04, {0xFF, 0xFF}) + hexRecord(0xFFFF, 0x00, {1, 2, 3}) + test::hexEnd(), 0xFFFFFFFFu,
       QByteArray("\x01\x02\x03")},
      {"a later record overwrites",
       hexRecord(0x0011, 0x00, {9, 9}) + hexRecord(0x0010, 0x00, {1, 2, 3, 4}) + hexRecord(0x0012, 0x00, {8}) +
           test::hexEnd(),
       0x10u, QByteArray("\x01\x02\x08\x04")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(CheckImage(c.image), QString());
    const ImageBinary binary = ImageToBinary(c.image);
    EXPECT_EQ(binary.base, c.base);
    EXPECT_EQ(binary.bytes, c.bytes);
  }
  // Past the end-of-file record (an image the check refuses), objcopy reads nothing more.
  const QByteArray afterEnd = hexRecord(0x0000, 0x00, {1}) + test::hexEnd() + hexRecord(0x0004, 0x00, {2});
  EXPECT_EQ(ImageToBinary(afterEnd).bytes, QByteArray("\x01"));
}

TEST(FirmwareImage, DigestAndSideFile) {
  QTemporaryDir dir;
  const QString image = dir.filePath("firmware.hex");
  EXPECT_EQ(Md5SidePath(image), dir.filePath("firmware.md5"));
  EXPECT_EQ(ComputeImageMd5(ReadImageFile(image)), "<none>");
  EXPECT_EQ(ReadImageMd5File(image), "<none>");

  QFile f(image);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("abc");
  f.close();
  EXPECT_EQ(ComputeImageMd5(ReadImageFile(image)), "900150983CD24FB0D6963F7D28E17F72");

  const struct {
    QByteArray side;
    QString read;
    // clang-format off
  } cases[] = {{"900150983CD24FB0D6963F7D28E17F72  firmware.hex\n", "900150983CD24FB0D6963F7D28E17F72"},
               {"9001", "9001"},
               {QByteArray("9001\0" "50983C", 11), "9001"}};
  // clang-format on
  for (const auto& c : cases) {
    QFile md5(Md5SidePath(image));
    ASSERT_TRUE(md5.open(QIODevice::WriteOnly | QIODevice::Truncate));
    md5.write(c.side);
    md5.close();
    EXPECT_EQ(ReadImageMd5File(image), c.read);
  }
}

TEST(FirmwareImage, DigestsAgreeOnTheirFirstSixteenCharacters) {
  const QString digest = "900150983CD24FB0D6963F7D28E17F72";
  const struct {
    QString image, pattern;
    bool agree;
    // clang-format off
  } cases[] = {{digest, digest, true},
               {digest, digest.left(16) + "anything else", true},
               {digest, digest.left(15), false},
               {digest, digest.toLower(), false},
               {"<none>", "<none>", false},
               {"(null)", "(null)", false},
               {"<none>", digest, false}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(DigestsAgree(c.image, c.pattern), c.agree) << c.pattern.toStdString();
}

}  // namespace
}  // namespace qv
