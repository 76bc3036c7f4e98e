// A page for the printer is drawn a band of the window per turn of the message loop: the picture is the window
// as one drawing at once would show it, as the store was when printing was asked, and a window that goes away
// meanwhile prints nothing.

#include "app/WindowedTool.h"
#include "eeprom/DiagnosisReportFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "sim/SimSetups.h"
#include "support/DisplayWait.h"
#include "support/ImageDiff.h"
#include "support/WaitFor.h"

#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>

namespace qv::app {
namespace {

namespace mw = mainwindow;
namespace r = eeprom::diagnosisReportCtl;

class PrintTest : public ::testing::Test {
 protected:
  PrintTest() {
    platform::setExeInfo({QStringLiteral("/opt/quvexa/"), QStringLiteral("VELMO_DIA")});
    program = std::make_unique<WindowedTool>(sim::makeSimDriver(""));
    program->showMainWindow();
  }
  Controls& controls() { return program->tool.services.controls; }
  gui::FormWindow& window(Control form) { return *program->display.window(form); }

  // The client area drawn at once, at the sharpness of the page, as the widget shows it now.
  static QImage drawnAtOnce(gui::FormWindow& window) {
    QWidget* client = window.canvas();
    QImage image(client->size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    client->render(&image);
    return image;
  }

  // Starts the banded drawing of a window; the picture lands in the returned slot.
  std::shared_ptr<std::optional<QImage>> startDrawing(Control form) {
    auto picture = std::make_shared<std::optional<QImage>>();
    EXPECT_TRUE(program->gui.drawWindowImage(form, [picture](const QImage& image, double) { *picture = image; }));
    return picture;
  }

  std::unique_ptr<WindowedTool> program;
};

TEST_F(PrintTest, TheBandedPictureIsTheWindowDrawnAtOnce) {
  // The report hidden, as it is once the operator closed it, and the main window on screen, drawn side by side.
  controls().setText(r::Label_ModelName, QStringLiteral("QV1302B96A"));
  controls().setText(r::Label_TotalWarrantyCnt, QStringLiteral("321 times"));
  controls().setText(mw::ctl::EditVCell1, QStringLiteral("3312"));
  ASSERT_TRUE(test::waitForDisplay(program->display));
  const Control forms[] = {mw::ctl::FormMain, r::FormDiagnosisReport};
  std::vector<std::shared_ptr<std::optional<QImage>>> pictures;
  for (Control form : forms) pictures.push_back(startDrawing(form));
  ASSERT_TRUE(test::waitForProcessingEvents([&] { return pictures.back()->has_value(); }));
  for (size_t i = 0; i < std::size(forms); ++i) {
    ASSERT_TRUE(pictures[i]->has_value()) << forms[i];
    const QImage& picture = **pictures[i];
    const QImage reference = drawnAtOnce(window(forms[i]));
    EXPECT_EQ(picture.size(), window(forms[i]).canvas()->size() * 2) << forms[i];
    EXPECT_EQ(picture.devicePixelRatio(), 2.0) << forms[i];
    EXPECT_TRUE(picture == reference) << forms[i] << ": the bands are the window pixel for pixel";
  }
  EXPECT_FALSE(program->gui.drawWindowImage(Control{"FormNoSuchWindow"}, [](const QImage&, double) {}));
}

TEST_F(PrintTest, ThePictureShowsTheStoreOfWhenItWasAskedAndTheWindowCatchesUpAfter) {
  const auto cell = [&] { return window(mw::ctl::FormMain).findChild<QLineEdit*>("EditVCell1")->text(); };
  controls().setText(mw::ctl::EditVCell1, QStringLiteral("3312"));
  ASSERT_TRUE(test::waitForDisplay(program->display));
  const QImage before = program->gui.windowImage(mw::ctl::FormMain);

  // Two drawings of the same window at once: it is held until the last is done.
  const auto first = startDrawing(mw::ctl::FormMain);
  const auto second = startDrawing(mw::ctl::FormMain);
  // A change, and a flush asked for at once (as a window shown over it asks), while the bands are drawn.
  controls().setText(mw::ctl::EditVCell1, QStringLiteral("4105"));
  program->display.flush();
  EXPECT_EQ(cell(), "3312");
  EXPECT_TRUE(program->display.pending()) << "the change waits to be shown";

  ASSERT_TRUE(test::waitForProcessingEvents([&] { return first->has_value(); }));
  EXPECT_EQ(cell(), "3312") << "still held by the second drawing";
  ASSERT_TRUE(test::waitForProcessingEvents([&] { return second->has_value(); }));
  EXPECT_TRUE(**first == before);
  EXPECT_TRUE(**second == before);

  ASSERT_TRUE(test::waitForDisplay(program->display));
  EXPECT_EQ(cell(), "4105") << "nothing kept back is lost";
  EXPECT_FALSE(program->gui.windowImage(mw::ctl::FormMain) == before) << "the change shows on the window's picture";
}

TEST_F(PrintTest, AWindowClosedBeforeItsPictureIsDoneIsNotPrinted) {
  controls().setVisible(r::FormDiagnosisReport, true);
  ASSERT_TRUE(test::waitForDisplay(program->display));
  ASSERT_TRUE(window(r::FormDiagnosisReport).isVisible());

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("report.pdf"));
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(path);
  std::atomic<int> reports{0};
  std::atomic<bool> printed{true};
  ASSERT_TRUE(program->gui.printWindowOnWorker(r::FormDiagnosisReport, printer, [&](const auto& report) {
    printed = report.printed;
    ++reports;
  }));
  printer.reset();
  window(r::FormDiagnosisReport).close();
  ASSERT_TRUE(test::waitForProcessingEvents([&] { return reports.load() == 1; }));
  EXPECT_FALSE(printed.load());
  EXPECT_EQ(program->tool.services.workers.running(), 0) << "no page went to a worker";
  EXPECT_FALSE(QFile::exists(path)) << "nothing was written";
  ASSERT_TRUE(test::waitForDisplay(program->display));
  EXPECT_FALSE(controls().visible(r::FormDiagnosisReport));
}

TEST_F(PrintTest, TheProgramClosingWhileAPageIsDrawnDropsIt) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("main.pdf"));
  auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(path);
  bool called = false;
  ASSERT_TRUE(program->gui.printWindowOnWorker(mw::ctl::FormMain, printer, [&](const auto&) { called = true; }));
  program.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(called);
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(printer.use_count(), 1) << "the drawing let go of the printer";
}

TEST_F(PrintTest, AGroupBoxIsAsSharpOnThePageAsThePlainBoxOfTheStyle) {
  // A box that keeps its drawn frame keeps it at the page's sharpness too, not the screen's scaled up.
  auto* box = window(mw::ctl::FormMain).findChild<QGroupBox*>("GroupBoxVCellList");
  ASSERT_NE(box, nullptr);
  QGroupBox plain(box->parentWidget());
  plain.setGeometry(box->geometry());
  plain.setTitle(box->title());
  plain.setPalette(box->palette());
  plain.lower();
  const auto drawnForPaper = [](QWidget* w) {
    QImage image(w->size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    w->render(&image, QPoint(), QRegion(), {});  // the box alone, without its children
    return image;
  };
  const auto drawnOnScreen = [box] {
    QImage screen(box->size(), QImage::Format_RGB32);
    box->render(&screen);
  };
  drawnOnScreen();
  for (const char* when : {"the first page", "after the screen drew it again"}) {
    SCOPED_TRACE(when);
    EXPECT_LE(test::worstPixelDifference(drawnForPaper(box), drawnForPaper(&plain)), 1);
    drawnOnScreen();
  }
}

}  // namespace
}  // namespace qv::app
