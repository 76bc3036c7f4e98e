// The upgrade and the version read over the simulated pack's bootloader: an image arrives whole and its flash
// is what the file describes; each bootloader fault and each bad image ends "failed" with the adapter closed,
// and nothing is sent for a bad image; "Exit" stays off throughout; another session's adapter is left alone.

#include "HexText.h"
#include "UpgradeRig.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareUpgrade.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>
#include <future>
#include <mutex>
#include <optional>

namespace qv {
namespace {

using namespace firmware;

// Records at 0x1000 (200 bytes), after a gap at 0x1400 (64 bytes), and at 0x12000 behind an extended linear
// address (48 bytes); binary is the flash they describe from 0x1000 on.
QByteArray multiRecordImage(QByteArray* binary) {
  QByteArray a, b, c;
  const QByteArray image = test::hexUpper(0) + test::hexData(0x1000, 200, 1, &a) + test::hexData(0x1400, 64, 2, &b) +
                           test::hexUpper(1) + test::hexData(0x2000, 48, 3, &c) + test::hexEnd();
  *binary = a + QByteArray(0x1400 - 0x1000 - 200, '\0') + b + QByteArray(0x12000 - 0x1400 - 64, '\0') + c;
  return image;
}

QByteArray smallImage() { return test::hexUpper(0) + test::hexData(0x1000, 32, 5) + test::hexEnd(); }

TEST(Upgrade, AMultiRecordImageArrivesWholeAndItsFlashIsTheFilesBinary) {
  test::UpgradeRig r;
  QByteArray expected;
  const QByteArray image = multiRecordImage(&expected);
  ASSERT_TRUE(r.upgrade(r.writeFile("firmware.hex", image))) << r.memo().join('\n').toStdString();

  EXPECT_EQ(r.bootloader().receivedText(), image);
  uint32_t base = 0;
  const QByteArray flash = r.bootloader().flash(&base);
  EXPECT_EQ(base, 0x1000u);
  EXPECT_EQ(flash, expected);
  const ImageBinary binary = ImageToBinary(image);
  EXPECT_EQ(binary.base, base);
  EXPECT_EQ(binary.bytes, flash);
  EXPECT_EQ(r.bootloader().erases(), 1);
  EXPECT_EQ(r.bootloader().leaves(), 1);
  EXPECT_FALSE(r.bootloader().running());

  const QStringList memo = r.memo();
  const int fields = CountImageFields(image);
  EXPECT_EQ(memo.value(0), QString("SYS: Data_Field_Count=%1").arg(fields));
  EXPECT_EQ(memo.count("SYS: Packet Transfer......passed."), fields);
  for (const char* line :
       {"SYS: Switch To BootLoader.", "SYS: Read Bootloader Version ... PASS.", "SYS: Erase FLASH ROM of Aplication.",
        "SYS: Start Upgrade", "SYS: Verify......", "SYS: Switch to Aplication."})
    EXPECT_TRUE(memo.contains(line)) << line;
  // Every record at 0x1000 and above is verified, the extended-address and end-of-file records are not.
  EXPECT_EQ(memo.filter("SYS: Addr = ").size(), 13 + 4 + 3);
  EXPECT_EQ(memo.filter(QRegularExpression("^SYS: Image Chksum = (\\d+), FW Chksum = \\1\\.\\.\\.\\.\\.\\.passed\\.$"))
                .size(),
            13 + 4 + 3);
  EXPECT_TRUE(memo.contains("SYS: Addr = 4096, Len = 16, Func = 0, Chksum = " + QString::number([&] {
                              uint8_t x = 0;
                              for (int i = 0; i < 16; ++i) x ^= static_cast<uint8_t>(expected[i]);
                              return x;
                            }())));
  EXPECT_EQ(r.controls().text(ctl::editBootloaderVersion), "1.5");
  EXPECT_EQ(StatusPicture(r.controls()), kStatusPassed);
  EXPECT_EQ(r.controls().position(ctl::pbFirmwareUpgrade), fields);
  EXPECT_EQ(r.controls().maximum(ctl::pbFirmwareUpgrade), fields);
  EXPECT_EQ(r.rig.link.AdapterHandle, 0u);
  for (Control c : {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade, ctl::SpdBtn_FirmwareUpgradeExit})
    EXPECT_TRUE(r.controls().enabled(c)) << c.c_str();
  EXPECT_TRUE(r.controls().undeclared().empty());
}

TEST(Upgrade, TheImageSentIsTheOneReadWhenItWasChosen) {
  test::UpgradeRig r;
  const QByteArray chosen = smallImage();
  const QString path = r.writeFile("firmware.hex", chosen);
  r.choose(path);
  r.writeFile("firmware.hex", test::hexData(0x1000, 64, 9) + test::hexEnd());
  ASSERT_TRUE(r.upgradeChosen());
  EXPECT_EQ(r.bootloader().receivedText(), chosen);
}

TEST(Upgrade, EachBootloaderFaultEndsFailedWithTheAdapterClosed) {
  const struct {
    const char* name;
    sim::BootloaderFaults faults;
    const char* line;  // a pattern
    int erases;
  } cases[] = {
      // clang-format off
      {"no version", {.noVersion = true}, "^SYS: Read Bootloader Version \\.\\.\\. FAIL\\.$", 0},
      {"refused erase", {.refuseErase = true}, "^SYS: Packet Transfer\\.{6}failed\\. <TIMEOUT>$", 0},
      {"a field never acknowledged", {.neverAcknowledged = {2, 1}}, "^SYS: Packet Transfer\\.{6}failed\\. <TIMEOUT>$", 1},
      {"a wrong verify checksum", {.wrongVerify = true}, "^SYS: Image Chksum = \\d+, FW Chksum = \\d+\\.{6}failed\\.$", 1},
      {"no verify answer", {.noVerifyAnswer = true}, "^SYS: Addr = 4096\\.{6}no verify answer\\. <TIMEOUT>$", 1},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::UpgradeRig r;
    r.bootloader().setFaults(c.faults);
    EXPECT_FALSE(r.upgrade(r.writeFile("firmware.hex", smallImage())));
    const QStringList memo = r.memo();
    EXPECT_FALSE(memo.filter(QRegularExpression(c.line)).isEmpty()) << memo.join('\n').toStdString();
    EXPECT_EQ(memo.back(), "MSG: Firmware Upgrade......failed.");
    EXPECT_FALSE(memo.contains("SYS: Switch to Aplication."));
    EXPECT_EQ(r.bootloader().leaves(), 0);  // the pack is not switched back
    EXPECT_EQ(r.bootloader().erases(), c.erases);
    EXPECT_EQ(r.rig.link.AdapterHandle, 0u);
    EXPECT_EQ(StatusPicture(r.controls()), kStatusFailed);
    EXPECT_FALSE(r.controls().enabled(ctl::btnGetBootloaderVersion));
    EXPECT_TRUE(r.controls().enabled(ctl::SpdBtn_FirmwareUpgradeExit));
  }
}

// A pack that stops answering during the verify: the pass ends at the first record left unanswered (each one
// costs 50 reads), and the window is given back.
TEST(Upgrade, TheVerifyEndsAtTheFirstUnansweredRecord) {
  test::UpgradeRig r;
  r.bootloader().setFaults({.noVerifyAnswer = true});
  QByteArray binary;
  EXPECT_FALSE(r.upgrade(r.writeFile("firmware.hex", multiRecordImage(&binary))));
  const QStringList memo = r.memo();
  EXPECT_EQ(memo.filter("SYS: Addr = ").size(), 2) << memo.join('\n').toStdString();
  EXPECT_EQ(memo.filter("no verify answer").size(), 1);
  EXPECT_EQ(memo.value(memo.size() - 2), "SYS: Addr = 4096......no verify answer. <TIMEOUT>");
  EXPECT_EQ(memo.back(), "MSG: Firmware Upgrade......failed.");
  EXPECT_FALSE(r.window.busy());
  for (Control c : {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade, ctl::SpdBtn_FirmwareUpgradeExit})
    EXPECT_TRUE(r.controls().enabled(c)) << c.c_str();
  r.controls().setVisible(mainwindow::ctl::FormMain, false);
  r.controls().setVisible(ctl::FormFWUpgrade, true);
  r.window.onEvent(ctl::SpdBtn_FirmwareUpgradeExit, UiEvent::Click);
  EXPECT_FALSE(r.controls().visible(ctl::FormFWUpgrade));
  EXPECT_TRUE(r.controls().visible(mainwindow::ctl::FormMain));
}

TEST(Upgrade, ABadImageIsRefusedBeforeAnythingIsSent) {
  const QByteArray good = smallImage();
  QByteArray badSum = good;
  badSum[13] = badSum[13] == '0' ? '1' : '0';
  const struct {
    const char* name;
    std::optional<QByteArray> image;  // none: no file at all
    const char* line;
  } cases[] = {
      {"no image file", std::nullopt, nullptr},
      {"no final line feed", good.chopped(2), "no line feed at the end"},
      {"a record checksum", badSum, "record checksum wrong"},
      {"lower-case digits", good.toLower(), "not an upper-case hex digit"},
      {"no end-of-file record", test::hexData(0x1000, 32, 5), "no end-of-file record"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::UpgradeRig r;
    const QString path = c.image ? r.writeFile("firmware.hex", *c.image) : r.dir.filePath("missing.hex");
    EXPECT_FALSE(r.upgrade(path));
    const QStringList memo = r.memo();
    ASSERT_EQ(memo.size(), c.line ? 3 : 2) << memo.join('\n').toStdString();
    EXPECT_TRUE(memo[0].startsWith("SYS: Data_Field_Count="));
    if (c.line) {
      EXPECT_TRUE(memo[1].contains(c.line)) << memo[1].toStdString();
    }
    EXPECT_EQ(memo.back(), "MSG: Firmware Upgrade......failed.");
    EXPECT_TRUE(r.adapter->written().empty());
    EXPECT_EQ(r.bootloader().erases(), 0);
    EXPECT_EQ(r.rig.link.AdapterHandle, 0u);
    EXPECT_EQ(StatusPicture(r.controls()), kStatusFailed);
  }
}

TEST(Upgrade, ExitStaysOffFromTheClickToTheVerdict) {
  test::UpgradeRig r;
  std::vector<bool> exitEnabled;
  {
    std::lock_guard lock(r.driver().mutex);
    r.driver().onWrite = [&] { exitEnabled.push_back(r.controls().enabled(ctl::SpdBtn_FirmwareUpgradeExit)); };
  }
  ASSERT_TRUE(r.upgrade(r.writeFile("firmware.hex", smallImage())));
  ASSERT_GT(exitEnabled.size(), 10u);
  EXPECT_EQ(std::count(exitEnabled.begin(), exitEnabled.end(), true), 0);
  EXPECT_TRUE(r.controls().enabled(ctl::SpdBtn_FirmwareUpgradeExit));
}

// While the upgrade runs, neither "Exit" nor a close takes the window away or touches the adapter.
TEST(Upgrade, NeitherExitNorACloseLeavesARunningUpgrade) {
  test::UpgradeRig r;
  std::promise<void> started, go;
  std::once_flag first;
  {
    std::lock_guard lock(r.driver().mutex);
    r.driver().onWrite = [&] {
      std::call_once(first, [&] {
        started.set_value();
        go.get_future().wait();
      });
    };
  }
  r.controls().setVisible(mainwindow::ctl::FormMain, false);
  r.controls().setVisible(ctl::FormFWUpgrade, true);
  r.choose(r.writeFile("firmware.hex", smallImage()));
  r.adapter->clearWritten();
  r.window.btnFirmwareUpgradeClick();
  started.get_future().wait();
  EXPECT_TRUE(r.window.busy());
  r.window.onEvent(ctl::SpdBtn_FirmwareUpgradeExit, UiEvent::Click);
  r.controls().setVisible(ctl::FormFWUpgrade, false);  // as the display does before it reports a close
  r.window.onEvent(ctl::FormFWUpgrade, UiEvent::Close);
  EXPECT_TRUE(r.controls().visible(ctl::FormFWUpgrade));
  EXPECT_FALSE(r.controls().visible(mainwindow::ctl::FormMain));
  EXPECT_NE(r.rig.link.AdapterHandle, 0u);
  r.window.onEvent(ctl::btnFirmwareUpgrade, UiEvent::Click);  // a second click starts nothing
  go.set_value();
  r.rig.services.workers.joinAll();
  EXPECT_EQ(r.memo().back(), "MSG: Firmware Upgrade......passed.");
  EXPECT_EQ(r.bootloader().erases(), 1);
  r.window.onEvent(ctl::SpdBtn_FirmwareUpgradeExit, UiEvent::Click);
  EXPECT_FALSE(r.controls().visible(ctl::FormFWUpgrade));
  EXPECT_TRUE(r.controls().visible(mainwindow::ctl::FormMain));
}

TEST(Upgrade, AnotherSessionsAdapterIsLeftAlone) {
  test::UpgradeRig r;
  ASSERT_TRUE(r.rig.link.OpenAdapter());
  const platform::FtHandle held = r.rig.link.AdapterHandle;
  EXPECT_FALSE(r.upgrade(r.writeFile("firmware.hex", smallImage())));
  EXPECT_EQ(r.rig.link.AdapterHandle, held);
  EXPECT_TRUE(r.adapter->written().empty());
  EXPECT_EQ(r.memo().size(), 2);
  r.rig.link.CloseAdapter();
}

TEST(Upgrade, TheVersionReadSwitchesToTheBootloaderAndBack) {
  test::UpgradeRig r;
  r.bootloader().setVersion(2, 17);
  r.controls().setVisible(ctl::btnGetBootloaderVersion, true);
  r.window.btnGetBootloaderVersionClick();
  EXPECT_FALSE(r.controls().enabled(ctl::SpdBtn_FirmwareUpgradeExit));
  r.rig.services.workers.joinAll();
  EXPECT_EQ(r.controls().text(ctl::editBootloaderVersion), "2.17");
  EXPECT_EQ(r.memo(), (QStringList{"==============================", "  Read Bootloader Version.",
                                   "==============================", "SYS: Switch To BootLoader.",
                                   "SYS: Read Bootloader Version.", "SYS: Switch to Aplication."}));
  EXPECT_EQ(r.bootloader().leaves(), 1);
  EXPECT_FALSE(r.bootloader().running());
  EXPECT_EQ(r.rig.link.AdapterHandle, 0u);
  EXPECT_EQ(StatusPicture(r.controls()), kStatusBusy);  // the picture the button set stays
  for (Control c :
       {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade, ctl::btnGetBootloaderVersion, ctl::SpdBtn_FirmwareUpgradeExit})
    EXPECT_TRUE(r.controls().enabled(c)) << c.c_str();
}

}  // namespace
}  // namespace qv
