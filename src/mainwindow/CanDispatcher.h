#pragma once
// The CAN frame dispatcher: every frame that a receive of the CAN layer reads arrives here, whatever thread
// reads and whatever exchange is under way. The pack's broadcasts 0x400 to 0x404 go to their decoders; an
// answer header 0x442 becomes the last answer header and marks the answer flags; an answer data message 0x443,
// which carries no identification of its own, is decoded as the last header names and then clears it. It is
// decoded only when that header is the frame right before it: a header whose data is followed by anything else
// first (another frame, a frame lost on the wire) is dropped, and so is a 0x443 without its own header.
//
// One frame is dispatched whole under the dispatcher's lock: the header a 0x443 is paired with is the one
// dispatched before it, and the flags, the header and the cell values never show half of a frame. Frames reach
// it in the order they came off the wire as long as each receive reads and dispatches under the exchange lock,
// as every CAN exchange of the program does.

#include "link/CanAnswerFlags.h"
#include "link/Link.h"
#include "mainwindow/CanDecoders.h"
#include "mainwindow/MainState.h"
#include "mainwindow/PackDispatcher.h"
#include "platform/Controls.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace qv::mainwindow {

using link::CanAckFamily;

// CanAckFlags: which answer headers arrived, by family and index, whatever their status; beside them which of
// those answers were accepted (status 0). The dispatcher only sets bits; a command clears its own family's
// byte before it sends and then polls its bits, so commands running side by side do not clear each other's.
class CanAckFlags : public link::CanAnswerFlags {
 public:
  static constexpr int kFamilies = 9;

  uint8_t answered(CanAckFamily family) const override;
  // The bits whose last answer header carried status 0.
  uint8_t accepted(CanAckFamily family) const override;
  uint8_t dataCame(CanAckFamily family) const override;
  void clear(CanAckFamily family) override;

 private:
  friend class CanDispatcher;
  // An answer header for the bits arrived with that status; or one withdraws them.
  void mark(CanAckFamily family, uint8_t bits, uint8_t status);
  void unmark(CanAckFamily family, uint8_t bits);
  void markData(CanAckFamily family, uint8_t bits);

  mutable std::mutex mutex_;
  std::array<uint8_t, kFamilies> answered_{};
  std::array<uint8_t, kFamilies> accepted_{};
  std::array<uint8_t, kFamilies> dataCame_{};
};

// Something that takes what the dispatcher decoded, after it decoded it: an answer data message decoded under
// its header of status 0 (the header's command and index), and a broadcast decoded by its identifier.
class CanDecodedListener {
 public:
  virtual ~CanDecodedListener() = default;
  virtual void CanAnswerDecoded(uint16_t command, uint16_t index) = 0;
  virtual void CanBroadcastDecoded(uint32_t identifier) = 0;
};

// The last answer header: data bytes 0-1 command, 2-3 index (big-endian), 4-6, 7 status.
struct CanAnswerHeader {
  uint16_t command = 0;
  uint16_t index = 0;
  std::array<uint8_t, 3> bytes{};
  uint8_t status = 0;
};

class CanDispatcher : public link::CanFrameSink {
 public:
  CanDispatcher(Controls& controls, MainState& state, PackDispatcher& pack);

  void DispatchCanFrame(uint8_t messageFlag, uint32_t identifier, const uint8_t data[8], uint8_t dataLength) override;
  // A frame was lost on the wire: the header before it may have lost its data, so it is dropped.
  void CanFramesLost() override;
  // A header still waiting for its data when the next request goes out is dropped, as after a loss.
  void CanRequestGoingOut() override;

  CanAckFlags& ackFlags() { return ackFlags_; }
  CanAnswerHeader lastAnswerHeader() const;
  // Listeners are called in the order added, outside the dispatcher's lock; each must outlive its use.
  void addListener(CanDecodedListener* listener);
  // Monitoring starts each cycle's cell requests from a count of 0.
  void ResetCellCount();
  // Where the parameter answer of type 0x92 is shown: a box of the EEPROM parameter window, named by the
  // composition.
  void setWakeUpLineTypeBox(Control box);
  // Where a parameter answer of type 0x92 is stored for the parameter window's rows, by index and value; the
  // composition installs it (none: only the box above is written).
  void setParameterAnswer(std::function<void(uint8_t index, uint8_t value)> answer);

 private:
  void Dispatch404hFrame(const uint8_t data[8], uint8_t dataLength);
  void answerHeader(const uint8_t data[8]);  // lock held
  // Lock held; true when the data was decoded under a header of status 0 (the header is then *answered).
  bool answerData(const uint8_t data[8], CanAnswerHeader* answered);
  // Highest, lowest and their difference over the non-zero count of the first cells.
  void showCellSpread();

  Controls& controls_;
  MainState& state_;
  PackDispatcher& pack_;
  CanDecoders decoders_;
  CanAckFlags ackFlags_;
  // The last header has had neither its data nor any other frame after it (nor a loss): only then is the next
  // 0x443 its data. A 0x443 under an older header would show another answer's bytes as this one's value.
  void dropOpenHeader();  // lock held

  mutable std::mutex mutex_;  // one frame whole; guards the last header and the decoders
  CanAnswerHeader lastHeader_;
  std::function<void(uint8_t, uint8_t)> parameterAnswer_;
  bool headerOpen_ = false;
  std::mutex listenersMutex_;
  std::vector<CanDecodedListener*> listeners_;
};

}  // namespace qv::mainwindow
