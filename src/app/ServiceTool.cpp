#include "app/ServiceTool.h"

#include "commands/CanBitRate.h"
#include "eeprom/EEPParaFormControls.h"
#include "eeprom/EEPROMFormControls.h"
#include "eeprom/EEPRecordFormControls.h"
#include "firmware/FWUpgradeFormControls.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "platform/Time.h"

namespace qv::app {

ServiceTool::ServiceTool(std::unique_ptr<platform::Driver> driver)
    : services(std::move(driver)),
      link(services, mainwindow::kLinkControls),
      packDispatcher(services.controls, state),
      canDispatcher(services.controls, state, packDispatcher),
      monitor(services, link, state),
      urCommands(link),
      FormMain(services, link, state, monitor),
      FormConfig(link),
      FormPassWord(services),
      FormFWUpgrade(services),
      FormEEPROM(services, link, state),
      FormDiagnosisReport(services),
      FormEEPLast10(services),
      FormEEP_Record(services),
      Form_EEP_PARA(services),
      lastChargeSearch(services, link, state, FormEEPROM.records()) {
  link.setPackMessageSink(&packDispatcher);
  packDispatcher.addListener(&FormEEPROM.records());
  link.setCanFrameSink(&canDispatcher);
  link.setCanAnswerFlags(&canDispatcher.ackFlags());
  canDispatcher.setWakeUpLineTypeBox(eeprom::paraCtl::Edit_WakeUpLineType);
  FormMain.setFirmwareWindow(firmware::ctl::FormFWUpgrade);
  FormMain.setEepromWindows(eeprom::eepromCtl::FormEEPROM, eeprom::recordCtl::FormEEP_Record);
  FormEEPROM.setMainWindow(mainwindow::ctl::FormMain);
  mainwindow::InstallEepromWindowCommandSet({eeprom::eepromCtl::BitBtnEEPBlockChoiceRead,
                                             eeprom::eepromCtl::BitBtnEEPRange, eeprom::eepromCtl::BitBtnEEPPreView,
                                             eeprom::eepromCtl::FormEEPROM});
  monitor.hooks.ResetLiveDisplay = [this] { FormMain.ResetLiveDisplay(); };
  monitor.hooks.CheckCanBitRate = [this](platform::FtHandle, uint32_t rate) {
    return commands::CheckCanBitRate(link, rate);
  };
  monitor.hooks.ResetCanCellCount = [this] { canDispatcher.ResetCellCount(); };
  monitor.hooks.ReadRtc = [this] { commands::ReadRtc(link); };
  monitor.hooks.PollShippingMode = [this] { commands::PollShippingMode(link); };
  monitor.hooks.ReadEventCounts = [this] { return lastChargeSearch.ReadEventCounts(); };
  monitor.hooks.ReadLastChargeDate = [this] { lastChargeSearch.ReadLastChargeDate(); };
  FormMain.installClick(mainwindow::ctl::SpdBtnLastChgDateGet, [this] { lastChargeSearch.SpdBtnLastChgDateGetClick(); });
  installUrCommands();
}

void ServiceTool::installUrCommands() {
  using Commands = commands::UrServiceCommands;
  static constexpr struct {
    Control control;
    void (Commands::*click)();
  } kClicks[] = {
      {mainwindow::ctl::SpdBtnSleep, &Commands::SpdBtnSleepClick},
      {mainwindow::ctl::SpdBtnDeepSleep, &Commands::SpdBtnDeepSleepClick},
      {mainwindow::ctl::SpdBtnSNSet, &Commands::SpdBtnSNSetClick},
      {mainwindow::ctl::SpdBtnSNGet, &Commands::SpdBtnSNGetClick},
      {mainwindow::ctl::SpdBtnRTCSet, &Commands::SpdBtnRTCSetClick},
      {mainwindow::ctl::SpdBtnRTCGet, &Commands::SpdBtnRTCGetClick},
      {mainwindow::ctl::SpdBtnShippingModeSet, &Commands::SpdBtnShippingModeSetClick},
      {mainwindow::ctl::SpdBtnShippingModeGet, &Commands::SpdBtnShippingModeGetClick},
      {mainwindow::ctl::SpdBtnEEPROMEraseSet, &Commands::SpdBtnEEPROMEraseSetClick},
      {mainwindow::ctl::CheckBoxSippingMode, &Commands::CheckBoxSippingModeClick},
  };
  for (const auto& c : kClicks) FormMain.installClick(c.control, [this, click = c.click] { (urCommands.*click)(); });
}

ServiceTool::~ServiceTool() {
  stopWorkers();
  link.setPackMessageSink(nullptr);
  link.setCanFrameSink(nullptr);
  link.setCanAnswerFlags(nullptr);
}

std::vector<FormLogic*> ServiceTool::windows() {
  return {&FormMain,   &FormConfig,          &FormPassWord,  &FormFWUpgrade, &FormEEPROM,
          &FormDiagnosisReport, &FormEEPLast10, &FormEEP_Record, &Form_EEP_PARA};
}

void ServiceTool::stopWorkers(const std::function<void()>& pump) {
  state.RunFlag.set(0);
  // Closing: the GUI thread waits for the workers here, answering their boxes meanwhile.
  const platform::checks::GuiWaitAllowed closing;
  if (pump) {
    while (services.workers.running() > 0) {
      pump();
      platform::sleepMs(5);
    }
  }
  services.workers.joinAll();
}

}  // namespace qv::app
