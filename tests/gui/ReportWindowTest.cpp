// The diagnosis report window on screen: "PDF" shows it over the main window, which takes no input until the report
// is closed, then offers the print dialog; the printed page is the whole window with the texts it shows.

#include "app/WindowedTool.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "sim/SimSetups.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace qv::app {
namespace {

namespace r = eeprom::diagnosisReportCtl;

class ReportWindowTest : public ::testing::Test {
 protected:
  ReportWindowTest() {
    platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QStringLiteral("VELMO_DIA")});
    program = std::make_unique<WindowedTool>(sim::makeSimDriver(""));
    program->showMainWindow();
  }
  Controls& controls() { return program->tool.services.controls; }
  gui::FormWindow* report() { return program->display.window(r::FormDiagnosisReport); }
  std::unique_ptr<WindowedTool> program;
};

TEST_F(ReportWindowTest, TheReportPrintsAsOnePageWithTheTextsItShows) {
  const QImage empty = program->gui.windowImage(r::FormDiagnosisReport);
  const std::pair<Control, const char*> lines[] = {
      {r::Label_ModelName, "QV1302B96A"},
      {r::Label_Barcode, "QV2024BARCODE32-01234567X0312345"},
      {r::Label_TotalWarrantyCnt, "321 times"},  // the last section's line, at the foot of the page
  };
  for (const auto& [label, text] : lines) controls().setText(label, QString::fromLatin1(text));

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("report.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  ASSERT_TRUE(program->gui.printWindowTo(r::FormDiagnosisReport, &printer));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  EXPECT_TRUE(pdf.startsWith("%PDF-1."));
  EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
  EXPECT_EQ(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r"), 1) << "the whole report on one page";
  EXPECT_GT(pdf.size(), 20000) << "the window's image, not an empty page";

  // What went on paper is the window as it shows the texts: the whole panel, down to its last section.
  const QImage printed = program->gui.windowImage(r::FormDiagnosisReport);
  EXPECT_GE(printed.deviceIndependentSize().height(), 1008);
  EXPECT_NE(printed, empty);
  for (const auto& [label, text] : lines)
    EXPECT_EQ(report()->findChild<QLabel*>(QString::fromLatin1(label.c_str()))->text(), text) << label;
}

TEST_F(ReportWindowTest, PdfShowsTheReportOverTheMainWindowThenOffersThePrintDialog) {
  bool reportWasModal = false;
  bool dialogOffered = false;
  bool dialogAfterReport = false;
  QTimer operatorHand;
  operatorHand.setInterval(20);
  QObject::connect(&operatorHand, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == report()) {
      reportWasModal = true;
      report()->close();
    } else if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
      dialogOffered = true;
      dialogAfterReport = reportWasModal && !report()->isVisible();
      dialog->reject();
    }
  });
  operatorHand.start();
  program->tool.FormMain.onEvent(mainwindow::ctl::BitBtnPrint, UiEvent::Click);
  operatorHand.stop();

  EXPECT_TRUE(reportWasModal);
  EXPECT_TRUE(dialogOffered);
  EXPECT_TRUE(dialogAfterReport) << "the dialog comes once the operator has closed the report";
  EXPECT_FALSE(controls().visible(r::FormDiagnosisReport));
  EXPECT_EQ(report()->height(), std::min(986, report()->screen()->availableGeometry().height()))
      << "as tall as the screen lets it be";
  EXPECT_EQ(report()->windowModality(), Qt::NonModal) << "shown again later, the report does not block";
  EXPECT_EQ(program->tool.services.workers.running(), 0) << "a cancelled dialog prints nothing";
}

}  // namespace
}  // namespace qv::app
