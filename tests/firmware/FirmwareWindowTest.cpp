// The firmware window's image choice: the comparison block it adds to the memo, the verdict shown but not
// enforced, a cancelled dialog, and the way back to the main window.

#include "UpgradeRig.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace qv {
namespace {

using namespace firmware;

const QByteArray kImage = ":00000001FF\r\n";
const QString kDigest =
    QString::fromLatin1(QCryptographicHash::hash(kImage, QCryptographicHash::Md5).toHex().toUpper());

QStringList block(const QString& image, const QString& pattern, bool passed) {
  return {"==============================",
          "  FW Image: Checksum Compare.",
          "==============================",
          QString("MD5sum(Image): %1, strlen=%2").arg(image).arg(image.size()),
          QString("MD5sum(Pattern): %1, strlen=%2").arg(pattern).arg(pattern.size()),
          passed ? "SYS: Checksum......passed." : "SYS: Checksum......failed."};
}

TEST(FirmwareWindow, EachChoiceAddsItsComparisonUnderTheEarlierOnes) {
  test::UpgradeRig r;
  const struct {
    const char* name;
    std::optional<QByteArray> side;  // none: no side file
    QString pattern;
    bool passed;
  } cases[] = {
      {"the whole digest", kDigest.toLatin1(), kDigest, true},
      {"sixteen digits and more", kDigest.left(16).toLatin1() + "0000000000000000 firmware.hex",
       kDigest.left(16) + "0000000000000000", true},
      {"lower case", kDigest.toLower().toLatin1(), kDigest.toLower(), false},
      {"no side file", std::nullopt, "<none>", false},
  };
  QStringList expected;
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString name = QString("image%1.hex").arg(++n);
    const QString path = r.writeFile(name, kImage);
    if (c.side) r.writeFile(QString("image%1.md5").arg(n), *c.side);
    r.choose(path);
    expected += block(kDigest, c.pattern, c.passed);
    EXPECT_EQ(r.memo(), expected);
    EXPECT_EQ(r.controls().text(ctl::editFirmwarePath), path);
    EXPECT_TRUE(r.controls().enabled(ctl::btnFirmwareUpgrade));  // the verdict is shown, not enforced
  }
  // No image and no side file: "<none>" on both sides is no agreement.
  r.choose(r.dir.filePath("gone.hex"));
  EXPECT_EQ(r.memo().mid(expected.size()), block("<none>", "<none>", false));
}

// An image on a slow medium (a pipe, here, whose reader waits for its writer): the read happens on a worker, with
// the window's buttons off until its verdict, so the window keeps answering meanwhile.
TEST(FirmwareWindow, TheImageIsReadAndHashedOnAWorkerWithTheButtonsOff) {
  test::UpgradeRig r;
  const QString path = r.dir.filePath("slow.hex");
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  bool readByAWorker = false;
  std::vector<bool> enabledDuringTheRead;
  std::thread writer([&] {
    // Opening the write end waits for whoever opens the read end: the image read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
    readByAWorker = r.rig.services.workers.running("ReadImageThread") == 1;
    for (Control c : {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade, ctl::btnGetBootloaderVersion,
                      ctl::SpdBtn_FirmwareUpgradeExit})
      enabledDuringTheRead.push_back(r.controls().enabled(c));
    if (fd >= 0) {
      EXPECT_EQ(::write(fd, kImage.constData(), static_cast<size_t>(kImage.size())), kImage.size());
      ::close(fd);
    }
  });
  r.window.ChooseImage(path);
  writer.join();
  r.rig.services.workers.joinAll();
  EXPECT_TRUE(readByAWorker);
  EXPECT_EQ(enabledDuringTheRead, std::vector<bool>(4, false));
  EXPECT_EQ(r.memo(), block(kDigest, "<none>", false));
  ASSERT_NE(r.window.image(), nullptr);
  EXPECT_EQ(r.window.image()->bytes, kImage);
  EXPECT_TRUE(r.controls().enabled(ctl::btnFirmwareUpgrade));
  EXPECT_TRUE(r.controls().enabled(ctl::SpdBtn_FirmwareUpgradeExit));
}

TEST(FirmwareWindow, ACancelledChoiceChangesNothing) {
  test::UpgradeRig r;
  r.window.btnFirmwareSelectClick();  // no display: the dialog gives no file
  EXPECT_TRUE(r.memo().isEmpty());
  EXPECT_FALSE(r.controls().enabled(ctl::btnFirmwareUpgrade));
  EXPECT_EQ(r.window.image(), nullptr);
}

TEST(FirmwareWindow, ExitAndCloseGiveTheMainWindowBack) {
  for (const bool viaExit : {true, false}) {
    test::UpgradeRig r;
    r.controls().setVisible(mainwindow::ctl::FormMain, false);
    r.controls().setVisible(ctl::FormFWUpgrade, true);
    if (viaExit) {
      r.window.onEvent(ctl::SpdBtn_FirmwareUpgradeExit, UiEvent::Click);
    } else {
      r.window.onEvent(ctl::FormFWUpgrade, UiEvent::Close);
    }
    EXPECT_FALSE(r.controls().visible(ctl::FormFWUpgrade));
    EXPECT_TRUE(r.controls().visible(mainwindow::ctl::FormMain));
  }
}

}  // namespace
}  // namespace qv
