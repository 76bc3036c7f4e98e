// The settings-file layer: reads over every shape of file, writes compared byte for byte, the file functions
// over a folder of their own, and bytes of any kind.

#include "platform/Ini.h"
#include "support/CurrentFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>

static void PrintTo(const QByteArray& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::platform {
namespace {

TEST(IniRead, CasesOfFiles) {
  struct Case {
    QByteArray file;
    const char* section;
    const char* key;
    const char* value;  // with the default "dflt"
  };
  const QByteArray longValue(600, 'v');
  const Case cases[] = {
      // clang-format off
      {"[Set]\r\nKey=1\r\n", "Set", "Key", "1"},
      {"[Set]\nKey=1\n", "Set", "Key", "1"},                         // LF lines
      {"[Set]\rKey=1\r", "Set", "Key", "1"},                         // lone CR lines
      {"[Set]\r\nKey=1", "Set", "Key", "1"},                         // no line end after the last line
      {"[sET]\r\nkEY=1\r\n", "Set", "Key", "1"},                     // names without regard to case
      {"[Set]\r\nKey=1\r\n", "SET", "KEY", "1"},
      {"  [ Set ]  \r\n \t Key \t = \t 1 2 \t \r\n", "Set", "Key", "1 2"},  // blanks around names and values
      {"[Set]\r\nKey=\"a b\"\r\n", "Set", "Key", "a b"},             // matching quotes removed
      {"[Set]\r\nKey='a b'\r\n", "Set", "Key", "a b"},
      {"[Set]\r\nKey=\" a \"\r\n", "Set", "Key", " a "},             // blanks inside the quotes stay
      {"[Set]\r\nKey=\"a b'\r\n", "Set", "Key", "\"a b'"},           // quotes that do not match stay
      {"[Set]\r\nKey=\"\r\n", "Set", "Key", "\""},
      {"[Set]\r\nKey=\"\"\r\n", "Set", "Key", ""},
      {"[Set]\r\nKey=1\r\nKey=2\r\n", "Set", "Key", "1"},            // the first key wins
      {"[Set]\r\nA=1\r\n[Set]\r\nKey=2\r\n", "Set", "Key", "2"},     // a section twice is searched in order
      {"[Set]\r\nKey=1\r\n[set]\r\nKey=2\r\n", "Set", "Key", "1"},
      {"[Other]\r\nKey=1\r\n", "Set", "Key", "dflt"},                // missing section
      {"[Set]\r\nOther=1\r\n", "Set", "Key", "dflt"},                // missing key
      {"Key=1\r\n[Set]\r\n", "Set", "Key", "dflt"},                  // a key before any section is no one's
      {"[Set]\r\n[Check]\r\nKey=1\r\n", "Set", "Key", "dflt"},       // the key of the next section
      {"[Set]\r\nKey\r\n", "Set", "Key", "dflt"},                    // a line without '=' is no key
      {"[Set]\r\nKey=\r\n", "Set", "Key", ""},                       // present and empty: empty, not the default
      {"[Set]\r\nKey=a=b\r\n", "Set", "Key", "a=b"},                 // the first '=' parts name and value
      {"[Set]\r\n;Key=1\r\n", "Set", "Key", "dflt"},
      {"[Set\r\nKey=1\r\n", "Set", "Key", "1"},                      // an unclosed section name runs to the end
      {"[Set] trailing\r\nKey=1\r\n", "Set", "Key", "1"},
      {"\xEF\xBB\xBF[Set]\r\nKey=1\r\n", "Set", "Key", "1"},         // a byte-order mark in front
      {QByteArray("[Set]\r\nKey=12\0xy\r\n", 18), "Set", "Key", "12"},  // a value ends at a zero byte
      {"", "Set", "Key", "dflt"},
      {"[Set]\r\nKey=\xA4\xA4\r\n", "Set", "Key", "\xA4\xA4"},       // 8-bit values byte for byte
      {"[Set]\r\nKey=" + longValue + "\r\n", "Set", "Key", nullptr},  // cut to 511, below
      // clang-format on
  };
  for (const Case& c : cases) {
    const QByteArray got = profileValue(c.file, c.section, c.key, "dflt");
    if (c.value != nullptr) {
      EXPECT_EQ(got, QByteArray(c.value)) << c.file.toStdString();
    } else {
      EXPECT_EQ(got, QByteArray(511, 'v'));
    }
  }
}

TEST(IniRead, DefaultLosesTrailingBlanksAndIsCutToTheBuffer) {
  EXPECT_EQ(profileValue("", "Set", "Key", " -1  \t"), QByteArray(" -1"));
  // A default ends at its zero byte, and the blanks before it are trailing blanks all the same.
  EXPECT_EQ(profileValue("", "Set", "Key", QByteArrayView("7 \0xyz", 6)), QByteArray("7"));
  EXPECT_EQ(profileValue("", "Set", "Key", QByteArray(600, 'd')), QByteArray(511, 'd'));
  EXPECT_EQ(profileValue("[Set]\nKey=abcdef\n", "Set", "Key", "", 4), QByteArray("abc"));
  EXPECT_EQ(profileValue("[Set]\nKey=abcdef\n", "Set", "Key", "", 0), QByteArray());
}

TEST(IniWrite, ChangesOneValueAndKeepsEveryOtherByte) {
  struct Case {
    const char* name;
    QByteArray before;
    QByteArray after;  // [Set] BarcodeModeENG := 1
  };
  const Case cases[] = {
      // clang-format off
      {"no file", "", "[Set]\r\nBarcodeModeENG=1\r\n"},
      {"value in place, CR LF", "[Set]\r\nA=x\r\nBarcodeModeENG=0\r\nB=y\r\n",
       "[Set]\r\nA=x\r\nBarcodeModeENG=1\r\nB=y\r\n"},
      {"value in place, LF", "[Set]\nBarcodeModeENG=0\n", "[Set]\nBarcodeModeENG=1\n"},
      {"blanks, case and comments kept", "; note\r\n [ set ] \r\n  barcodemodeeng  =  -1  \r\n",
       "; note\r\n [ set ] \r\n  barcodemodeeng  =  1  \r\n"},
      {"quoted value replaced whole", "[Set]\nBarcodeModeENG=\"0\"\n", "[Set]\nBarcodeModeENG=1\n"},
      {"empty value", "[Set]\nBarcodeModeENG=\nX=2\n", "[Set]\nBarcodeModeENG=1\nX=2\n"},
      {"first of two keys", "[Set]\nBarcodeModeENG=0\nBarcodeModeENG=0\n", "[Set]\nBarcodeModeENG=1\nBarcodeModeENG=0\n"},
      {"key in the second of two sections", "[Set]\nA=1\n[Set]\nBarcodeModeENG=0\n",
       "[Set]\nA=1\n[Set]\nBarcodeModeENG=1\n"},
      {"last line without a line end", "[Set]\r\nBarcodeModeENG=0", "[Set]\r\nBarcodeModeENG=1"},
      {"missing key: the section's last line", "[Set]\r\nA=1\r\n\r\n[Check]\r\nB=2\r\n",
       "[Set]\r\nA=1\r\nBarcodeModeENG=1\r\n\r\n[Check]\r\nB=2\r\n"},
      {"missing key in a section that is empty", "[Set]\n[Check]\n", "[Set]\nBarcodeModeENG=1\n[Check]\n"},
      {"missing key, section last without a line end", "[Set]\nA=1", "[Set]\nA=1\nBarcodeModeENG=1\n"},
      {"missing key, the first of two sections", "[Set]\nA=1\n[Set]\nB=2\n", "[Set]\nA=1\nBarcodeModeENG=1\n[Set]\nB=2\n"},
      {"missing section", "[Check]\nT1=20\n", "[Check]\nT1=20\n[Set]\nBarcodeModeENG=1\n"},
      {"missing section, no line end at the end", "[Check]\r\nT1=20", "[Check]\r\nT1=20\r\n[Set]\r\nBarcodeModeENG=1\r\n"},
      {"lone CR file", "[Check]\rT1=20\r", "[Check]\rT1=20\r[Set]\rBarcodeModeENG=1\r"},
      {"byte-order mark kept", "\xEF\xBB\xBF[Set]\r\nBarcodeModeENG=0\r\n", "\xEF\xBB\xBF[Set]\r\nBarcodeModeENG=1\r\n"},
      {"8-bit bytes elsewhere kept", "[Set]\n\xA4\xFF=\x01\nBarcodeModeENG=0\n", "[Set]\n\xA4\xFF=\x01\nBarcodeModeENG=1\n"},
      // clang-format on
  };
  for (const Case& c : cases) {
    const std::optional<QByteArray> after = withProfileValue(c.before, "Set", "BarcodeModeENG", "1");
    ASSERT_TRUE(after) << c.name;
    EXPECT_EQ(*after, c.after) << c.name;
    EXPECT_EQ(profileValue(*after, "Set", "BarcodeModeENG", "-1"), QByteArray("1")) << c.name;
  }
}

TEST(IniWrite, RefusesWhatCannotBeOneLine) {
  EXPECT_FALSE(withProfileValue("", "Set", "Key", "a\r\nb"));
  EXPECT_FALSE(withProfileValue("", "Set", "Key", QByteArray("a\0b", 3)));
  EXPECT_FALSE(withProfileValue("", "Se]t", "Key", "1"));
  EXPECT_FALSE(withProfileValue("", "Set", "K=y", "1"));
  EXPECT_FALSE(withProfileValue("", "Set", "[Key", "1"));
  EXPECT_FALSE(withProfileValue("", " ", "Key", "1"));
  EXPECT_FALSE(withProfileValue("", "Set", "", "1"));
}

TEST(IniFile, ReadsWritesAndCreatesInTheCurrentFolder) {
  test::ScopedCurrentFolder folder;
  ASSERT_TRUE(folder.entered());
  const QString path = currentFolderFile(QStringLiteral("SafeInfo.ini"));
  EXPECT_EQ(path, folder.path() + QStringLiteral("/SafeInfo.ini"));
  EXPECT_FALSE(fileExists(path));
  EXPECT_EQ(readProfileString(path, "SafeInfo", "Key", "none"), QByteArray("none"));

  ASSERT_TRUE(writeProfileString(path, "SafeInfo", "Key", "first"));
  EXPECT_TRUE(fileExists(path));
  ASSERT_TRUE(writeProfileString(path, "SafeInfo", "Key", "second"));
  EXPECT_EQ(readProfileFile(path), QByteArray("[SafeInfo]\r\nKey=second\r\n"));
  EXPECT_EQ(readProfileString(path, "safeinfo", "KEY", "none"), QByteArray("second"));

  // A file whose folder is missing is not made.
  EXPECT_FALSE(writeProfileString(currentFolderFile(QStringLiteral("none/EVT.ini")), "Set", "Key", "1"));
  EXPECT_FALSE(QFileInfo::exists(QStringLiteral("none")));

  // A folder where the file should be: no value, no write, nothing replaced.
  ASSERT_TRUE(QDir().mkdir(QStringLiteral("MTD.ini")));
  const QString folderPath = currentFolderFile(QStringLiteral("MTD.ini"));
  EXPECT_FALSE(fileExists(folderPath));
  EXPECT_EQ(readProfileString(folderPath, "Set", "CellR1", "0"), QByteArray("0"));
  EXPECT_FALSE(writeProfileString(folderPath, "Set", "CellR1", "5"));
  EXPECT_TRUE(QFileInfo(folderPath).isDir());
}

TEST(IniFile, AFolderThatCannotBeWrittenLeavesTheFileAsItWas) {
  test::ScopedCurrentFolder folder;
  ASSERT_TRUE(folder.entered());
  const QString path = currentFolderFile(QStringLiteral("EVT.ini"));
  ASSERT_TRUE(test::ScopedCurrentFolder::write(path, "[Set]\nBarcodeModeENG=0\n"));
  QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const bool writableAnyway = QFileInfo(folder.path()).isWritable();  // as root
  const bool written = writeProfileString(path, "Set", "BarcodeModeENG", "1");
  QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (writableAnyway) GTEST_SKIP() << "the folder stays writable for this user";
  EXPECT_FALSE(written);
  EXPECT_EQ(readProfileFile(path), QByteArray("[Set]\nBarcodeModeENG=0\n"));
}

TEST(IniInteger, SignedDecimalWithinThirtyTwoBits) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      // clang-format off
      {"0", 0},           {"-3", -3},          {"+7", 7},      {"007", 7},
      {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt}, {"-2147483649", std::nullopt}, {"99999999999", std::nullopt},
      {"", std::nullopt}, {"-", std::nullopt}, {"+", std::nullopt}, {"1 2", std::nullopt}, {" 1", std::nullopt},
      {"12a", std::nullopt}, {"0x10", std::nullopt}, {"$10", std::nullopt}, {"1.5", std::nullopt},
      {"--1", std::nullopt}, {"00000000000000000000001", 1},
      // clang-format on
  };
  for (const Case& c : cases) EXPECT_EQ(profileInteger(c.text), c.value) << c.text;
}

// Any bytes: a value or the default, never more than the buffer, and a write that reads back.
TEST(IniBytes, AnyBytesGiveAValueOrTheDefault) {
  std::mt19937 random(24);
  const char alphabet[] = "[]=\"' \t\r\n\0\xEF\xBB\xBFSsEeTtKkYy01";
  for (int round = 0; round < 2000; ++round) {
    QByteArray file;
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) {
      file += (random() % 4 == 0) ? static_cast<char>(random() % 256) : alphabet[random() % (sizeof alphabet - 1)];
    }
    const QByteArray value = profileValue(file, "Set", "Key", "dflt", 16);
    EXPECT_LE(value.size(), 15);
    EXPECT_FALSE(value.contains('\n') || value.contains('\r') || value.contains('\0'));

    const std::optional<QByteArray> after = withProfileValue(file, "Set", "Key", "written");
    ASSERT_TRUE(after);
    EXPECT_EQ(profileValue(*after, "Set", "Key", "dflt"), QByteArray("written")) << file.toHex().toStdString();
  }
}

}  // namespace
}  // namespace qv::platform
