#pragma once
// The program without its display: the services, the adapter link, the main window's shared state, the
// dispatchers the link hands its answers to, and the nine windows' logic, made in the order the program creates its
// windows. Tests build it headless; the entry puts the display over it.

#include "commands/CanBarcodeCommands.h"
#include "commands/CanServiceCommands.h"
#include "commands/FixtureCommands.h"
#include "commands/UrBarcodeCommands.h"
#include "commands/UrServiceCommands.h"
#include "eeprom/DiagnosisReport.h"
#include "eeprom/EEPLast10.h"
#include "eeprom/LastChargeSearch.h"
#include "eeprom/UnitDiagnosisReport2.h"
#include "eeprom/UnitEEPROM.h"
#include "eeprom/Unit_EEP_PARA.h"
#include "eeprom/Unit_EEP_Rec.h"
#include "firmware/Unit4FWUpgrade.h"
#include "link/Link.h"
#include "link/Unit2ConfigForm.h"
#include "mainwindow/CanDispatcher.h"
#include "mainwindow/MainState.h"
#include "mainwindow/Monitor.h"
#include "mainwindow/PackDispatcher.h"
#include "mainwindow/Unit1MainForm.h"
#include "mainwindow/Unit3Password.h"
#include "platform/Services.h"
#include "production/CanAnswerCounts.h"
#include "production/FunctionTest.h"

#include <functional>
#include <memory>
#include <vector>

namespace qv::app {

class ServiceTool {
 public:
  explicit ServiceTool(std::unique_ptr<platform::Driver> driver);
  // Stops every worker before the windows and what they use go.
  ~ServiceTool();
  ServiceTool(const ServiceTool&) = delete;
  ServiceTool& operator=(const ServiceTool&) = delete;

  // The windows' logic in the order of creation; the first is the main window.
  std::vector<FormLogic*> windows();

  // Clears the run flag and waits for every worker. pump runs while they finish, so that a worker waiting for
  // the GUI thread (a Yes/No box) is answered.
  void stopWorkers(const std::function<void()>& pump = {});

  // The thread that builds the windows runs them: from here on it must not wait (see platform/Checks.h).
  platform::checks::GuiThreadScope guiThread;
  platform::Services services;
  link::Link link;
  mainwindow::MainState state;
  // Every UR2 answer the link accepts goes to the main window's fields through it.
  mainwindow::PackDispatcher packDispatcher;
  // Every CAN frame any receive reads goes through it: the broadcasts, the answers and the answer flags.
  mainwindow::CanDispatcher canDispatcher;
  // What RUN starts; its callees from the other subsystems are wired here as they come.
  mainwindow::Monitor monitor;
  // The UR service commands behind the main window's buttons, and the clock and shipping-mode reads of the
  // polling loops.
  commands::UrServiceCommands urCommands;
  // The CAN service page's commands, and the shipping-mode read of the CAN polling loop.
  commands::CanServiceCommands canCommands;
  // The CAN service page's barcode read and write, and the polling loop's start-up barcode read.
  commands::CanBarcodeCommands canBarcodes;
  // The UR barcode read and write, and the barcode readers of the UR2 polling loop.
  commands::UrBarcodeCommands urBarcode;
  // The fixture's switches and measurements behind the ENG2 page's buttons.
  commands::FixtureCommands fixture;
  // Listens to the CAN dispatcher and counts the answers it decoded, for the Function Test's reads.
  production::CanAnswerCounts canAnswerCounts;
  // The Function Test behind TEST on the page "CANEVT".
  production::FunctionTest functionTest{services, link, state, canAnswerCounts};

  mainwindow::TFormMain FormMain;
  link::TFormConfig FormConfig;
  mainwindow::TFormPassWord FormPassWord;
  firmware::TFormFWUpgrade FormFWUpgrade;
  eeprom::TFormEEPROM FormEEPROM;
  eeprom::TFormDiagnosisReport FormDiagnosisReport;
  eeprom::TFormEEPLast10 FormEEPLast10;
  eeprom::TFormEEP_Record FormEEP_Record;
  eeprom::TForm_EEP_PARA Form_EEP_PARA;
  // The UR page's last-charge search and the LEAD and LAST count readers, over the EEPROM window's buffers.
  eeprom::LastChargeSearch lastChargeSearch;
  // The page "DIA": the diagnosis report's read into the report window, and its printing.
  eeprom::DiagnosisReport diagnosisReport;

 private:
  // The main window's UR command buttons, each to its starter.
  void installUrCommands();
  // The CAN service page's buttons, each to its starter.
  void installCanCommands();
  // The barcode and fixture buttons, each to its starter.
  void installBarcodeAndFixture();
  // The Function Test's callees among the CAN service commands, and its button.
  void installFunctionTest();
  // What the CAN EEPROM record and parameter windows need of the main window: its name, the keep-alive and its
  // switch, the run flag and the protection block buffer the CAN decoders fill.
  void installCanEepromWindows();
};

}  // namespace qv::app
