#pragma once
// The main window: its description, its fixed defaults, the profile that the executable's name selects, the
// gauges and bars that follow their boxes, the clearing of the live display, and the buttons of its frame.
// Logic only: it reads and writes the control store; the display shows it.

#include "link/Link.h"
#include "mainwindow/MainState.h"
#include "mainwindow/Monitor.h"
#include "platform/Form.h"
#include "platform/Services.h"

#include <QDateTime>

#include <functional>
#include <string_view>
#include <unordered_map>

namespace qv::mainwindow {

// "mm/dd/yyyy", the date the main window shows.
QString PrintDateText(const QDateTime& when);

// The main window's description: the frame, then the pages in their order.
FormDef MainFormDef();

class TFormMain : public DeclaredForm {
 public:
  // The firmware window that " Upgrade " shows. It lives in a layer above this one; the composition names it.
  void setFirmwareWindow(Control window) { firmwareWindow_ = window; }
  // The EEPROM window and the CAN record window that the EEPROM buttons show; named by the composition too.
  void setEepromWindows(Control eeprom, Control record) {
    eepromWindow_ = eeprom;
    eepromRecordWindow_ = record;
  }

  // RUN and STOP go to the monitor.
  TFormMain(platform::Services& services, link::Link& link, MainState& state, Monitor& monitor);

  void onEvent(Control control, UiEvent event) override;

  void FormCreate();
  // Runs each time the window becomes visible: the date, the chart and the profile.
  void FormShow();
  void FormClose();
  // Clears the live values before a monitoring run.
  void ResetLiveDisplay();

  void SpdBtnRUNClick();
  void SpdBtnConfigureClick();
  void SpdBtnUpgradeClick();
  void SpdBtnExitClick();
  void SpdBtnPRINTClick();
  // The second after printing is over: "PDF" is usable again.
  void printPauseTimerTimer();
  // Each 100 ms tick of the keep-alive timer sends the keep-alive.
  void Timer_300h_ONTimer();
  // The keep-alive 0x300 written to the open adapter, with the TX lamp toggled; true when written. It is a
  // write alone and takes no exchange lock, so it goes out on time while a command or a monitoring step waits
  // for an answer. With no adapter open it writes nothing and gives false.
  bool SendKeepAlive300h();
  // The cell-resistance group of the "ENG" page: "Load" from MTD.ini, "Read" and "Write" announce a wait.
  void BitBtnCellRPrarmLoadClick();
  void BitBtnRCellmOmhAdjustClick();
  void BitBtnWCellmOmhAdjustClick();
  // The way into the EEPROM windows. Under "UR" the main window is given over to the EEPROM window, which gives
  // it back when it closes; the CAN record window gives nothing back, so the main window stays usable beside it.
  void BitBtnSafeInfoReadClick();
  void BitBtn_EEP_READClick();
  void BitBtn_EEP_PARAClick();

  // The click handlers of the subsystems above the main window (the service commands, the EEPROM and report
  // reads, the fixture), installed by the composition before the window is shown, one per control. A click on
  // a control with none installed does nothing.
  void installClick(Control control, std::function<void()> handler);

 private:
  void ApplyProfileOnShow();
  void InstallFollowRules();

  platform::Services& services_;
  Controls& controls_;
  link::Link& link_;
  MainState& state_;
  Monitor& monitor_;
  Control firmwareWindow_;
  Control eepromWindow_;
  Control eepromRecordWindow_;
  std::unordered_map<Control, std::function<void()>> installedClicks_;
};

}  // namespace qv::mainwindow
