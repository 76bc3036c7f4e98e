#include "app/WindowedTool.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "eeprom/EEPROMFormControls.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/PasswordFormControls.h"
#include "platform/ExeInfo.h"
#include "platform/gui/Look.h"
#include "sim/SimDriver.h"
#include "sim/SimSetups.h"
#include "support/CurrentFolder.h"
#include "support/DisplayWait.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include <atomic>
#include <future>
#include <thread>

namespace qv::app {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QStringLiteral("VELMO_ENG")});
    program = std::make_unique<WindowedTool>(sim::makeSimDriver(""));
    program->showMainWindow();
  }
  Controls& controls() { return program->tool.services.controls; }
  std::unique_ptr<WindowedTool> program;
};

TEST_F(MainWindowTest, EveryWindowHasAWidgetForEachOfItsControls) {
  for (FormLogic* logic : program->tool.windows()) {
    gui::FormWindow* window = program->display.window(logic->form().name);
    ASSERT_NE(window, nullptr) << logic->form().name;
    EXPECT_EQ(window->size(), QSize(logic->form().clientWidth, logic->form().clientHeight));
    for (const ControlDef& def : logic->form().controls) {
      if (def.kind == Kind::Timer) continue;
      EXPECT_NE(window->findChild<QWidget*>(gui::objectNameFor(def.name.key())), nullptr) << def.name;
    }
  }
}

TEST_F(MainWindowTest, AtStartTheMainWindowIsShownWithThePageAreaHidden) {
  gui::FormWindow& main = program->mainWindow();
  EXPECT_TRUE(main.isVisible());
  EXPECT_EQ(main.windowTitle(), "Quvexa BMS Monitor  ( UR96 ) ");
  auto* pages = main.findChild<QTabWidget*>("PageControl2");
  EXPECT_FALSE(pages->isVisible());
  ASSERT_EQ(pages->count(), 2) << "EEP, and QV under the ENG profile";
  EXPECT_EQ(pages->tabText(0), "QV");
  EXPECT_EQ(pages->tabText(1), "EEP");
  for (FormLogic* logic : program->tool.windows()) {
    if (logic != &program->tool.FormMain) {
      EXPECT_FALSE(program->display.window(logic->form().name)->isVisible()) << logic->form().name;
    }
  }
}

// What an operator does first: " Configure ", the protocol, "Scan", "Yes", all through the widgets.
TEST_F(MainWindowTest, TheFirstUseShowsTheProtocolsPages) {
  gui::FormWindow& main = program->mainWindow();
  gui::FormWindow* config = program->display.window(link::ctl::FormConfig);
  auto* run = main.findChild<QPushButton*>("SpdBtnRUN");
  EXPECT_FALSE(run->isEnabled()) << "no RUN before the dialog is confirmed";

  main.findChild<QPushButton*>("SpdBtnConfigure")->click();
  test::waitForDisplay(program->display);
  EXPECT_TRUE(config->isVisible());
  EXPECT_FALSE(main.isEnabled());

  for (QRadioButton* radio : config->findChild<QWidget*>("RadioGroup_Protocol")->findChildren<QRadioButton*>()) {
    if (radio->text() == "UR") radio->click();
  }
  test::waitForDisplay(program->display);
  config->findChild<QPushButton*>("SpdBtnSCAN")->click();
  auto* yes = config->findChild<QPushButton*>("SpdBtnYES");
  QElapsedTimer t;
  t.start();
  while (!yes->isEnabled() && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  ASSERT_TRUE(yes->isEnabled()) << "the simulated adapter was found";
  yes->click();
  test::waitForDisplay(program->display);

  EXPECT_FALSE(config->isVisible());
  EXPECT_TRUE(main.isEnabled());
  EXPECT_TRUE(run->isEnabled());
  auto* pages = main.findChild<QTabWidget*>("PageControl2");
  EXPECT_TRUE(pages->isVisible());
  ASSERT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->tabText(0), "UR");
  EXPECT_EQ(pages->tabText(1), "EEP");
  EXPECT_EQ(pages->currentIndex(), 0);
}

// The dialog that no control opens, shown and answered through its widgets.
TEST_F(MainWindowTest, ThePasswordDialogUnlocksTheDiagnosisPage) {
  test::ScopedCurrentFolder folder;
  ASSERT_TRUE(folder.entered());
  controls().setVisible(mainwindow::ctl::PageControl2, true);
  controls().setVisible(mainwindow::passwordCtl::FormPassWord, true);
  test::waitForDisplay(program->display);
  gui::FormWindow* dialog = program->display.window(mainwindow::passwordCtl::FormPassWord);
  ASSERT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->windowTitle(), "Quvexa Password");
  auto* edit = dialog->findChild<QLineEdit*>("EditModePassword");
  EXPECT_EQ(edit->echoMode(), QLineEdit::Normal) << "the password is shown as typed";
  edit->insert(QStringLiteral("pwk418205763"));  // as typing does: the text goes back into the store
  dialog->findChild<QPushButton*>("SpdBtnPasswordYes")->click();
  test::waitForDisplay(program->display);

  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(program->mainWindow().isVisible());
  auto* pages = program->mainWindow().findChild<QTabWidget*>("PageControl2");
  bool diagnosisTab = false;
  for (int i = 0; i < pages->count(); ++i) diagnosisTab = diagnosisTab || pages->tabText(i) == "DIA";
  EXPECT_TRUE(diagnosisTab);
  EXPECT_TRUE(QFile::exists(QStringLiteral("SafeInfo.ini")));
}

TEST_F(MainWindowTest, ThePicturesAreReadFromTheResources) {
  const auto* logo = program->mainWindow().findChild<QLabel*>("ImageLogo");
  ASSERT_FALSE(logo->pixmap().isNull());
  EXPECT_EQ(logo->pixmap().size(), QSize(200, 48));
  EXPECT_FALSE(program->mainWindow().findChild<QLabel*>("ImageBatteryPack")->pixmap().isNull());
  const auto* header =
      program->display.window(eeprom::diagnosisReportCtl::FormDiagnosisReport)->findChild<QLabel*>("ImageReportHeader");
  ASSERT_FALSE(header->pixmap().isNull());
  EXPECT_EQ(header->pixmap().size(), QSize(670, 66));
}

TEST_F(MainWindowTest, TheMainWindowPrintsToAReadablePdf) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("main.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  ASSERT_TRUE(program->gui.printWindowTo(mainwindow::ctl::FormMain, &printer));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  EXPECT_TRUE(pdf.startsWith("%PDF-1."));
  EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
  EXPECT_TRUE(pdf.contains("/Type /Page")) << "one page with the window on it";
  EXPECT_GT(pdf.size(), 20000) << "the window's image, not an empty page";
  EXPECT_FALSE(program->gui.printWindowTo(Control{"FormNoSuchWindow"}, &printer));
}

TEST_F(MainWindowTest, AConfirmedPrintPutsItsPageOnThePrinterFromAWorker) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("main.pdf"));
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(path);
  std::atomic<bool> written{false};
  ASSERT_TRUE(program->gui.printWindowOnWorker(mainwindow::ctl::FormMain, printer,
                                               [&](const gui::WidgetGui::PrintReport&) { written = true; }));
  printer.reset();  // the worker holds the printer it prints on
  // The window is drawn on the GUI thread a band at a time before the page goes to its worker.
  ASSERT_TRUE(test::waitForProcessingEvents([&] { return written.load(); }));
  program->tool.services.workers.joinAll();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
  EXPECT_GT(pdf.size(), 20000) << "the window's image, not an empty page";

  EXPECT_FALSE(program->gui.printWindowOnWorker(Control{"FormNoSuchWindow"}, std::make_shared<QPrinter>()));
  EXPECT_EQ(program->tool.services.workers.running(), 0) << "nothing to print, no worker";
}

TEST_F(MainWindowTest, ExitClosesTheMainWindow) {
  int closed = 0;
  QObject::connect(&program->mainWindow(), &gui::FormWindow::closed, [&closed] { ++closed; });
  controls().setEnabled(mainwindow::ctl::Timer_300h_ON, true);
  test::waitForDisplay(program->display);
  program->mainWindow().findChild<QPushButton*>("SpdBtnExit")->click();
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(program->mainWindow().isVisible());
  EXPECT_FALSE(controls().enabled(mainwindow::ctl::Timer_300h_ON));
}

// The EEPROM window disables the main window while it is open (its read may not be saved yet): a close of the
// main window from the title bar or the keyboard is refused then, and works again once the EEPROM window is left.
TEST_F(MainWindowTest, ADisabledMainWindowRefusesToClose) {
  int closed = 0;
  QObject::connect(&program->mainWindow(), &gui::FormWindow::closed, [&closed] { ++closed; });
  controls().setItemIndex(link::ctl::RadioGroup_Protocol, 0);
  program->tool.FormMain.onEvent(mainwindow::ctl::BitBtnSafeInfoRead, UiEvent::Click);
  test::waitForDisplay(program->display);
  gui::FormWindow* eeprom = program->display.window(eeprom::eepromCtl::FormEEPROM);
  ASSERT_NE(eeprom, nullptr);
  ASSERT_TRUE(eeprom->isVisible());
  ASSERT_FALSE(program->mainWindow().isEnabled());

  EXPECT_FALSE(program->mainWindow().close());
  test::waitForDisplay(program->display);
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(program->mainWindow().isVisible());
  EXPECT_TRUE(controls().visible(mainwindow::ctl::FormMain));

  eeprom->close();
  test::waitForDisplay(program->display);
  EXPECT_TRUE(program->mainWindow().isEnabled());
  EXPECT_TRUE(program->mainWindow().close());
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(program->mainWindow().isVisible());
}

// The second click of a double click reaches the widget before the display has shown it disabled: the
// starter finds the store's button off and starts nothing.
TEST_F(MainWindowTest, ADoubleClickOnAUrCommandStartsOneCommand) {
  Controls& c = controls();
  c.setItemIndex(link::ctl::RadioGroup_Protocol, 0);
  program->tool.FormConfig.onEvent(link::ctl::RadioGroup_Protocol, UiEvent::Click);
  program->tool.FormConfig.onEvent(link::ctl::SpdBtnSCAN, UiEvent::Click);
  program->tool.services.workers.joinAll();
  c.setItemIndex(link::ctl::CobBoxInterfaceName, 0);
  program->tool.FormConfig.onEvent(link::ctl::SpdBtnYES, UiEvent::Click);
  program->display.flush();
  auto* sleep = program->mainWindow().findChild<QPushButton*>("SpdBtnSleep");
  ASSERT_TRUE(sleep->isEnabled());
  auto adapter = static_cast<sim::SimDriver&>(program->tool.services.driver()).adapters().at(0);
  adapter->clearWritten();

  // The first command is kept from its exchange until both clicks are in: on a loaded machine it could be over,
  // its button back on, before the second click came.
  std::promise<void> held, release;
  std::thread holder([&] {
    const auto exchange = program->tool.link.exchange();
    held.set_value();
    release.get_future().wait();
  });
  held.get_future().wait();
  sleep->click();
  EXPECT_TRUE(sleep->isEnabled()) << "not flushed yet";
  sleep->click();
  EXPECT_EQ(program->tool.services.workers.running("SleepWorker"), 1);
  release.set_value();
  holder.join();
  EXPECT_TRUE(test::waitForProcessingEvents(
      [&] { return program->tool.services.workers.running() == 0 && c.enabled(mainwindow::ctl::SpdBtnSleep); }));
  // The worker's last store change may still wait for the display when the loop sees it.
  program->display.flush();
  EXPECT_EQ(adapter->written().size(), 1u) << "one sleep request";
  EXPECT_TRUE(sleep->isEnabled());
}

TEST_F(MainWindowTest, TheCanBarcodeEditTakesWhatTheWritersSendAtMost) {
  auto* edit = program->mainWindow().findChild<QLineEdit*>("Edit_Barcode32_RW");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->maxLength(), 32);
}

// The Function Test page's edits refuse what their limits do not allow as the operator types, and the result
// panel shows the font size the store holds.
TEST_F(MainWindowTest, TheFunctionTestPageShowsItsLimitsAndFontSizes) {
  gui::FormWindow& main = program->mainWindow();
  const struct {
    const char* name;
    int most;
  } limits[] = {{"EditEVTWorkNumber", 32}, {"Edit_EVTBarcode", 32}, {"EditEVTDevTestNumberInput", 5}, {"EditEVTT1", 3}};
  for (const auto& l : limits) EXPECT_EQ(main.findChild<QLineEdit*>(l.name)->maxLength(), l.most) << l.name;

  const auto type = [](QLineEdit* edit, const QString& keys) {
    for (const QChar key : keys) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
      QApplication::sendEvent(edit, &press);
    }
  };
  controls().setText(mainwindow::ctl::EditEVTT1, QString());
  test::waitForDisplay(program->display);
  auto* t1 = main.findChild<QLineEdit*>("EditEVTT1");
  type(t1, "2a-5.67");
  EXPECT_EQ(t1->text(), "256");
  EXPECT_EQ(controls().text(mainwindow::ctl::EditEVTT1), "256");
  auto* workNumber = main.findChild<QLineEdit*>("EditEVTWorkNumber");
  type(workNumber, QString(33, QChar(0x55AE)));
  EXPECT_EQ(controls().text(mainwindow::ctl::EditEVTWorkNumber), QString(32, QChar(0x55AE)));

  auto* panel = main.findChild<QLabel*>("PanelTestResult");
  EXPECT_EQ(panel->font().pixelSize(), 48);
  EXPECT_EQ(main.findChild<QPushButton*>("SpdBtn_EVTTest")->font().pixelSize(), 24);
  EXPECT_TRUE(main.findChild<QPushButton*>("SpdBtn_EVTTest")->font().bold());
  controls().setFontSize(mainwindow::ctl::PanelTestResult, 29);
  test::waitForDisplay(program->display);
  EXPECT_EQ(panel->font().pixelSize(), 29);
  controls().setFontSize(mainwindow::ctl::PanelTestResult, 0);
  test::waitForDisplay(program->display);
  EXPECT_EQ(panel->font().pixelSize(), main.font().pixelSize()) << "the window's font again";
}

// What a message box showed: its icon, caption, text and buttons.
struct BoxSeen {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString caption, text;
  QMessageBox::StandardButtons buttons;
  QWidget* owner = nullptr;
};

// Answers the next message box with the button and keeps what it showed.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = {box->icon(), box->windowTitle(), box->text(), box->standardButtons(), box->parentWidget()};
      box->button(answer)->click();
    });
    timer_.start(5);
  }
  BoxSeen seen;

 private:
  QTimer timer_;
};

// The Yes/No boxes are the Function Test's: Yes and No, no icon, owned by the main window, the texts as asked.
TEST_F(MainWindowTest, AYesNoBoxAskedByAWorkerIsAnsweredOnTheGuiThread) {
  std::atomic<int> answer{-1};
  BoxAnswerer answerer(QMessageBox::Yes);
  const QString caption = QStringLiteral("   BMS Sleep command 後確認.   ");
  const QString text = QStringLiteral("   BMS 已經 Sleep?   ");
  std::thread worker([&] { answer = program->tool.services.gui().askYesNo(caption, text) ? 1 : 0; });
  QElapsedTimer t;
  t.start();
  while (answer.load() < 0 && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
  EXPECT_EQ(answer.load(), 1);
  EXPECT_EQ(answerer.seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(answerer.seen.caption, caption);
  EXPECT_EQ(answerer.seen.text, text);
  EXPECT_EQ(answerer.seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(answerer.seen.owner, &program->mainWindow());

  program->gui.refuseBoxes();  // closing: no box is shown any more
  std::thread late([&] { answer = program->tool.services.gui().askYesNo("Function Test", "Go on?") ? 1 : 0; });
  late.join();
  EXPECT_EQ(answer.load(), 0);
}

TEST(Look, TraditionalChineseLabelsRenderWithTheChineseFont) {
  ASSERT_TRUE(QFontDatabase::families().contains(QString::fromLatin1(gui::kChineseFamily)));
  QTextLayout layout(QString::fromUtf8("\xE5\xB7\xA5\xE5\x96\xAE\xE8\x99\x9F\xE7\xA2\xBC"), gui::windowFont());
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  ASSERT_FALSE(runs.isEmpty());
  for (const QGlyphRun& run : runs) {
    EXPECT_EQ(run.rawFont().familyName(), gui::kChineseFamily);
    for (quint32 glyph : run.glyphIndexes()) EXPECT_NE(glyph, 0u) << "no missing-glyph box";
  }
}

}  // namespace
}  // namespace qv::app
