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

#include <string_view>

namespace qv::mainwindow {

// "mm/dd/yyyy", the date the main window shows.
QString PrintDateText(const QDateTime& when);

// The main window's description: the frame, then the pages in their order.
FormDef MainFormDef();

class TFormMain : public DeclaredForm {
 public:
  // The firmware window that " Upgrade " shows. It lives in a layer above this one; the composition names it.
  void setFirmwareWindow(Control window) { firmwareWindow_ = window; }

  // RUN and STOP go to the monitor.
  TFormMain(platform::Services& services, link::Link& link, MainState& state, Monitor& monitor);

  void onEvent(Control control, UiEvent event) override;

  void FormCreate();
  // Runs each time the window becomes visible: the date, the chart and the profile.
  void FormShow();
  // Clears the live values before a monitoring run.
  void ResetLiveDisplay();

  void SpdBtnRUNClick();
  void SpdBtnConfigureClick();
  void SpdBtnUpgradeClick();
  void SpdBtnExitClick();
  void SpdBtnPRINTClick();

 private:
  void ApplyProfileOnShow();
  void InstallFollowRules();

  platform::Services& services_;
  Controls& controls_;
  link::Link& link_;
  MainState& state_;
  Monitor& monitor_;
  Control firmwareWindow_;
};

}  // namespace qv::mainwindow
