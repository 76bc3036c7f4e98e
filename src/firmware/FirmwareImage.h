#pragma once
// The firmware image: an Intel HEX text file, read once when the operator chooses it. Its digest, its field
// count, the transfer and the verify pass all work on those same bytes, so a file changed on disk between the
// choice and the upgrade is never sent half old, half new.
//
// The transfer sends the file's bytes as stored, in fields of up to eight bytes: a field ends after its eighth
// byte or at a line feed, which belongs to it. Lines count from 1, fields within a line from 1. Bytes after the
// last field end (a last line without a line feed) are neither counted nor sent, which is why CheckImage insists
// on the final line feed before anything is sent.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace qv::firmware {

// The image as read from its file.
struct LoadedImage {
  enum class State { NotOpened, ReadFailed, Read };
  State state = State::NotOpened;
  QString path;
  QByteArray bytes;
  bool usable() const { return state == State::Read; }
};

// Reads the whole file (at most kMaxImageBytes; a larger one counts as a failed read).
LoadedImage ReadImageFile(const QString& path);
// Far above the largest image that passes CheckImage (65535 lines of 523 bytes).
constexpr qint64 kMaxImageBytes = 64LL * 1024 * 1024;

// 1 to 9 for "1" to "9", 10 to 15 for "A" to "F", 0 for anything else (lower-case letters included).
int HexDigitValue(char c);

// One transfer field: line and field number, its bytes as stored (the rest of the eight zero) and its length.
struct ImageField {
  uint16_t line = 1;
  uint8_t field = 1;
  uint8_t length = 0;
  std::array<uint8_t, 8> bytes{};
};

// Hands every transfer field of the image to fn, in order; fn returns false to stop. The line and field numbers
// wrap as their 16 and 8 bits do: CheckImage keeps an image to be sent within them.
void ForEachImageField(const QByteArray& image, const std::function<bool(const ImageField&)>& fn);
int CountImageFields(const QByteArray& image);

// One record as the verify pass reads it at a line feed: the hex digits after the last ":" through
// HexDigitValue, and the XOR of its data bytes.
struct VerifyRecord {
  uint32_t address = 0;
  uint32_t byteCount = 0;
  uint32_t type = 0;
  uint8_t checksum = 0;
};
// Every line feed's record, in order (records below 0x1000 included; the caller skips them).
std::vector<VerifyRecord> VerifyRecords(const QByteArray& image);

// What is wrong with the image, as a memo line naming the line where it is; empty when the whole image can be
// sent and verified: every line ":" and upper-case hex digits of the length its byte count gives, each record's
// checksum holding, types 00 to 05, an end-of-file record as the last line, a line feed at the end, at most
// 65535 lines and 255 fields a line, at least one field.
QString CheckImage(const QByteArray& image);

// The flash contents the image describes, from its lowest data address to its highest, gaps filled with zeros
// (what "objcopy -I ihex -O binary" makes of it), with the lowest address. For an image CheckImage accepts.
// A data record lands at the last extended linear base (type 04) plus the last extended segment base (type 02)
// plus its offset, in 32 bits, and its bytes run on unwrapped (the bytes may thus reach past 4 GiB); a later
// record overwrites an earlier one. An image spanning more than 256 MiB gives its base and no bytes.
struct ImageBinary {
  uint32_t base = 0;
  QByteArray bytes;
};
ImageBinary ImageToBinary(const QByteArray& image);

// The digest text: 32 upper-case hex digits of the image's MD5; "<none>" when the image could not be opened,
// "(null)" when it was opened but could not be read.
QString ComputeImageMd5(const LoadedImage& image);
// The side file's path: the image's with its last three characters replaced by "md5".
QString Md5SidePath(const QString& imagePath);
// The side file's first 32 characters (fewer when it is shorter or holds a zero byte earlier); "<none>" when it
// cannot be opened.
QString ReadImageMd5File(const QString& imagePath);
// Whether the first 16 characters of both texts agree (case-sensitive); never when either is "<none>" or "(null)".
bool DigestsAgree(const QString& image, const QString& pattern);

}  // namespace qv::firmware
