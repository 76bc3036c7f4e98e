// The firmware window's image choice: the comparison block it adds to the memo, the verdict shown but not
// enforced, a cancelled dialog, and the way back to the main window.

#include "UpgradeRig.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

namespace qv {
namespace {

using namespace firmware;

const QByteArray kImage = ":00000001FF\r\n";
const QString kDigest = QString::fromLatin1(QCryptographicHash::hash(kImage, QCryptographicHash::Md5).toHex().toUpper());

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
      {"sixteen digits and more", kDigest.left(16).toLatin1() + "0000000000000000 firmware.hex", kDigest.left(16) + "0000000000000000", true},
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
    r.window.ChooseImage(path);
    expected += block(kDigest, c.pattern, c.passed);
    EXPECT_EQ(r.memo(), expected);
    EXPECT_EQ(r.controls().text(ctl::editFirmwarePath), path);
    EXPECT_TRUE(r.controls().enabled(ctl::btnFirmwareUpgrade));  // the verdict is shown, not enforced
  }
  // No image and no side file: "<none>" on both sides is no agreement.
  r.window.ChooseImage(r.dir.filePath("gone.hex"));
  EXPECT_EQ(r.memo().mid(expected.size()), block("<none>", "<none>", false));
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
