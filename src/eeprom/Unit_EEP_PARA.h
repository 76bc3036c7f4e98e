#pragma once
// The EEPROM parameter window: the pack's configuration parameters, requested over CAN one by one with message
// 0x304 and answered with message 0x404. Nothing shows it, its "Get All" button is hidden and off, and its 50 ms
// receive timer is never started; it works all the same when they are.

#include "link/Link.h"
#include "platform/Form.h"
#include "platform/Services.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace qv::eeprom {

class TForm_EEP_PARA : public DeclaredForm {
 public:
  TForm_EEP_PARA(platform::Services& services, link::Link& link);
  void onEvent(Control control, UiEvent event) override;

  // The main window's keep-alive message (TFormMain::SendKeepAlive300h), filled by the composition; true when
  // written.
  std::function<bool()> SendKeepAlive300h;

  // The answer type every request of this window asks for.
  static constexpr uint8_t kAnswerType = 0x92;
  // The edit box of a parameter index; none for an index without a row.
  static Control ParameterBox(uint8_t index);

  // "Get All": disables itself and starts ReadParametersThread; a click while it is off starts nothing.
  void SpdBtn_EEPPara_GetAllClick();
  // The request pass over indexes 0 to 24, then 0xFF, on a worker.
  void ReadParametersThread();
  // By answer type: 0x90 ShowParameter, 0x91 nothing, 0x92 ShowParameterValue, other types nothing. Always
  // false.
  bool DispatchParameterReply(uint8_t type, uint8_t index);
  // Waits up to 3000 polls of 1 ms for the index's answer and shows it in its box; true when shown.
  bool ShowParameter(uint8_t index);
  // The same for indexes 0 and 1; any other index is false at once.
  bool ShowParameterValue(uint8_t index);
  // One receive of every waiting frame, on a worker (the GUI thread never waits on the adapter).
  void Timer_EEP_PARA_READTimer();

  // A parameter answer (type 0x92) for an index, from the CAN dispatcher on whichever thread read it: stored
  // for the waits above and shown in the index's row.
  void StoreParameterAnswer(uint8_t index, uint8_t value);

 private:
  struct Answer {
    bool ready = false;
    uint8_t value = 0;
  };
  Answer answer(uint8_t index) const;

  platform::Services& services_;
  Controls& controls_;
  link::Link& link_;
  mutable std::mutex mutex_;
  std::array<Answer, 256> answers_{};
  // The request pass opened the adapter for itself: the timer's receive may read it.
  std::atomic<bool> ownSession_{false};
  std::atomic<bool> timerReading_{false};
};

}  // namespace qv::eeprom
