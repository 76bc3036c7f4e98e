#include "app/ServiceTool.h"

#include "commands/CanBitRate.h"
#include "eeprom/DiagnosisReportFormControls.h"
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
      canCommands(link, state),
      canBarcodes(link, state),
      urBarcode(link, state),
      fixture(link),
      FormMain(services, link, state, monitor),
      FormConfig(link),
      FormPassWord(services),
      FormFWUpgrade(services, link),
      FormEEPROM(services, link, state),
      FormDiagnosisReport(services),
      FormEEPLast10(services),
      FormEEP_Record(services, link),
      Form_EEP_PARA(services, link),
      lastChargeSearch(services, link, state, FormEEPROM.records()),
      diagnosisReport(services, link, state, FormEEPROM.records()) {
  link.setPackMessageSink(&packDispatcher);
  packDispatcher.addListener(&FormEEPROM.records());
  link.setCanFrameSink(&canDispatcher);
  canDispatcher.addListener(&canAnswerCounts);
  link.setCanAnswerFlags(&canDispatcher.ackFlags());
  canDispatcher.setWakeUpLineTypeBox(eeprom::paraCtl::Edit_WakeUpLineType);
  canDispatcher.setParameterAnswer(
      [this](uint8_t index, uint8_t value) { Form_EEP_PARA.StoreParameterAnswer(index, value); });
  installCanEepromWindows();
  FormMain.setFirmwareWindow(firmware::ctl::FormFWUpgrade);
  FormFWUpgrade.setMainWindow(mainwindow::ctl::FormMain);
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
  monitor.hooks.ReadShippingModeCan = [this] { commands::ReadShippingModeCan(link); };
  monitor.hooks.CanReadBarcodeWorker = [this] { commands::CanReadBarcode(link, state); };
  monitor.hooks.ReadEventCounts = [this] { return lastChargeSearch.ReadEventCounts(); };
  monitor.hooks.ReadLastChargeDate = [this] { lastChargeSearch.ReadLastChargeDate(); };
  FormMain.installClick(mainwindow::ctl::SpdBtnLastChgDateGet,
                        [this] { lastChargeSearch.SpdBtnLastChgDateGetClick(); });
  FormMain.installClick(mainwindow::ctl::BitBtnPrintReportRead,
                        [this] { diagnosisReport.BitBtnPrintReportReadClick(); });
  FormMain.installClick(mainwindow::ctl::BitBtnPrint, [this] { diagnosisReport.BitBtnPrintClick(); });
  installUrCommands();
  installCanCommands();
  installBarcodeAndFixture();
  installFunctionTest();
}

namespace {

// A button of the main window and the click handler of a command set that it starts.
template <typename Commands>
struct ClickRoute {
  Control control;
  void (Commands::*click)();
};

template <typename Commands, size_t N>
void installClicks(mainwindow::TFormMain& form, Commands& commands, const ClickRoute<Commands> (&routes)[N]) {
  for (const auto& r : routes) form.installClick(r.control, [&commands, click = r.click] { (commands.*click)(); });
}

}  // namespace

void ServiceTool::installCanCommands() {
  using Commands = commands::CanServiceCommands;
  static constexpr ClickRoute<Commands> kClicks[] = {
      {mainwindow::ctl::SpdBtn_RTC_SET, &Commands::SpdBtn_RTC_SETClick},
      {mainwindow::ctl::SpdBtn_EEP_Erase_Set, &Commands::SpdBtn_EEP_Erase_SetClick},
      {mainwindow::ctl::SpdBtn_ShippingModeSet, &Commands::SpdBtn_ShippingModeSetClick},
      {mainwindow::ctl::SpdBtn_DEEP_SLEEP_SET, &Commands::SpdBtn_DEEP_SLEEP_SETClick},
      {mainwindow::ctl::CheckBox_SippingMode, &Commands::CheckBox_SippingModeClick},
  };
  installClicks(FormMain, canCommands, kClicks);
  using Barcodes = commands::CanBarcodeCommands;
  static constexpr ClickRoute<Barcodes> kBarcodeClicks[] = {
      {mainwindow::ctl::RadioGroupBarcodeSelect, &Barcodes::RadioGroupBarcodeSelectClick},
      {mainwindow::ctl::SpdBtn_Barcode32_R, &Barcodes::SpdBtn_Barcode32_RClick},
      {mainwindow::ctl::SpdBtn_Barcode32_W, &Barcodes::SpdBtn_Barcode32_WClick},
  };
  installClicks(FormMain, canBarcodes, kBarcodeClicks);
}

void ServiceTool::installBarcodeAndFixture() {
  namespace c = mainwindow::ctl;
  urBarcode.installOn(monitor.hooks);
  using B = commands::UrBarcodeCommands;
  static constexpr ClickRoute<B> kBarcodeClicks[] = {
      {c::BitBtnBarCodeWrite, &B::BitBtnBarCodeWriteClick},
      {c::BitBtnBarCodeRead, &B::BitBtnBarCodeReadClick},
      {c::BitBtn1, &B::BitBtn1Click},
  };
  installClicks(FormMain, urBarcode, kBarcodeClicks);
  using F = commands::FixtureCommands;
  static constexpr ClickRoute<F> kFixtureClicks[] = {
      // clang-format off
      {c::SpdBtnChgSW, &F::SpdBtnChgSWClick},           {c::SpdBtnDsgSW, &F::SpdBtnDsgSWClick},
      {c::SpdBtnBtyVoltRead, &F::SpdBtnBtyVoltReadClick}, {c::SpdBtnDsgVoltRead, &F::SpdBtnDsgVoltReadClick},
      {c::SpdBtnChgVoltRead, &F::SpdBtnChgVoltReadClick}, {c::SpdBtnSOCRead, &F::SpdBtnSOCReadClick},
      // clang-format on
  };
  installClicks(FormMain, fixture, kFixtureClicks);
  // The SOC-indicator test writes its verdict into the diagnosis report, from its button as from the report read.
  namespace rep = eeprom::diagnosisReportCtl;
  fixture.setReportLabels({rep::LabelTestSOCVolt, rep::LabelTestDsgVolt, rep::LabelTestResultDsgVolt});
}

void ServiceTool::installFunctionTest() {
  auto& a = functionTest.actions;
  a.setRtc = [this] { return commands::CanSetRtcWorker(link, state); };
  a.setShippingMode = [this] { return commands::CanSetShippingModeWorker(link, state); };
  a.deepSleep = [this] { commands::CanDeepSleep(link, state); };
  a.requestRtc = [this] { commands::RequestRtcCan(link); };
  a.readBarcode32 = [this] { return commands::CanReadBarcode32(link, state); };
  a.readBarcode16 = [this] { return commands::CanReadBarcode16(link, state); };
  a.readBarcode16Alt = [this] { return commands::CanReadBarcode16Alt(link, state); };
  a.keepAlive = [this](bool on) { services.controls.setEnabled(mainwindow::ctl::Timer_300h_ON, on); };
  FormMain.installClick(mainwindow::ctl::SpdBtn_EVTTest, [this] { functionTest.SpdBtn_EVTTestClick(); });
}

void ServiceTool::installCanEepromWindows() {
  Form_EEP_PARA.SendKeepAlive300h = [this] { return FormMain.SendKeepAlive300h(); };
  FormEEP_Record.setMainWindow(mainwindow::ctl::FormMain);
  eeprom::CanRecordHooks& hooks = FormEEP_Record.hooks;
  hooks.SwitchKeepAlive = [this](bool on) { services.controls.setEnabled(mainwindow::ctl::Timer_300h_ON, on); };
  hooks.RaiseRunFlag = [this] { state.RunFlag.set(1); };
  // The buffer takes the parts of the block being read alone.
  hooks.ZeroRecordBuffer = [this](int block) {
    mainwindow::EepBlockBuffer zero;
    zero.canBlock = static_cast<uint8_t>(block);
    state.records.ProtectBlockBuffer.set(zero);
  };
  hooks.RecordBuffer = [this] {
    return state.records.ProtectBlockBuffer.with([](const mainwindow::EepBlockBuffer& b) {
      return eeprom::CanRecordFields{b.dateTime,          b.current,    b.voltage, b.stateOfCharge, b.t1,
                                     b.voltageDifference, b.cycleCount, b.flag,    b.valid,         b.partsAccepted};
    });
  };
}

void ServiceTool::installUrCommands() {
  using Commands = commands::UrServiceCommands;
  static constexpr ClickRoute<Commands> kClicks[] = {
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
  installClicks(FormMain, urCommands, kClicks);
}

ServiceTool::~ServiceTool() {
  stopWorkers();
  link.setPackMessageSink(nullptr);
  link.setCanFrameSink(nullptr);
  link.setCanAnswerFlags(nullptr);
}

std::vector<FormLogic*> ServiceTool::windows() {
  return {&FormMain,      &FormConfig,     &FormPassWord, &FormFWUpgrade, &FormEEPROM, &FormDiagnosisReport,
          &FormEEPLast10, &FormEEP_Record, &Form_EEP_PARA};
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
