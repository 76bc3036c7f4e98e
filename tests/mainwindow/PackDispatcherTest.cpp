// The UR2 pack message dispatcher: what each message shows, what it leaves alone, the cell spread over the
// report record, the firmware id that never grows, and the hand-over to the listeners.

#include "mainwindow/MainFormControls.h"
#include "mainwindow/PackDispatcher.h"
#include "support/BareStore.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace qv {
namespace {

using mainwindow::PackDispatcher;
using test::hex;

class RecordingListener : public mainwindow::PackMessageListener {
 public:
  RecordingListener(std::vector<std::string>& log, std::string name) : log_(log), name_(std::move(name)) {}
  void HandlePackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override {
    log_.push_back(name_ +
                   QStringLiteral(" %1 %2 %3").arg(id, 4, 16, QChar('0')).arg(index).arg(data[0]).toStdString());
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
};

class PackDispatch : public ::testing::Test {
 protected:
  void dispatch(uint16_t id, uint16_t index, const char* data) {
    const QByteArray bytes = hex(data).leftJustified(8, '\0');
    dispatcher_.DispatchPackMessage(id, index, reinterpret_cast<const uint8_t*>(bytes.constData()));
  }
  QString text(Control name) const { return controls_.text(name); }
  uint32_t reportCell(int n) const { return state_.report.snapshot().cellVoltages[static_cast<size_t>(n - 1)]; }
  void setCells(uint16_t first) {
    for (uint16_t i = 1; i <= 4; ++i) {
      const auto v = [&](int k) { return QByteArray::number(first + 4 * (i - 1) + k, 16).rightJustified(4, '0'); };
      dispatch(0x1001, i, (v(0) + v(1) + v(2) + v(3)).constData());
    }
  }

  test::MainWindowStore controls_;
  mainwindow::MainState state_;
  PackDispatcher dispatcher_{controls_, state_};
};

TEST_F(PackDispatch, ShowsTheLiveValues) {
  dispatch(0x0005, 0, "01 0A");
  EXPECT_EQ(text(mainwindow::ctl::EditFWVer), "01.0A");
  dispatch(0x0009, 2, "FF FF FF FF FF FF 26 48");
  EXPECT_EQ(text(mainwindow::ctl::EditFCC), "9800");
  dispatch(0x0009, 1, "0D 04");
  EXPECT_EQ(text(mainwindow::ctl::EditCellSeries), "13");
  EXPECT_EQ(text(mainwindow::ctl::EditCellParallel), "4");
  dispatch(0x1004, 0, "00 00 00 01 00 00 00 00");
  EXPECT_EQ(text(mainwindow::ctl::EditTCC), "4294967296");
  dispatch(0x1004, 0, "FF FF FF FF FF FF FF FF");
  EXPECT_EQ(text(mainwindow::ctl::EditTCC), "18446744073709551615");
  dispatch(0x1003, 0, "F6 7F");
  EXPECT_EQ(text(mainwindow::ctl::EditT1), "-10");
  EXPECT_EQ(text(mainwindow::ctl::EditT2), "127");
  dispatch(0x100C, 13, "01 2C");
  EXPECT_EQ(text(mainwindow::ctl::EditCellR13), "300");
  dispatch(0x2001, 7, "41 42 43 44 45 46 47 48");
  EXPECT_EQ(text(mainwindow::ctl::EditPDSN), "ABCDEFGH");
  dispatch(0x2001, 1, "31 32 33 00 39 39");
  EXPECT_EQ(text(mainwindow::ctl::EditPDSN), "123");
}

TEST_F(PackDispatch, ProtectionFlagsColourTheirBoxes) {
  const struct {
    const char* data;
    std::vector<Control> red;
  } cases[] = {
      {"08 00", {mainwindow::ctl::EditOCF}},
      {"00 01", {mainwindow::ctl::EditSCF}},
      {"C3 00", {mainwindow::ctl::EditOVF, mainwindow::ctl::EditUVF, mainwindow::ctl::EditUTF}},
      {"20 00", {mainwindow::ctl::EditOTF}},
      {"00 FE", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data);
    dispatch(0x1007, 0, c.data);
    for (Control box : {mainwindow::ctl::EditOVF, mainwindow::ctl::EditUVF, mainwindow::ctl::EditOCF,
                        mainwindow::ctl::EditOTF, mainwindow::ctl::EditUTF, mainwindow::ctl::EditSCF}) {
      const bool red = std::find_if(c.red.begin(), c.red.end(), [&](Control r) { return r == box; }) != c.red.end();
      EXPECT_EQ(controls_.color(box), red ? colour::Red : colour::White) << box;
    }
  }
}

TEST_F(PackDispatch, ClockOnlyWithAPossibleDate) {
  dispatch(0x1005, 0, "12 07 03 0E 05 09");
  EXPECT_EQ(text(mainwindow::ctl::EditRTC), " 2018.7.3   14:5:9");
  EXPECT_EQ(text(mainwindow::ctl::EditRTCENG), " 2018.7.3   14:5:9");
  for (const char* impossible : {"12 0D 03 0E 05 09", "12 07 00 0E 05 09", "12 00 03 0E 05 09", "12 07 20 0E 05 09"}) {
    SCOPED_TRACE(impossible);
    dispatch(0x1005, 0, impossible);
    EXPECT_EQ(text(mainwindow::ctl::EditRTC), " 2018.7.3   14:5:9");
    EXPECT_EQ(text(mainwindow::ctl::EditRTCENG), " 2018.7.3   14:5:9");
  }
}

// The barcode builds up part by part and is shown once its last part came right after the others: a part out of
// order, of another message, or one that starts afresh leaves the box as it was, so no barcode is spliced from
// several readings nor grows past its 32 characters.
TEST_F(PackDispatch, BarcodeIsShownWholeFromOneReading) {
  dispatch(0x2008, 1, "51 56 32 30 32 34 42 41");
  EXPECT_EQ(text(mainwindow::ctl::EditBarCode32), "");
  dispatch(0x2008, 2, "52 43 4F 44 45 31 36 58");
  EXPECT_EQ(text(mainwindow::ctl::EditBarCode32), "QV2024BARCODE16X");
  const std::string full = "QV2024BARCODE32-0123456789ABCDEF";
  const auto part = [&](int n) {
    return test::hexText(QByteArray::fromStdString(full.substr(8 * (n - 1), 8))).toStdString();
  };
  const struct {
    const char* name;
    std::vector<std::pair<uint16_t, uint16_t>> parts;
  } broken[] = {
      {"a part lost", {{0x200A, 1}, {0x200A, 2}, {0x200A, 4}}},
      {"no first part", {{0x200A, 2}, {0x200A, 3}, {0x200A, 4}}},
      {"another message's part", {{0x200A, 1}, {0x200A, 2}, {0x6207, 3}, {0x200A, 4}}},
      {"another answer in between", {{0x200A, 1}, {0x200A, 2}, {0x1001, 1}, {0x200A, 3}, {0x200A, 4}}},
      {"a part twice", {{0x200A, 1}, {0x200A, 2}, {0x200A, 2}, {0x200A, 3}, {0x200A, 4}}},
      {"past the last part", {{0x2008, 1}, {0x200A, 5}, {0x6207, 0}}},
  };
  for (const auto& k : broken) {
    SCOPED_TRACE(k.name);
    for (const auto& [id, index] : k.parts) dispatch(id, index, part(std::clamp<int>(index, 1, 4)).c_str());
    EXPECT_EQ(text(mainwindow::ctl::EditBarCode32), "QV2024BARCODE16X");
  }
  // A part 1 afresh drops what came before it; the four parts in order show the whole barcode.
  dispatch(0x6207, 1, "41 42");
  for (int n = 1; n <= 4; ++n) dispatch(0x6207, static_cast<uint16_t>(n), part(n).c_str());
  EXPECT_EQ(text(mainwindow::ctl::EditBarCode32).toStdString(), full);
}

TEST_F(PackDispatch, ShippingModeTicksBothBoxes) {
  dispatch(0x200B, 0, "03");
  for (Control box : {mainwindow::ctl::CheckBoxSippingMode, mainwindow::ctl::CheckBoxShippingModeReadOnly}) {
    EXPECT_TRUE(controls_.checked(box));
    EXPECT_EQ(controls_.text(box), "Enabled");
  }
  dispatch(0x200B, 0, "FE");
  for (Control box : {mainwindow::ctl::CheckBoxSippingMode, mainwindow::ctl::CheckBoxShippingModeReadOnly}) {
    EXPECT_FALSE(controls_.checked(box));
    EXPECT_EQ(controls_.text(box), "Disabled");
  }
}

TEST_F(PackDispatch, CellsGoToBoxesAndReportAndTheSpreadKeepsEarlierCells) {
  controls_.setText(mainwindow::ctl::EditCellSeries, "13");
  setCells(3200);  // cells 1..13: 3200..3212
  dispatch(0x1001, 2, "0C E4 0C E5 0C E6 0C E7");
  for (int n = 5; n <= 8; ++n) {
    EXPECT_EQ(text(mainwindow::ctl::kCellEdits[n - 1]), QString::number(3300 + n - 5));
    EXPECT_EQ(reportCell(n), static_cast<uint32_t>(3300 + n - 5));
  }
  EXPECT_EQ(reportCell(13), 3212u);
  EXPECT_EQ(text(mainwindow::ctl::Edit_HVlot), "3303");
  EXPECT_EQ(text(mainwindow::ctl::Edit_LVolt), "3200");
  EXPECT_EQ(text(mainwindow::ctl::Edit_VoltDiff), "103");

  dispatch(0x1001, 4, "0B B8 FF FF");  // cell 13 alone
  EXPECT_EQ(text(mainwindow::ctl::EditVCell13), "3000");
  EXPECT_EQ(text(mainwindow::ctl::Edit_LVolt), "3000");
  EXPECT_EQ(reportCell(14), 0u);
}

TEST_F(PackDispatch, SpreadCountComesFromTheSeriesBoxWithinTheCells) {
  setCells(3200);
  const struct {
    const char* series;
    const char* high;
    const char* low;
  } cases[] = {
      {"0", "3200", "3200"},   {"1", "3200", "3200"},  {"4", "3203", "3200"},
      {"99", "3212", "3200"},  // no further than the thirteen cells
      {"abc", "3200", "3200"}, {"-5", "3200", "3200"}, {"", "3200", "3200"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.series);
    controls_.setText(mainwindow::ctl::EditCellSeries, c.series);
    dispatch(0x1001, 1, "0C 80 0C 81 0C 82 0C 83");
    EXPECT_EQ(text(mainwindow::ctl::Edit_HVlot), c.high);
    EXPECT_EQ(text(mainwindow::ctl::Edit_LVolt), c.low);
    EXPECT_EQ(text(mainwindow::ctl::Edit_VoltDiff),
              QString::number(text(mainwindow::ctl::Edit_HVlot).toInt() - text(mainwindow::ctl::Edit_LVolt).toInt()));
  }
}

TEST_F(PackDispatch, FirmwareIdIsSetAfreshEveryCycle) {
  for (int cycle = 0; cycle < 100; ++cycle) dispatch(0x0001, 2, "51 56 55 32 2D 31 33 53");
  EXPECT_EQ(text(mainwindow::ctl::EditFWID), "QVU2-13S");
  EXPECT_EQ(state_.firmwareIdText.text(), QByteArray("QVU2-13S"));
  dispatch(0x0001, 2, "41 42 00 43");
  EXPECT_EQ(text(mainwindow::ctl::EditFWID), "AB");
}

TEST_F(PackDispatch, UnlistedMessagesChangeNothingAndAllReachTheListenersInOrder) {
  std::vector<std::string> log;
  RecordingListener first(log, "unit"), second(log, "lead");
  dispatcher_.addListener(&first);
  dispatcher_.addListener(&second);
  controls_.takeChanged();

  const struct {
    uint16_t id;
    uint16_t index;
  } unlisted[] = {{0x6600, 0}, {0x0001, 1}, {0x0009, 4}, {0x1001, 5}, {0x1001, 0}, {0x100C, 14},
                  {0x100C, 0}, {0x1005, 1}, {0x1002, 0}, {0x1006, 0}, {0x200B, 1}};
  for (const auto& m : unlisted) {
    SCOPED_TRACE(m.id);
    log.clear();
    dispatch(m.id, m.index, "07 01 02 03 04 05 06 07");
    EXPECT_TRUE(controls_.takeChanged().empty());
    const std::string tail = QStringLiteral(" %1 %2 7").arg(m.id, 4, 16, QChar('0')).arg(m.index).toStdString();
    EXPECT_EQ(log, (std::vector<std::string>{"unit" + tail, "lead" + tail}));
  }

  log.clear();
  // A barcode shown here once whole, and every part handed over all the same.
  for (uint16_t part = 1; part <= 4; ++part) dispatch(0x6207, part, "41");
  EXPECT_EQ(text(mainwindow::ctl::EditBarCode32), "AAAA");
  EXPECT_EQ(log.size(), 8u);
}

TEST(CellSpread, MaxAndMinOfTheFirstValues) {
  const uint32_t values[] = {5, 0xFFFFFFFF, 1, 7};
  EXPECT_EQ(mainwindow::MaxOfU32(values, 0), 5u);
  EXPECT_EQ(mainwindow::MinOfU32(values, 1), 5u);
  EXPECT_EQ(mainwindow::MaxOfU32(values, 4), 0xFFFFFFFFu);
  EXPECT_EQ(mainwindow::MinOfU32(values, 3), 1u);
}

}  // namespace
}  // namespace qv
