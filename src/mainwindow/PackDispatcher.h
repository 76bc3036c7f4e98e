#pragma once
// The UR2 pack message dispatcher: every answer that ReceivePackMessage accepts arrives here as ID, index and
// eight data bytes. The ID and index alone decide what is shown (the dispatcher does not know which request is
// being answered), so monitoring, the service commands and the EEPROM and report reads all fill the same
// fields through it. After the display step every message, known or not, goes to the listeners (the EEPROM
// header handlers and record assemblers), in the order they were added.
//
// Runs on whichever thread read the answer; it writes the control store and the main window's state only.

#include "link/Link.h"
#include "mainwindow/CellSpread.h"
#include "mainwindow/MainState.h"
#include "platform/Controls.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace qv::mainwindow {

// Something that takes every pack message after the display step.
class PackMessageListener {
 public:
  virtual ~PackMessageListener() = default;
  virtual void HandlePackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) = 0;
};

class PackDispatcher : public link::PackMessageSink {
 public:
  // The cells that the pack reports; the spread never looks past them.
  static constexpr int kCells = 13;

  PackDispatcher(Controls& controls, MainState& state);

  void DispatchPackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override;
  // A request for a barcode's first part starts a reading: the parts gathered before it are not this one's.
  void PackRequestGoingOut(uint16_t id, uint16_t index) override;

  // Listeners are called in the order added; each must outlive the dispatcher's use.
  void addListener(PackMessageListener* listener);

  // The display steps, each taking the eight data bytes of its message.
  void ShowFirmwareId(const uint8_t data[8]);
  void ShowFirmwareVersion(const uint8_t data[8]);
  void ShowFullChargeCapacity(const uint8_t data[8]);
  void ShowCellConfig(const uint8_t data[8]);
  void ShowTotalChargeCapacity(const uint8_t data[8]);
  void IgnoreMessage1006(const uint8_t data[8]);
  void ShowTemperatures(const uint8_t data[8]);
  void ShowProtectionFlags(const uint8_t data[8]);

 private:
  // The display step: the first row that matches ID and index applies; a message no row lists changes nothing.
  void show(uint16_t id, uint16_t index, const uint8_t data[8]);
  // Cells first..first+count-1 from the words of data, then the spread.
  void showCells(int first, int count, const uint8_t data[8]);
  void showClock(const uint8_t data[8]);
  void showShippingMode(bool enabled);
  // One part of a barcode answer (0x200A, 0x6207, 0x2008).
  void assembleBarcode(uint16_t id, uint16_t index, const uint8_t data[8]);

  Controls& controls_;
  MainState& state_;
  // The barcode being read: the parts of one message taken in order from part 1, each right after the one
  // before; any other message in between drops it. Only the dispatching thread touches it (the exchange lock
  // keeps one reader at a time).
  struct BarcodeParts {
    uint16_t message = 0;
    uint16_t next = 0;  // 0: no barcode being read
    QByteArray text;
  };
  std::mutex barcodeMutex_;
  BarcodeParts barcode_;
  std::mutex listenersMutex_;
  std::vector<PackMessageListener*> listeners_;
};

}  // namespace qv::mainwindow
