#include "firmware/FirmwareUpgrade.h"

#include "firmware/FWUpgradeFormControls.h"
#include "link/Link.h"
#include "link/PackFrames.h"
#include "link/PackMessages.h"
#include "platform/Time.h"

namespace qv::firmware {
namespace {

namespace msg = link::msg;

constexpr int kVersionQueries = 10;
constexpr int kSendsPerField = 4;
constexpr int kAckReads = 15;
constexpr int kVerifyReads = 50;
constexpr uint32_t kFirstVerifiedAddress = 0x1000;

const QString kRule = QStringLiteral("==============================");

}  // namespace

void ShowStatusPicture(Controls& controls, int picture) {
  controls.setItemIndex(ctl::ImageStatus, picture);
  for (int i = 0; i < static_cast<int>(ctl::kStatusPictures.size()); ++i)
    controls.setVisible(ctl::kStatusPictures[static_cast<size_t>(i)], i == picture);
}

int StatusPicture(const Controls& controls) { return controls.itemIndex(ctl::ImageStatus); }

FirmwareUpgrade::FirmwareUpgrade(link::Link& link, ShowVersion show)
    : link_(link), controls_(link.controls), port_(link), reply_(std::move(show)) {}

void FirmwareUpgrade::memo(const QString& line) { controls_.addItem(ctl::memoFirmwareUpgrade, line); }

bool FirmwareUpgrade::command(uint16_t command, uint16_t argument, uint8_t p0, uint8_t value) {
  return SendBootCommand(port_, command, argument, {p0, 0, 0}, value);
}

bool FirmwareUpgrade::open() {
  if (!link_.OpenAdapter()) return false;
  session_ = true;
  return true;
}

// Only this worker's own session is closed: a failed open leaves another session's handle alone.
void FirmwareUpgrade::close() {
  if (!session_.exchange(false)) return;
  link_.CloseAdapter();
}

void FirmwareUpgrade::QueryBootloaderVersion() {
  port_.purge();
  if (!link::SendPackCommand(link_, msg::kBootloaderVersion, 0, {0, 0, 0}, 0)) return;
  platform::sleepMs(100);
  for (int i = 0; i < 5; ++i) reply_.ReadBootloaderReply(port_);
}

FirmwareUpgrade::Transfer FirmwareUpgrade::transfer(const QByteArray& image, int* acknowledged) {
  Transfer result = Transfer::Ended;
  ForEachImageField(image, [&](const ImageField& f) {
    for (int attempt = 0; attempt < kSendsPerField; ++attempt) {
      // A header that cannot be written gives the field up; the run cannot pass without it.
      if (!command(msg::kImageField, f.line, f.field, f.length)) return true;
      memo(QString::asprintf("CMD: Line=%u, Field=%u, Data Length=%u", f.line, f.field, f.length));
      SendBootData(port_, f.bytes.data(), static_cast<int>(f.bytes.size()));
      const auto& b = f.bytes;
      memo(QString::asprintf("DAT: %02X %02X %02X %02X %02X %02X %02X %02X", b[0], b[1], b[2], b[3], b[4], b[5], b[6],
                             b[7]));
      for (int read = 0; read < kAckReads; ++read) {
        if (!WaitBootAck(port_)) continue;
        ++*acknowledged;
        controls_.setPosition(ctl::pbFirmwareUpgrade, controls_.position(ctl::pbFirmwareUpgrade) + 1);
        memo(QStringLiteral("SYS: Packet Transfer......passed."));
        return true;
      }
    }
    memo(QStringLiteral("SYS: Packet Transfer......failed. <TIMEOUT>"));
    result = Transfer::FieldUnanswered;
    return false;
  });
  return result;
}

bool FirmwareUpgrade::verify(const QByteArray& image) {
  bool ok = true;
  for (const VerifyRecord& r : VerifyRecords(image)) {
    if (r.address < kFirstVerifiedAddress || r.address > 0xFFFF) continue;
    memo(QString::asprintf("SYS: Addr = %u, Len = %u, Func = %u, Chksum = %u", r.address, r.byteCount, r.type,
                           r.checksum));
    verify_.disarm();
    bool answered = false;
    if (command(msg::kVerifyImageRecord, static_cast<uint16_t>(r.address), static_cast<uint8_t>(r.byteCount))) {
      for (int read = 0; read < kVerifyReads && !answered; ++read) answered = verify_.WaitVerifyReply(port_);
    }
    if (!answered) {
      // A record nobody vouched for is not a verified one, and the run has failed with it: a pack that stopped
      // answering would cost every record left its 50 reads (hours for a large image) with "Exit" off.
      memo(QString::asprintf("SYS: Addr = %u......no verify answer. <TIMEOUT>", r.address));
      return false;
    }
    const bool same = verify_.deviceChecksum() == r.checksum;
    memo(QString::asprintf("SYS: Image Chksum = %u, FW Chksum = %u......%s", r.checksum, verify_.deviceChecksum(),
                           same ? "passed." : "failed."));
    if (!same) ok = false;
  }
  return ok;
}

bool FirmwareUpgrade::FirmwareUpgradeThread(const LoadedImage& image) {
  controls_.setItems(ctl::memoFirmwareUpgrade, {});
  const int n = image.usable() ? CountImageFields(image.bytes) : 0;
  controls_.setRange(ctl::pbFirmwareUpgrade, 0, n);
  controls_.setPosition(ctl::pbFirmwareUpgrade, 0);
  memo(QString::asprintf("SYS: Data_Field_Count=%d", n));
  bool passed = false;

  const QString problem = image.usable() ? CheckImage(image.bytes) : QString();
  if (!problem.isEmpty()) memo(problem);
  if (image.usable() && problem.isEmpty()) {
    auto lock = link_.exchange();
    [&] {
      if (!open()) return;
      memo(QStringLiteral("SYS: Switch To BootLoader."));
      if (!command(msg::kSwitchToBootloader)) {
        memo(QStringLiteral("SYS : Switch To BootLoader ... FAIL. <Time out>"));
        return;
      }
      platform::sleepMs(500);
      memo(QStringLiteral("SYS: Read Bootloader Version Processing..."));
      controls_.setText(ctl::editBootloaderVersion, QString());
      for (int i = 0; i < kVersionQueries && controls_.text(ctl::editBootloaderVersion).isEmpty(); ++i) {
        QueryBootloaderVersion();
        platform::sleepMs(20);
      }
      if (controls_.text(ctl::editBootloaderVersion).isEmpty()) {
        memo(QStringLiteral("SYS: Read Bootloader Version ... FAIL."));
        return;
      }
      memo(QStringLiteral("SYS: Read Bootloader Version ... PASS."));
      memo(QStringLiteral("SYS: Erase FLASH ROM of Aplication."));
      if (!command(msg::kEraseApplication)) {
        memo(QStringLiteral("SYS: Erase FLASH ROM of Aplication ... FAIL. <Time out>"));
        return;
      }
      platform::sleepMs(4000);
      memo(QStringLiteral("SYS: Start Upgrade"));
      int acknowledged = 0;
      if (transfer(image.bytes, &acknowledged) != Transfer::Ended) return;
      memo(QStringLiteral("SYS: Verify......"));
      const bool verified = verify(image.bytes);
      if (acknowledged != n || !verified) return;
      memo(QStringLiteral("SYS: Switch to Aplication."));
      if (!command(msg::kSwitchToApplication)) {
        memo(QStringLiteral("SYS: Switch to Aplication ... FAIL. <Time out>"));
        return;
      }
      platform::sleepMs(3000);
      passed = true;
    }();
    close();
  }

  if (passed) {
    memo(QStringLiteral("MSG: Firmware Upgrade......passed."));
    ShowStatusPicture(controls_, kStatusPassed);
  } else {
    memo(QStringLiteral("MSG: Firmware Upgrade......failed."));
    ShowStatusPicture(controls_, kStatusFailed);
    controls_.setEnabled(ctl::btnGetBootloaderVersion, false);
  }
  for (Control c : {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade, ctl::SpdBtn_FirmwareUpgradeExit})
    controls_.setEnabled(c, true);
  return passed;
}

void FirmwareUpgrade::ReadBootloaderVersionThread() {
  memo(kRule);
  memo(QStringLiteral("  Read Bootloader Version."));
  memo(kRule);
  controls_.setText(ctl::editBootloaderVersion, QString());
  {
    auto lock = link_.exchange();
    if (open()) {
      memo(QStringLiteral("SYS: Switch To BootLoader."));
      command(msg::kSwitchToBootloader);
      platform::sleepMs(1000);
      command(msg::kSwitchToBootloader);
      platform::sleepMs(1000);
      memo(QStringLiteral("SYS: Read Bootloader Version."));
      QueryBootloaderVersion();
      platform::sleepMs(500);
      memo(QStringLiteral("SYS: Switch to Aplication."));
      command(msg::kSwitchToApplication);
      platform::sleepMs(500);
      close();
    }
  }
  platform::sleepMs(2000);
  for (Control c :
       {ctl::btnFirmwareSelect, ctl::btnFirmwareUpgrade, ctl::btnGetBootloaderVersion, ctl::SpdBtn_FirmwareUpgradeExit})
    controls_.setEnabled(c, true);
}

}  // namespace qv::firmware
