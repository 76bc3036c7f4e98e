// The CAN barcode commands in the whole program while CAN monitoring runs against the simulated CAN pack: the
// read and the write in each form, a pack that answers no form, a refused part, the capacity lookup with and
// without the table, the choice kept in EVT.ini, and a read clicked during the polling loop's own start-up read.

#include "CanServiceRig.h"

#include "commands/CanBarcodeCommands.h"
#include "mainwindow/EvtIni.h"
#include "support/CurrentFolder.h"
#include "support/OnWorker.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>
#include <utility>
#include <vector>

namespace qv {
namespace {

namespace c = mainwindow::ctl;
using sim::CanPack;
using test::hex;
using test::Request;
using test::waitFor;

constexpr int kBarcode32 = 0;
constexpr int kBarcode16 = 1;

class CanBarcodeRoad : public test::CanServiceRig {
 protected:
  // The barcode requests the program wrote, as (command, index), in order.
  std::vector<std::pair<uint16_t, uint16_t>> barcodeRequests() const {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (const test::CanWritten& s : sent()) {
      if (s.id != 0x440) continue;
      const auto u8 = [&](int i) { return static_cast<uint8_t>(s.data[i]); };
      const uint16_t command = static_cast<uint16_t>(u8(0) << 8 | u8(1));
      if (command == 0x200A || command == 0x000A || command == 0x2008)
        out.emplace_back(command, static_cast<uint16_t>(u8(2) << 8 | u8(3)));
    }
    return out;
  }

  test::ScopedCurrentFolder folder;
};

using Faults = std::function<void(sim::CanPackFaults&)>;

TEST_F(CanBarcodeRoad, ReadInEachFormWithTheCapacityLookup) {
  ASSERT_TRUE(folder.entered());
  ASSERT_TRUE(test::ScopedCurrentFolder::write("VM_CAP.CSV", "Key,Wh\nQV32BC,500\nQV16BC,250\n"));
  using P = std::vector<std::pair<uint16_t, uint16_t>>;
  P nine3s(10, {0x200A, 3});
  P partThreeMissing = {{0x200A, 1}, {0x200A, 2}};
  partThreeMissing.insert(partThreeMissing.end(), nine3s.begin(), nine3s.end());
  partThreeMissing.emplace_back(0x200A, 4);
  P altOnly(3, {0x000A, 1});
  altOnly.insert(altOnly.end(), 3, {0x000A, 2});
  altOnly.insert(altOnly.end(), {{0x2008, 1}, {0x2008, 2}});
  const struct {
    const char* name;
    int form;
    Faults faults;
    P requests;  // empty: not compared
    const char* label;
    const char* barcode;
    const char* energy;
  } cases[] = {
      // clang-format off
      {"Barcode32", kBarcode32, [](sim::CanPackFaults&) {}, {{0x200A, 1}, {0x200A, 2}, {0x200A, 3}, {0x200A, 4}},
       "OK", "QV32BC24050700000000000000000001", "500"},
      {"Barcode32, part 3 never answered", kBarcode32,
       [](sim::CanPackFaults& f) { f.unanswered = {{0x200A, 3}}; }, partThreeMissing, "NG", "QV32BC2405070000",
       "500"},
      {"Barcode32, part 2 refused", kBarcode32,
       [](sim::CanPackFaults& f) { f.refused = {{0x200A, 2, -1, 0x01}}; }, {}, "NG", "QV32BC24", "500"},
      {"Barcode16", kBarcode16, [](sim::CanPackFaults&) {}, {{0x000A, 1}, {0x000A, 2}}, "OK", "QV16BC2405070001",
       "250"},
      {"Barcode16, the second ID only", kBarcode16,
       [](sim::CanPackFaults& f) { f.unanswered = {{0x000A, CanPack::kAnyIndex}}; }, altOnly, "OK", "", "keep"},
      {"Barcode16, no form answered", kBarcode16,
       [](sim::CanPackFaults& f) { f.unanswered = {{0x000A, CanPack::kAnyIndex}, {0x2008, CanPack::kAnyIndex}}; },
       {}, "NG", "", "keep"},
      {"no form chosen", -1, [](sim::CanPackFaults&) {}, {}, "-", "", "keep"},
      // clang-format on
  };
  run();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    setFaults(k.faults);
    adapter->clearWritten();
    controls().setItemIndex(c::RadioGroupBarcodeSelect, k.form);
    controls().setText(c::Edit_Barcode32_RW, "EARLIER-BARCODE-THAT-IS-LONGER-X");
    controls().setText(c::Edit_Battery_Capacity_BRCAN, "keep");
    controls().setText(c::Label_Barcode_R, "x");
    clickAndWait(c::SpdBtn_Barcode32_R);
    if (!k.requests.empty()) {
      EXPECT_EQ(barcodeRequests(), k.requests);
    }
    if (k.form < 0) {
      EXPECT_TRUE(barcodeRequests().empty());
    }
    EXPECT_EQ(text(c::Label_Barcode_R), k.label);
    EXPECT_EQ(text(c::Edit_Barcode32_RW), k.barcode);
    EXPECT_EQ(text(c::Edit_Battery_Capacity_BRCAN), k.energy);
  }

  // Without the table, and with a barcode the table does not hold, the energy keeps its text.
  setFaults([](sim::CanPackFaults&) {});
  controls().setItemIndex(c::RadioGroupBarcodeSelect, kBarcode32);
  for (bool withTable : {false, true}) {
    SCOPED_TRACE(withTable ? "a barcode the table lacks" : "no table");
    if (withTable) {
      ASSERT_TRUE(test::ScopedCurrentFolder::write("VM_CAP.CSV", "Key,Wh\nXX,1\n"));
    } else {
      ASSERT_TRUE(QFile::remove("VM_CAP.CSV"));
    }
    controls().setText(c::Edit_Battery_Capacity_BRCAN, "keep");
    clickAndWait(c::SpdBtn_Barcode32_R);
    EXPECT_EQ(text(c::Label_Barcode_R), "OK");
    EXPECT_EQ(text(c::Edit_Battery_Capacity_BRCAN), "keep");
  }
}

TEST_F(CanBarcodeRoad, WriteInEachForm) {
  const struct {
    const char* name;
    int form;
    const char* text;
    Faults faults;
    uint16_t command;
    std::vector<QByteArray> parts;  // the data of each part sent, in order
    const char* label;
    Colour font;
  } cases[] = {
      // clang-format off
      {"Barcode32, ten characters", kBarcode32, "QVNEW12345", [](sim::CanPackFaults&) {}, 0x4009,
       {"QVNEW123", hex("34 35 00 00 00 00 00 00"), QByteArray(8, '\0'), QByteArray(8, '\0')}, "OK", colour::Blue},
      {"Barcode16, twenty characters", kBarcode16, "ABCDEFGHIJKLMNOPQRST", [](sim::CanPackFaults&) {}, 0x4008,
       {"ABCDEFGH", "IJKLMNOP"}, "OK", colour::Blue},
      {"Barcode32, part 4 refused", kBarcode32, "QVNEW12345",
       [](sim::CanPackFaults& f) { f.refused = {{0x4009, 4, -1, 0x01}}; }, 0x4009, {}, "NG", colour::Red},
      {"empty edit", kBarcode32, "", [](sim::CanPackFaults&) {}, 0x4009, {}, "NG", colour::Red},
      // clang-format on
  };
  run();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    setFaults(k.faults);
    adapter->clearWritten();
    controls().setItemIndex(c::RadioGroupBarcodeSelect, k.form);
    controls().setText(c::Edit_Barcode32_RW, k.text);
    controls().setText(c::Label_Barcode_W, "x");
    clickAndWait(c::SpdBtn_Barcode32_W);
    EXPECT_EQ(text(c::Label_Barcode_W), k.label);
    EXPECT_EQ(controls().fontColor(c::SpdBtn_Barcode32_W), k.font);
    const std::vector<Request> r = requests(k.command);
    if (!k.parts.empty()) {
      ASSERT_EQ(r.size(), k.parts.size());
      for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(static_cast<uint8_t>(r[i].request[3]), i + 1);
        EXPECT_EQ(r[i].data, k.parts[i]) << i;
      }
    }
    if (QByteArray(k.text).isEmpty()) {
      EXPECT_TRUE(r.empty());
    }
  }
  EXPECT_EQ(pack->state().barcode32.left(10), "QVNEW12345");
  EXPECT_EQ(pack->state().barcode16, "ABCDEFGHIJKLMNOP");
}

// A part counts as read only when its data came under its accepted header: headers whose data is lost on the
// way read nothing, and the read says so.
TEST_F(CanBarcodeRoad, APartWhoseDataIsLostIsNotRead) {
  const struct {
    const char* name;
    int form;
    uint16_t command;
    uint16_t index;
    const char* barcode;
  } cases[] = {
      {"Barcode32, part 1's data lost", kBarcode32, 0x200A, 1, ""},
      {"Barcode32, part 3's data lost", kBarcode32, 0x200A, 3, "QV32BC2405070000"},
      // The second form's read starts from an empty edit.
      {"Barcode16, part 2's data lost", kBarcode16, 0x000A, 2, ""},
  };
  run();
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    // The second 16-character form is not answered: the read stands on the first form alone.
    setFaults([](sim::CanPackFaults& f) { f.unanswered = {{0x2008, CanPack::kAnyIndex}}; });
    sim::Faults f;
    f.schedule = [k, loseNext = false](int64_t, const QByteArray& frame) mutable {
      const auto u8 = [&](int i) { return static_cast<uint8_t>(frame[i]); };
      const uint32_t id = static_cast<uint32_t>(u8(7) << 8 | u8(8));
      if (id == 0x443) return std::exchange(loseNext, false) ? sim::Fate::Lose : sim::Fate::Deliver;
      loseNext = id == 0x442 && (u8(9) << 8 | u8(10)) == k.command && (u8(11) << 8 | u8(12)) == k.index;
      return sim::Fate::Deliver;
    };
    adapter->setFaults(f);
    controls().setItemIndex(c::RadioGroupBarcodeSelect, k.form);
    controls().setText(c::Label_Barcode_R, "x");
    clickAndWait(c::SpdBtn_Barcode32_R);
    adapter->setFaults({});
    EXPECT_EQ(text(c::Label_Barcode_R), "NG");
    EXPECT_EQ(text(c::Edit_Barcode32_RW), k.barcode);
  }
}

// Part 1's data lost, then part 2's header: part 2's data must not be taken for part 1's, whose header came
// before the request for part 2 went out.
TEST_F(CanBarcodeRoad, DataAfterALostHeaderIsNotTheOpenHeadersOwn) {
  run();
  setFaults([](sim::CanPackFaults& f) { f.unanswered = {{0x2008, CanPack::kAnyIndex}}; });
  sim::Faults f;
  f.schedule = [loseData = false, headersLost = 0](int64_t, const QByteArray& frame) mutable {
    const auto u8 = [&](int i) { return static_cast<uint8_t>(frame[i]); };
    const uint32_t id = static_cast<uint32_t>(u8(7) << 8 | u8(8));
    if (id == 0x443) return std::exchange(loseData, false) ? sim::Fate::Lose : sim::Fate::Deliver;
    if (id != 0x442 || (u8(9) << 8 | u8(10)) != 0x000A) return sim::Fate::Deliver;
    const int index = u8(11) << 8 | u8(12);
    loseData = index == 1;
    return index == 2 && headersLost++ == 0 ? sim::Fate::Lose : sim::Fate::Deliver;
  };
  adapter->setFaults(f);
  controls().setItemIndex(c::RadioGroupBarcodeSelect, kBarcode16);
  clickAndWait(c::SpdBtn_Barcode32_R);
  adapter->setFaults({});
  EXPECT_EQ(text(c::Label_Barcode_R), "NG");
  EXPECT_EQ(text(c::Edit_Barcode32_RW), "");
}

// A barcode in Big5 shows its characters, finds its line of the table by its bytes, and goes back to the pack as
// the bytes it came as.
TEST_F(CanBarcodeRoad, AChineseBarcodeShowsItsCharactersAndIsWrittenBackAsItsBytes) {
  ASSERT_TRUE(folder.entered());
  const QByteArray bytes = QByteArray::fromHex("b1f8bd58") + "123";
  ASSERT_TRUE(test::ScopedCurrentFolder::write("VM_CAP.CSV", "Key,Wh\n" + bytes.left(4) + ",420\n"));
  sim::CanPackState s = pack->state();
  s.barcode32 = bytes + QByteArray(32 - bytes.size(), '\0');
  pack->setState(s);
  run();
  controls().setItemIndex(c::RadioGroupBarcodeSelect, kBarcode32);
  clickAndWait(c::SpdBtn_Barcode32_R);
  EXPECT_EQ(text(c::Edit_Barcode32_RW), QStringLiteral("條碼123"));
  EXPECT_EQ(text(c::Edit_Battery_Capacity_BRCAN), "420");

  s.barcode32 = QByteArray(32, '\0');
  pack->setState(s);
  clickAndWait(c::SpdBtn_Barcode32_W);
  EXPECT_EQ(text(c::Label_Barcode_W), "OK");
  EXPECT_EQ(pack->state().barcode32, bytes + QByteArray(32 - bytes.size(), '\0'));
}

TEST_F(CanBarcodeRoad, TheChoiceIsWrittenIntoEvtIniInPlace) {
  ASSERT_TRUE(folder.entered());
  const QByteArray before =
      "; line test settings\r\n[Set]\r\nTestRepeatCnt=3\r\nBarcodeModeENG = 0 \r\nBarcodeMode=1\r\n\r\n"
      "[Check]\r\nT1=25\r\n";
  ASSERT_TRUE(test::ScopedCurrentFolder::write("EVT.ini", before));
  controls().setEnabled(c::GroupBox34, false);
  controls().setItemIndex(c::RadioGroupBarcodeSelect, kBarcode16);
  tool->FormMain.onEvent(c::RadioGroupBarcodeSelect, UiEvent::Click);

  EXPECT_TRUE(controls().enabled(c::GroupBox34));
  EXPECT_EQ(tool->state.records.EVT_TEST_SET.snapshot().BarcodeModeENG, 1);
  QFile f("EVT.ini");
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  QByteArray expected = before;
  expected.replace("BarcodeModeENG = 0 ", "BarcodeModeENG = 1 ");
  EXPECT_EQ(f.readAll(), expected);
  f.close();

  // Read back at the next start; a value other than 0 or 1 selects no item.
  controls().setItemIndex(c::RadioGroupBarcodeSelect, -1);
  mainwindow::LoadEvtIni(tool->state.records, controls());
  EXPECT_EQ(controls().itemIndex(c::RadioGroupBarcodeSelect), kBarcode16);
  ASSERT_TRUE(test::ScopedCurrentFolder::write("EVT.ini", "[Set]\nBarcodeModeENG=2\n"));
  mainwindow::LoadEvtIni(tool->state.records, controls());
  EXPECT_EQ(controls().itemIndex(c::RadioGroupBarcodeSelect), -1);

  // EVT.ini that cannot be written (a folder of that name): the field takes -1, the group keeps the choice.
  ASSERT_TRUE(QFile::remove("EVT.ini"));
  ASSERT_TRUE(QDir().mkdir("EVT.ini"));
  controls().setItemIndex(c::RadioGroupBarcodeSelect, kBarcode32);
  tool->FormMain.onEvent(c::RadioGroupBarcodeSelect, UiEvent::Click);
  EXPECT_EQ(tool->state.records.EVT_TEST_SET.snapshot().BarcodeModeENG, -1);
  EXPECT_EQ(controls().itemIndex(c::RadioGroupBarcodeSelect), kBarcode32);
}

TEST_F(CanBarcodeRoad, AReadClickedDuringTheStartUpReadWaitsForIt) {
  // Only the second 16-character ID answers: the start-up read tries every form, long enough for the click.
  test::ScopedTimeScale slower{0.1};  // a start-up read long enough for the click to come in its first form
  setFaults([](sim::CanPackFaults& f) { f.unanswered = {{0x200A, CanPack::kAnyIndex}, {0x000A, CanPack::kAnyIndex}}; });
  tool->FormMain.onEvent(c::SpdBtnRUN, UiEvent::Click);
  // Clicked once the start-up read has begun.
  ASSERT_TRUE(waitFor([&] { return !barcodeRequests().empty(); }));
  ASSERT_TRUE(controls().enabled(c::SpdBtn_Barcode32_R));
  tool->FormMain.onEvent(c::SpdBtn_Barcode32_R, UiEvent::Click);

  // The start-up read whole (Barcode32, then Barcode16 under both IDs), then the click's (the form the start-up
  // left chosen): no request of one between those of the other.
  using P = std::vector<std::pair<uint16_t, uint16_t>>;
  P expected;
  for (uint16_t part = 1; part <= 4; ++part) expected.insert(expected.end(), 10, {0x200A, part});
  for (int read = 0; read < 2; ++read) {
    expected.insert(expected.end(), 3, {0x000A, 1});
    expected.insert(expected.end(), 3, {0x000A, 2});
    expected.insert(expected.end(), {{0x2008, 1}, {0x2008, 2}});
  }
  ASSERT_TRUE(waitFor([&] { return barcodeRequests().size() >= expected.size(); }));
  ASSERT_TRUE(waitFor([&] { return controls().enabled(c::SpdBtn_Barcode32_R); }));
  EXPECT_EQ(barcodeRequests(), expected);
  EXPECT_EQ(text(c::Label_Barcode_R), "OK");
}

TEST_F(CanBarcodeRoad, WithoutACanRunTheReadersSendNothing) {
  test::onWorker([&] {
    EXPECT_FALSE(commands::CanReadBarcode32(tool->link, tool->state));
    EXPECT_FALSE(commands::CanReadBarcode16(tool->link, tool->state));
    EXPECT_FALSE(commands::CanReadBarcode16Alt(tool->link, tool->state));
    EXPECT_FALSE(commands::CanReadBarcode(tool->link, tool->state));
  });
  EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace qv
