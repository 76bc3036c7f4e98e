// The cell-resistance group of the "ENG" page, through the main window's clicks: "Load" from MTD.ini, and the
// waits that "Read" and "Write" announce.

#include "app/ServiceTool.h"
#include "mainwindow/CellResistance.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainFormPages.h"
#include "sim/SimSetups.h"
#include "support/CurrentFolder.h"

#include <QDir>

#include <gtest/gtest.h>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

class CellResistance : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.entered());
    tool = std::make_unique<app::ServiceTool>(sim::makeSimDriver(""));
    // The buttons come at the end of an exchange.
    SetCommandButtonsEnabled(controls(), true);
  }
  Controls& controls() { return tool->services.controls; }
  static void writeIni(const QByteArray& bytes) {
    ASSERT_TRUE(test::ScopedCurrentFolder::write(kCellResistanceIniFile, bytes));
  }
  void click(Control button) { tool->FormMain.onEvent(button, UiEvent::Click); }
  QStringList boxes() {
    QStringList texts;
    for (Control box : ctl::kCellResistanceEdits) texts << controls().text(box);
    return texts;
  }
  CellResistanceValues values() const { return tool->state.CellResistance.snapshot(); }
  QString message() { return controls().panel(ctl::StatusBarView, 2); }

  std::unique_ptr<app::ServiceTool> tool;

 private:
  test::ScopedCurrentFolder folder_;
};

QStringList texts(std::initializer_list<const char*> list) {
  QStringList out;
  for (const char* t : list) out << QString::fromLatin1(t);
  return out;
}

TEST_F(CellResistance, LoadFillsEveryCellAndAMissingKeyReadsZero) {
  controls().setEnabled(ctl::BitBtnWCellmOmhAdjust, false);
  writeIni("[Set]\r\nCellR1=12\r\nCellR2=15\r\n");
  click(ctl::BitBtnCellRPrarmLoad);
  EXPECT_EQ(boxes(), texts({"12", "15", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(values()[0], 12);
  EXPECT_EQ(values()[1], 15);
  EXPECT_TRUE(controls().enabled(ctl::BitBtnWCellmOmhAdjust));
  EXPECT_TRUE(controls().enabled(ctl::BitBtnCellRPrarmLoad));
  EXPECT_EQ(message(), QString());
}

TEST_F(CellResistance, EachValueKeepsItsLow16BitsAsASignedNumber) {
  writeIni("; resistances\n[other]\nCellR1=99\n[ SET ]\n cellr1 = 70000 \nCellR2=-1\nCellR3=32767\nCellR4=32768\n"
           "CellR5=65535\nCellR6=-2147483648\nCellR7=2147483647\nCellR8=\"21\"\nCellR9=+8\nCellR10=007\n"
           "CellR11=-32768\nCellR12=65536\nCellR13=1\nCellR13=2\n");
  click(ctl::BitBtnCellRPrarmLoad);
  EXPECT_EQ(boxes(), texts({"4464", "-1", "32767", "-32768", "-1", "0", "-1", "21", "8", "7", "-32768", "0", "1"}));
  const CellResistanceValues want = {4464, -1, 32767, -32768, -1, 0, -1, 21, 8, 7, -32768, 0, 1};
  EXPECT_EQ(values(), want);
  EXPECT_TRUE(controls().enabled(ctl::BitBtnWCellmOmhAdjust));
}

TEST_F(CellResistance, WithoutTheFileTheBoxesStayEmptyAndWriteKeepsItsState) {
  for (const bool writeEnabled : {false, true}) {
    controls().setEnabled(ctl::BitBtnWCellmOmhAdjust, writeEnabled);
    click(ctl::BitBtnCellRPrarmLoad);
    EXPECT_EQ(boxes(), QStringList(13, QString()));
    EXPECT_EQ(controls().enabled(ctl::BitBtnWCellmOmhAdjust), writeEnabled);
    EXPECT_TRUE(controls().enabled(ctl::BitBtnCellRPrarmLoad));
  }
  // A folder of that name is no file either.
  ASSERT_TRUE(QDir().mkdir(kCellResistanceIniFile));
  controls().setEnabled(ctl::BitBtnWCellmOmhAdjust, false);
  click(ctl::BitBtnCellRPrarmLoad);
  EXPECT_EQ(boxes(), QStringList(13, QString()));
  EXPECT_FALSE(controls().enabled(ctl::BitBtnWCellmOmhAdjust));
  EXPECT_EQ(values(), CellResistanceValues{});
}

TEST_F(CellResistance, AValueOfNoNumberStopsTheLoadAtItsCellAndNamesIt) {
  tool->state.CellResistance.set({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
  const struct {
    const char* value;
    const char* shown;
  } bad[] = {{"12a", "12a"}, {"", ""}, {"2147483648", "2147483648"}, {"1.5", "1.5"}, {"0x10", "0x10"}};
  for (const auto& b : bad) {
    controls().setEnabled(ctl::BitBtnWCellmOmhAdjust, false);
    writeIni(QByteArray("[Set]\nCellR1=21\nCellR2=22\nCellR3=23\nCellR4=24\nCellR5=") + b.value + "\nCellR6=26\n");
    click(ctl::BitBtnCellRPrarmLoad);
    EXPECT_EQ(boxes(), texts({"21", "22", "23", "24", "", "", "", "", "", "", "", "", ""})) << b.value;
    EXPECT_FALSE(controls().enabled(ctl::BitBtnWCellmOmhAdjust)) << b.value;
    EXPECT_TRUE(controls().enabled(ctl::BitBtnCellRPrarmLoad)) << "Load comes back for a mended file";
    EXPECT_EQ(
        message(),
        QStringLiteral("  MTD.ini [Set] CellR5 : ''%1'' is not a valid integer value").arg(QLatin1String(b.shown)));
    const CellResistanceValues kept = {21, 22, 23, 24, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(values(), kept) << "the cells from the stop on keep what they held";
  }
  // A long value is cut in the status bar.
  writeIni("[Set]\nCellR1=" + QByteArray(300, 'z') + "\n");
  click(ctl::BitBtnCellRPrarmLoad);
  EXPECT_EQ(message(), QStringLiteral("  MTD.ini [Set] CellR1 : ''%1...'' is not a valid integer value")
                           .arg(QString(40, QLatin1Char('z'))));
  EXPECT_EQ(boxes(), QStringList(13, QString()));
  // The mended file loads whole.
  writeIni("[Set]\nCellR13=30\n");
  click(ctl::BitBtnCellRPrarmLoad);
  EXPECT_EQ(boxes().last(), QStringLiteral("30"));
  EXPECT_TRUE(controls().enabled(ctl::BitBtnWCellmOmhAdjust));
}

TEST_F(CellResistance, ReadAndWriteOnlyAnnounceAWaitUntilTheNextExchangeEnds) {
  writeIni("[Set]\nCellR1=12\n");
  click(ctl::BitBtnCellRPrarmLoad);
  ASSERT_EQ(boxes().first(), QStringLiteral("12"));

  click(ctl::BitBtnRCellmOmhAdjust);
  EXPECT_EQ(message(), QStringLiteral("Waiting polling Cell ohm to read...."));
  EXPECT_EQ(boxes(), QStringList(13, QString()));
  for (Control button : {ctl::BitBtnCellRPrarmLoad, ctl::BitBtnRCellmOmhAdjust, ctl::BitBtnWCellmOmhAdjust})
    EXPECT_FALSE(controls().enabled(button)) << button;

  SetCommandButtonsEnabled(controls(), true);
  click(ctl::BitBtnCellRPrarmLoad);
  click(ctl::BitBtnWCellmOmhAdjust);
  EXPECT_EQ(message(), QStringLiteral("Waiting polling Cell ohm to write...."));
  EXPECT_EQ(boxes().first(), QStringLiteral("12")) << "Write leaves the boxes as they are";
  for (Control button : {ctl::BitBtnCellRPrarmLoad, ctl::BitBtnRCellmOmhAdjust, ctl::BitBtnWCellmOmhAdjust})
    EXPECT_FALSE(controls().enabled(button)) << button;
  EXPECT_EQ(values()[0], 12);

  SetCommandButtonsEnabled(controls(), true);
  for (Control button : {ctl::BitBtnCellRPrarmLoad, ctl::BitBtnRCellmOmhAdjust, ctl::BitBtnWCellmOmhAdjust})
    EXPECT_TRUE(controls().enabled(button)) << button;
}

}  // namespace
}  // namespace qv::mainwindow
