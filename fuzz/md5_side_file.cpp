// The MD5 side file beside an image: whatever the file holds, the image and the side file agree exactly when
// the file's first 16 bytes (up to a zero byte) are, as stored, the first 16 upper-case hex digits of the
// image's digest; a missing side file or an image not read agrees with nothing; the pattern read is the file's
// first 32 bytes up to a zero byte.

#include "FuzzSupport.h"
#include "firmware/FirmwareImage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

using namespace qv;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QV_FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QV_FUZZ_CHECK(f.write(bytes) == bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QTemporaryDir& folder = fuzz::scratchFolder();
  const QString imagePath = folder.filePath(QStringLiteral("firmware.hex"));
  const QString sidePath = folder.filePath(QStringLiteral("firmware.md5"));
  QFile::remove(imagePath);
  QFile::remove(sidePath);

  fuzz::Input in(data, size);
  const uint8_t how = in.u8();
  const std::vector<uint8_t> imageBytes = in.bytes(in.u8());
  const QByteArray image(reinterpret_cast<const char*>(imageBytes.data()), static_cast<qsizetype>(imageBytes.size()));
  const bool imageThere = (how & 0x01) == 0;
  if (imageThere) writeFile(imagePath, image);
  const QByteArray digest = QCryptographicHash::hash(image, QCryptographicHash::Md5).toHex().toUpper();

  // The side file: some of the digest's digits as they are, or lower-cased, or one of them changed, before
  // whatever else the input holds; or the input alone.
  QByteArray side;
  if ((how & 0x06) != 0) {
    side = digest.left(in.u8() % 33);
    if ((how & 0x08) != 0) side = side.toLower();
    if ((how & 0x10) != 0 && !side.isEmpty()) side[in.u8() % side.size()] ^= static_cast<char>(in.u8() | 1);
  }
  const std::vector<uint8_t> rest = in.rest();
  side.append(reinterpret_cast<const char*>(rest.data()), static_cast<qsizetype>(rest.size()));
  const bool sideThere = (how & 0x20) == 0;
  if (sideThere) writeFile(sidePath, side);

  // The image as read from its file now and then; the read sets aside room for the largest image, too slow to
  // take every time, so mostly as the read would have left it.
  firmware::LoadedImage loaded;
  if ((how & 0xC0) == 0xC0 && (!imageThere || how == 0xC0)) {
    loaded = firmware::ReadImageFile(imagePath);
  } else if (imageThere) {
    loaded = firmware::LoadedImage{firmware::LoadedImage::State::Read, imagePath, image};
  }
  QV_FUZZ_CHECK(loaded.usable() == imageThere);
  const QString imageDigest = firmware::ComputeImageMd5(loaded);
  QV_FUZZ_CHECK(imageDigest == (imageThere ? QString::fromLatin1(digest) : QStringLiteral("<none>")));
  const QString pattern = firmware::ReadImageMd5File(imagePath);

  // The second reading of the side file, byte by byte.
  std::string stored;
  for (char c : side) {
    if (c == '\0') break;
    stored.push_back(c);
  }
  if (!sideThere) {
    QV_FUZZ_CHECK(pattern == QStringLiteral("<none>"));
  } else {
    const std::string first32 = stored.substr(0, 32);
    QV_FUZZ_CHECK(pattern == QString::fromLatin1(first32.data(), static_cast<qsizetype>(first32.size())));
  }
  const bool expected = imageThere && sideThere && stored.size() >= 16 &&
                        stored.compare(0, 16, digest.constData(), 16) == 0;
  QV_FUZZ_CHECK(firmware::DigestsAgree(imageDigest, pattern) == expected);
  return 0;
}
