#pragma once
// The upgrade and the version read: the two workers of the firmware window, each its own session on the
// adapter (opened and closed by the worker, under the exchange lock for the whole run).
//
// An upgrade: image check, bootloader switch (0x4202), version check (0x000B as a UR2 request, its answer read
// as boot frames), erase (0x4204), transfer field by field (0x4003 and a data frame, each acknowledged), verify
// record by record (0x2003), switch back (0x4203), verdict. It passes only when the image held at least one
// field, every field was acknowledged, the verify pass ran to the end with an answer for every record and no
// record differed; the pass ends at the first record left unanswered. A failed switch, version check or erase
// ends it without the switch back. An image that is not sound is refused before the adapter is opened, so a
// pack's flash is never erased for an image that cannot be sent whole.
//
// The workers write the window's controls (memo, version box, progress bar, status picture, buttons) through
// the store.

#include "firmware/BootFrames.h"
#include "firmware/FirmwareImage.h"
#include "platform/Controls.h"

#include <atomic>

namespace qv::link {
class Link;
}

namespace qv::firmware {

// The status picture shown: 0 in progress, 1 passed, 2 failed; -1 none yet.
enum : int { kStatusBusy = 0, kStatusPassed = 1, kStatusFailed = 2 };
void ShowStatusPicture(Controls& controls, int picture);
int StatusPicture(const Controls& controls);

class FirmwareUpgrade {
 public:
  using ShowVersion = BootloaderReply::ShowVersion;
  FirmwareUpgrade(link::Link& link, ShowVersion show);

  // The upgrade of this image, on a worker; true when it passed.
  bool FirmwareUpgradeThread(const LoadedImage& image);
  // The version read, on a worker.
  void ReadBootloaderVersionThread();
  // 0x000B through the adapter, then five reads of the answer; on the open adapter.
  void QueryBootloaderVersion();

  // True while a worker of this upgrade holds the adapter open.
  bool sessionOpen() const { return session_.load(); }

 private:
  enum class Transfer { Ended, FieldUnanswered };
  Transfer transfer(const QByteArray& image, int* acknowledged);
  // True when every record at 0x1000 or above was answered and agreed; it ends at the first record unanswered.
  bool verify(const QByteArray& image);
  bool command(uint16_t command, uint16_t argument = 0, uint8_t p0 = 0, uint8_t value = 0);
  void memo(const QString& line);
  bool open();
  void close();

  link::Link& link_;
  Controls& controls_;
  AdapterBootPort port_;
  BootloaderReply reply_;
  VerifyReply verify_;
  std::atomic<bool> session_{false};
};

}  // namespace qv::firmware
