// The EEPROM window's decoders without a pack: the header handlers, the record assembler and the record line,
// the names of the save files and the bytes of a page file.

#include "eeprom/EepBlocks.h"
#include "eeprom/EepHeader.h"
#include "eeprom/EepSave.h"
#include "eeprom/EepromRecords.h"
#include "link/PackMessages.h"
#include "mainwindow/MainState.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <array>

namespace qv::eeprom {
namespace {

using test::hex;

std::array<uint8_t, 8> bytes8(const char* spaced) {
  const QByteArray b = hex(spaced);
  std::array<uint8_t, 8> out{};
  for (int i = 0; i < 8 && i < b.size(); ++i) out[i] = static_cast<uint8_t>(b[i]);
  return out;
}

class HeaderHandlers : public ::testing::Test {
 protected:
  void send(uint16_t id, uint16_t index, const char* data) {
    const auto d = bytes8(data);
    records.HandlePackMessage(id, index, d.data());
  }
  QString line(int n) { return EepHeaderLines(records.header()).at(n - 1); }

  mainwindow::MainState state;
  EepromRecords records{state};
};

TEST_F(HeaderHandlers, ItemsLandInTheirLinesAndForeignIndexesChangeNothing) {
  send(0x6101, 0, "58 59 5A 02 00 00 00 00");
  EXPECT_EQ(line(3), "ID :   XYZ2");
  send(0x6101, 1, "41 41 41 01 00 00 00 00");  // not an index of the ID
  EXPECT_EQ(line(3), "ID :   XYZ2");

  send(0x6204, 1, "41 42 43 44 45 46 47 48");
  send(0x6204, 0, "5A 5A 5A 5A 5A 5A 5A 5A");
  send(0x6204, 3, "5A 5A 5A 5A 5A 5A 5A 5A");
  EXPECT_EQ(line(13), "Cell type 16 Bytes :   ABCDEFGH   ");
  EXPECT_EQ(mainwindow::evtText(state.report.snapshot().cellType), "ABCDEFGH");

  send(0x6300, 0, "FF FF 00 00 00 00 00 00");
  EXPECT_EQ(line(19), "Charge Start Total :   65535   times");
  EXPECT_EQ(state.report.snapshot().chargeEventTotal, 65535);
  send(0x6301, 0, "00 0C 00 00 00 00 00 00");
  EXPECT_EQ(state.report.snapshot().dischargeEventTotal, 12);

  send(0x6404, 0, "00 00 00 05 FF FF FF F6");
  EXPECT_EQ(line(38), "CUT Total :   5   times");
  EXPECT_EQ(line(39), "Min Temperature :   -10   Deg. C");
  send(0x6202, 0, "50 00 00 00 00 00 00 00");
  EXPECT_EQ(line(11), "Warranty Design Capacity percentage:   80   %");
}

TEST_F(HeaderHandlers, TheBarcodeShowsItsThirtyTwoCharactersAndNothingAfterThem) {
  const char* parts[] = {"51 56 32 30 32 34 42 41", "52 43 4F 44 45 33 32 2D", "30 31 32 33 34 35 36 37",
                         "38 39 41 42 43 44 45 46"};
  for (uint16_t i = 1; i <= 4; ++i) send(0x6207, i, parts[i - 1]);
  send(0x6300, 0, "12 34 00 00 00 00 00 00");  // the field after the barcode in the pack's block
  EXPECT_EQ(line(16), "Barcode32 :   QV2024BARCODE32-0123456789ABCDEF   ");
  // The barcode field is the shared one the barcode commands read.
  EXPECT_EQ(QByteArray(state.records.CanBarcodeBuffer.snapshot().data(), 32), "QV2024BARCODE32-0123456789ABCDEF");
  records.zeroHeader();
  EXPECT_EQ(line(16), "Barcode32 :      ");
  EXPECT_EQ(state.records.CanBarcodeBuffer.snapshot(), mainwindow::BarcodeField{});
}

TEST(HeaderText, AnEmptyRecordGivesFortyFourLinesInTheirSections) {
  const QStringList lines = EepHeaderLines({});
  ASSERT_EQ(lines.size(), 44);
  EXPECT_EQ(lines.first(), "1. EEPROM Header Block : Unit Section ");
  EXPECT_EQ(lines.last(), "SC Total :   0   times");
  for (int separator : {7, 17, 28}) EXPECT_EQ(lines.at(separator - 1), QString("\n\r")) << separator;
  EXPECT_EQ(lines.at(21), "Deep Sleep Total :   0 times");  // before the wake-up line
  EXPECT_EQ(lines.at(22), "Wake Up Total :   0 times");
}

// A record as the pack lays it out, bytes 0 to 31, and the parts it arrives in.
struct RecordCase {
  const char* what;
  EepList list;
  uint32_t number;
  std::array<const char*, 4> parts;
  uint8_t answered;
  const char* line;
};

const RecordCase kRecordCases[] = {
    // clang-format off
    {"protection, discharge OC", EepList::Protect, 12,
     {"12 07 03 0E 05 09 FF FF", "88 DC 00 00 9C B8 23 1F", "00 0C 39 00 44 00 00 00", "00 00 00 00 00 00 00 00"},
     0x0F,
     "0012 , Date : 2018.7.3 , Time : 14.5.9 , Protect , Discharge , OC , SOC  : 35 % , Voltage  : 40120 mV , "
     "Current  : -30500 mA , T1  : 31 Deg.C , VoltDiff  : 12 mV , Cycle Cnt  : 57  , "},
    {"causes in their order, T1 below zero", EepList::Lead, 7,
     {"12 07 03 0E 05 09 FF FF", "88 CC 00 00 00 64 05 F6", "00 00 00 00 49 00 00 00", "00 00 00 00 00 00 00 00"},
     0x0F,
     "0007 , Date : 2018.7.3 , Time : 14.5.9 , Protect , Discharge , SC , OV , SOC  : 5 % , Voltage  : 100 mV , "
     "Current  : -30516 mA , T1  : -10 Deg.C , VoltDiff  : 0 mV , Cycle Cnt  : 0  , "},
    {"event on the protection page", EepList::Protect, 1000,
     {"12 01 02 03 04 05 00 00", "00 00 00 00 00 00 00 00", "00 00 00 00 81 00 00 00", "00 00 00 00 00 00 00 00"},
     0x0F,
     "1000 , Date : 2018.1.2 , Time : 3.4.5 , Event , Event : Charge Start , SOC  : 0 % , Voltage  : 0 mV , "
     "Current  : 0 mA , T1  : 0 Deg.C , VoltDiff  : 0 mV , Cycle Cnt  : 0  , "},
    {"event on the LAST page, unnamed code", EepList::Last, 42,
     {"12 01 02 03 04 05 00 00", "00 00 00 00 00 00 00 00", "00 00 00 00 9F 00 00 00", "00 00 00 00 00 00 00 00"},
     0x0F,
     "0042 , Date : 2018.1.2 , Time : 3.4.5 , Event ,   , SOC  : 0 % , Voltage  : 0 mV , Current  : 0 mA , "
     "T1  : 0 Deg.C , VoltDiff  : 0 mV , Cycle Cnt  : 0  , "},
    {"parts 1 and 3 missing", EepList::Lead, 3,
     {nullptr, "00 01 00 00 00 64 05 01", nullptr, "00 00 00 00 00 00 00 00"},
     0x0A,
     "0003 , Date : 2000.0.0 , Time : 0.0.0 , Protect , Charge , SOC  : 5 % , Voltage  : 100 mV , "
     "Current  : 1 mA , T1  : 1 Deg.C , VoltDiff  : 0 mV , Cycle Cnt  : 0  , Incomplete, missing part : 1 3 , "},
    // clang-format on
};

TEST(RecordLine, EachRecordReadsAsItsLine) {
  for (const RecordCase& c : kRecordCases) {
    SCOPED_TRACE(c.what);
    mainwindow::EepBlockBuffer b;
    uint32_t count = 0;
    const uint16_t id = eepListIds(c.list).record;
    for (uint16_t part = 1; part <= 4; ++part) {
      if (c.parts[part - 1] == nullptr) continue;
      const auto d = bytes8(c.parts[part - 1]);
      AssembleRecord(c.list, b, count, id, part, d.data());
    }
    EXPECT_EQ(EepRecordLine(c.list, c.number, b, c.answered), c.line);
  }
}

TEST(RecordLine, TheUrPagesNameTheEventsUpToStorageTemp) {
  EXPECT_EQ(UrEventName(128), "Reserve");
  EXPECT_EQ(UrEventName(139), "Storage Temp");
  for (uint8_t code : {140, 141, 142, 143, 255}) EXPECT_EQ(UrEventName(code), " ") << int(code);
}

TEST(RecordAssembler, CountsSumsAndOtherListsMessages) {
  mainwindow::EepBlockBuffer b;
  uint32_t count = 0;
  const auto d = bytes8("00 19 00 00 00 00 00 00");
  AssembleRecord(EepList::Lead, b, count, link::msg::kEepLeadCount, 0, d.data());
  EXPECT_EQ(count, 25u);
  AssembleRecord(EepList::Lead, b, count, link::msg::kEepLeadCount, 1, bytes8("00 05").data());
  AssembleRecord(EepList::Lead, b, count, link::msg::kEepLastCount, 0, bytes8("00 05").data());
  AssembleRecord(EepList::Lead, b, count, link::msg::kEepLeadRecord, 5, bytes8("01").data());
  EXPECT_EQ(count, 25u);
  EXPECT_EQ(b.partsReceived, 0);

  // The record sum: bytes 0 to 29 summed, its low 16 bits in bytes 30 and 31.
  AssembleRecord(EepList::Last, b, count, link::msg::kEepLastRecord, 1, bytes8("FF FF FF FF FF FF FF FF").data());
  AssembleRecord(EepList::Last, b, count, link::msg::kEepLastRecord, 4, bytes8("00 00 00 00 00 00 07 F8").data());
  EXPECT_EQ(b.byteSum, 8u * 255);
  EXPECT_EQ(b.valid, 1);
  EXPECT_EQ(b.partsReceived, 0x09);
  AssembleRecord(EepList::Last, b, count, link::msg::kEepLastRecord, 4, bytes8("00 00 00 00 00 00 07 F7").data());
  EXPECT_EQ(b.valid, 0);
}

TEST(SaveNames, NamesFromThePackAreMadeSafeAndValidOnesKept) {
  const struct {
    const char* id;
    const char* version;
    const char* name;
  } cases[] = {
      // clang-format off
      {"", "01.05", "EEP_NULL"},
      {"ABC123", "01.05", "EEP_ABC123_V01.05"},
      {"QV-13S 4P", "1.2", "EEP_QV-13S 4P_V1.2"},
      {"../etc", "01.05", "EEP___etc_V01.05"},
      {"A/B\\C", "0..1", "EEP_A_B_C_V0_1"},
      {"A\x01\x1F" "B", "\x7F", "EEP_A__B_V_"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(EepSaveName(QString::fromLatin1(c.id), QString::fromLatin1(c.version)), QString::fromLatin1(c.name));
  }
  EXPECT_EQ(EepSaveName(QString(72, 'A'), "1"), "EEP_" + QString(60, 'A'));  // bounded
  EXPECT_EQ(SafeFileName("..."), "_.");
  EXPECT_EQ(SafeFileName("."), "_");
}

TEST(SaveFiles, APageIsItsLinesEachEndedByCrLfTheSeparatorKept) {
  EXPECT_EQ(EepPageFileBytes({}), QByteArray());
  EXPECT_EQ(EepPageFileBytes({"Total Bytes :   0", "\n\r", QString::fromLatin1("\xB0")}),
            QByteArray("Total Bytes :   0\r\n\n\r\r\n\xB0\r\n"));
  EXPECT_EQ(ProtectLogHeader(),
            "Date, Time, Pack Current (mA), Pack Voltage (mV), SOC, T1(Deg.C), Volt Diff, Cycle Count, "
            "Ptt/Evt Flag, Chg/Dsg, UT, OT, SC, OC, UV, OV, Event, \r\n");
}

}  // namespace
}  // namespace qv::eeprom
