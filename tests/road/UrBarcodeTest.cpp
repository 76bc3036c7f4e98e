// The UR barcode read and write in the whole program over simulated UR2 and UR96 packs that answer some of the
// barcode kinds: which kind is found and how, the edit and panel texts, the write frames and their read-back, a
// pack that answers no kind, a refused part, and the UR2 polling loop's barcode reads.

#include "ProgramRig.h"
#include "mainwindow/Monitor.h"
#include "support/OnWorker.h"

#include <mutex>

namespace qv {
namespace {

using test::data;
using test::req;
using test::ctl::BitBtn1;
using test::ctl::BitBtnBarCodeRead;
using test::ctl::BitBtnBarCodeWrite;
using test::ctl::EditBarCode32;
using test::ctl::StatusBarView;

constexpr uint16_t kEep = 0x6207, k32 = 0x200A, k16 = 0x2008, k16First = 0x000A;

const char* const kBarcode32 = "QV2024BARCODE32-0123456789ABCDEF";
const char* const kBarcode16 = "QV2024BARCODE16X";

struct Answers {
  bool eep = false, b32 = false, b16 = false, b16First = false;
};

class UrBarcode : public test::ProgramRig {
 public:
  void startWith(const std::string& setup, Answers a) {
    start(setup);
    panelAt.clear();
    requestsWhileFree = 0;
    setPack([&](sim::Ur2PackState& s) {
      s.answersBarcode32Eep = a.eep;
      s.answersBarcode32 = a.b32;
      s.answersBarcode16 = a.b16;
      s.answersBarcode16First = a.b16First;
    });
    // Panel 2 as each barcode request goes out.
    peek->onRequest = [this](const QByteArray& f) {
      if (f.size() != 13 || f[2] != 1) return;
      const auto id = static_cast<uint16_t>(static_cast<uint8_t>(f[3]) << 8 | static_cast<uint8_t>(f[4]));
      if (id != kEep && id != k32 && id != k16) return;
      const bool heldOff = !c().enabled(BitBtnBarCodeRead) && !c().enabled(BitBtnBarCodeWrite) &&
                           !c().enabled(test::ctl::SpdBtnRUN) && tool->state.RunFlag.running();
      std::lock_guard lock(m);
      panelAt[id] = c().panel(StatusBarView, 2);
      if (!heldOff) ++requestsWhileFree;
    };
  }
  QString panelWhenAsked(uint16_t id) {
    std::lock_guard lock(m);
    return panelAt[id];
  }
  int barcodeRequests() const { return requestsOf(kEep) + requestsOf(k32) + requestsOf(k16); }

  std::mutex m;
  std::map<uint16_t, QString> panelAt;
  // Barcode requests sent while the barcode buttons or RUN were on, or the run flag down.
  int requestsWhileFree = 0;
};

TEST_F(UrBarcode, TheReadFindsTheFirstKindWhosePartsAllAnswer) {
  const struct Case {
    const char* name;
    std::string setup;
    Answers answers;
    int eep, b32, b16;  // requests sent per read message
    const char* edit;
    const char* mode;  // panel 1 after the read
  } cases[] = {
      // The EEPROM item is asked first, straight after a UR2 detection that left half an answer behind.
      {"UR2, all kinds", "ur2", {.eep = true, .b32 = true, .b16 = true}, 4, 0, 0, kBarcode32, ""},
      {"UR2, 0x200A only", "ur2", {.b32 = true}, 12, 4, 0, kBarcode32, ""},
      {"UR96, 0x2008 only", "ur96", {.b16 = true}, 12, 12, 2, kBarcode16, " UR96 Mode "},
      {"UR96, 0x6207 only", "ur96", {.eep = true}, 4, 0, 0, kBarcode32, " UR96 Mode "},
      {"UR2, only the CAN form 0x000A", "ur2", {.b16First = true}, 12, 12, 6, "", ""},
  };
  for (const Case& k : cases) {
    for (Control button : {BitBtnBarCodeRead, BitBtn1}) {
      SCOPED_TRACE(std::string(k.name) + " " + std::string(button.key()));
      startWith(k.setup, k.answers);
      c().setText(EditBarCode32, "operator's");
      c().setPanel(StatusBarView, 1, "");
      run(button);
      EXPECT_EQ(requestsOf(kEep), k.eep);
      EXPECT_EQ(requestsOf(k32), k.b32);
      EXPECT_EQ(requestsOf(k16), k.b16);
      EXPECT_EQ(requestsOf(k16First), 0);
      EXPECT_EQ(requestsWhileFree, 0);
      EXPECT_EQ(c().text(EditBarCode32), k.edit);
      EXPECT_EQ(c().panel(StatusBarView, 1), k.mode);
      EXPECT_EQ(c().panel(StatusBarView, 0), test::kStop);
      EXPECT_EQ(c().panel(StatusBarView, 2), " Barcode32 mode read to finished.");
      EXPECT_EQ(panelWhenAsked(kEep), k.eep > 0 ? " Barcode32 eep mode reading ..." : "");
      EXPECT_EQ(panelWhenAsked(k32), k.b32 > 0 ? " Barcode32 mode reading ..." : "");
      EXPECT_EQ(panelWhenAsked(k16), k.b16 > 0 ? " Barcode16 mode reading ..." : "");
      EXPECT_TRUE(c().enabled(BitBtnBarCodeRead));
      EXPECT_FALSE(c().enabled(BitBtn1));  // the UR page's button is never enabled
      expectCommandOver();
    }
  }
}

TEST_F(UrBarcode, AKindThatAnswersOnlyInPartIsNotFound) {
  // Part 3 of 0x200A is refused in every pass: Barcode32 is not the pack's kind, Barcode16 is.
  startWith("ur2", {.b32 = true, .b16 = true});
  pack->setFaults({.status = 1, .refused = k32, .refusedIndex = 3});
  run(BitBtnBarCodeRead);
  EXPECT_EQ(requestsOf(k32), 12);
  EXPECT_EQ(requestsOf(k16), 2);
  EXPECT_EQ(c().text(EditBarCode32), kBarcode16);
  EXPECT_FALSE(tool->urBarcode.flags().found(commands::BarcodeKind::Barcode32));
  EXPECT_TRUE(tool->urBarcode.flags().found(commands::BarcodeKind::Barcode16));

  // Only Barcode32 answers, in part: a barcode without its last part is not shown, the edit stays empty.
  startWith("ur2", {.b32 = true});
  pack->setFaults({.status = 1, .refused = k32, .refusedIndex = 4});
  run(BitBtnBarCodeRead);
  EXPECT_EQ(c().text(EditBarCode32), "");
  EXPECT_FALSE(tool->urBarcode.flags().any());
}

TEST_F(UrBarcode, ThePacksWithoutABarcodeGetNoBarcodeRequest) {
  // A UR74 pack: its mode is shown, no barcode is asked for.
  start("ur74");
  c().setText(EditBarCode32, "ABC");
  run(BitBtnBarCodeRead);
  EXPECT_EQ(c().panel(StatusBarView, 1), " UR74 Mode ");
  EXPECT_EQ(c().text(EditBarCode32), "");
  EXPECT_EQ(barcodeRequests(), 0);
  expectCommandOver();

  // No pack at all behind the adapter, and no adapter: the read still ends its way.
  start("can");
  run(BitBtnBarCodeRead);
  EXPECT_EQ(barcodeRequests(), 0);
  EXPECT_EQ(c().panel(StatusBarView, 2), " Barcode32 mode read to finished.");
  start();
  adapter->unplug();
  run(BitBtnBarCodeRead);
  EXPECT_TRUE(adapter->written().empty());
  EXPECT_EQ(c().panel(StatusBarView, 0), test::kStop);
  EXPECT_EQ(c().panel(StatusBarView, 2), " Barcode32 mode read to finished.");
  expectCommandOver();
}

TEST_F(UrBarcode, TheWriteSendsTheTextWithTheKindsMessageAndReadsBackTheSame) {
  const QString forty = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!#$%");
  const struct Case {
    const char* name;
    std::string setup;
    Answers answers;
    QString text;
    std::vector<QString> writes;  // the frames of the write, after the reads
    QString readBack;
  } cases[] = {
      // clang-format off
      {"ABC to a Barcode32 pack", "ur2", {.b32 = true}, "ABC",
       {req("40 09 00 01 00 00 00 08"), data("41 42 43 00 00 00 00 00"), req("40 09 00 02 00 00 00 08"),
        data("00 00 00 00 00 00 00 00"), req("40 09 00 03 00 00 00 08"), data("00 00 00 00 00 00 00 00"),
        req("40 09 00 04 00 00 00 08"), data("00 00 00 00 00 00 00 00")},
       "ABC"},
      {"ABC to a Barcode32-EEP pack", "ur96", {.eep = true}, "ABC",
       {req("40 09 00 01 00 00 00 08"), data("41 42 43 00 00 00 00 00"), req("40 09 00 02 00 00 00 08"),
        data("00 00 00 00 00 00 00 00"), req("40 09 00 03 00 00 00 08"), data("00 00 00 00 00 00 00 00"),
        req("40 09 00 04 00 00 00 08"), data("00 00 00 00 00 00 00 00")},
       "ABC"},
      {"forty characters to a Barcode32 pack: the first 32", "ur2", {.b32 = true}, forty,
       {req("40 09 00 01 00 00 00 08"), data("30 31 32 33 34 35 36 37"), req("40 09 00 02 00 00 00 08"),
        data("38 39 41 42 43 44 45 46"), req("40 09 00 03 00 00 00 08"), data("47 48 49 4A 4B 4C 4D 4E"),
        req("40 09 00 04 00 00 00 08"), data("4F 50 51 52 53 54 55 56")},
       forty.left(32)},
      {"forty characters to a Barcode16 pack: the first 16", "ur96", {.b16 = true}, forty,
       {req("40 08 00 01 00 00 00 08"), data("30 31 32 33 34 35 36 37"), req("40 08 00 02 00 00 00 08"),
        data("38 39 41 42 43 44 45 46")},
       forty.left(16)},
      // clang-format on
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    startWith(k.setup, k.answers);
    c().setText(EditBarCode32, k.text);
    run(BitBtnBarCodeWrite);
    std::vector<QString> all = frames();
    const std::vector<QString> writes(all.end() - std::min(all.size(), k.writes.size()), all.end());
    EXPECT_EQ(writes, k.writes);
    EXPECT_EQ(requestsOf(0x4009) + requestsOf(0x4008), static_cast<int>(k.writes.size() / 2));
    EXPECT_EQ(requestsWhileFree, 0);
    EXPECT_EQ(c().text(EditBarCode32), k.text);  // the operator's text again after the reads
    EXPECT_EQ(c().panel(StatusBarView, 2), " Barcode wrote to finished.");
    EXPECT_EQ(c().panel(StatusBarView, 0), test::kStop);
    EXPECT_TRUE(c().enabled(BitBtnBarCodeWrite));
    expectCommandOver();

    c().setText(EditBarCode32, "");
    run(BitBtnBarCodeRead);
    EXPECT_EQ(c().text(EditBarCode32), k.readBack);
  }
}

TEST_F(UrBarcode, AWriteThatIsNotCarriedOutShowsTheFailureText) {
  const struct Case {
    const char* name;
    std::string setup;
    Answers answers;
    QString text;
    std::function<void(UrBarcode&)> before;
    int writeRequests;
  } cases[] = {
      // clang-format off
      {"an empty edit", "ur2", {.b32 = true}, "", {}, 0},
      {"no adapter", "ur2", {.b32 = true}, "ABC", [](UrBarcode& t) { t.adapter->unplug(); }, 0},
      {"a UR74 pack", "ur74", {}, "ABC", {}, 0},
      {"no kind answers", "ur2", {.b16First = true}, "ABC", {}, 0},
      {"part 2 refused in every pass", "ur2", {.b32 = true}, "ABC",
       [](UrBarcode& t) { t.pack->setFaults({.status = 1, .refused = 0x4009, .refusedIndex = 2}); }, 12},
      // clang-format on
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    if (k.setup == "ur74") {
      start(k.setup);
    } else {
      startWith(k.setup, k.answers);
    }
    c().setText(EditBarCode32, k.text);
    if (k.before) k.before(*this);
    run(BitBtnBarCodeWrite);
    if (k.text.isEmpty() || !adapter->plugged()) {
      EXPECT_TRUE(adapter->written().empty());
    }
    EXPECT_EQ(requestsOf(0x4009) + requestsOf(0x4008), k.writeRequests);
    EXPECT_EQ(c().panel(StatusBarView, 2), " Barcode write failed.");
    EXPECT_EQ(c().panel(StatusBarView, 0), test::kStop);
    EXPECT_EQ(c().text(EditBarCode32), k.text);
    EXPECT_TRUE(c().enabled(BitBtnBarCodeWrite));
    expectCommandOver();
  }
}

TEST_F(UrBarcode, APartRefusedInTheFirstPassSendsAllPartsAgain) {
  startWith("ur2", {.b32 = true});
  pack->setFaults({.status = 1, .refused = 0x4009, .refusedIndex = 3, .refusals = 1});
  c().setText(EditBarCode32, "ABC");
  run(BitBtnBarCodeWrite);
  EXPECT_EQ(requestsOf(0x4009), 8);
  EXPECT_EQ(c().panel(StatusBarView, 2), " Barcode wrote to finished.");
  EXPECT_EQ(pack->state().barcode32, QByteArray("ABC").leftJustified(32, '\0'));
}

TEST_F(UrBarcode, ThePollingLoopReadsTheBarcodeUntilAKindIsFound) {
  // One UR2 cycle at a time, on the adapter monitoring would hold.
  const auto cycles = [this](int n) {
    ASSERT_TRUE(tool->link.OpenAdapter());
    tool->state.RunFlag.set(1);
    test::onWorker([&] {
      for (int i = 0; i < n; ++i) tool->monitor.Ur2Cycle();
    });
    tool->state.RunFlag.set(0);
    tool->link.CloseAdapter();
  };
  startWith("ur2", {.b32 = true});
  cycles(1);
  EXPECT_EQ(barcodeRequests(), 12 + 4);
  EXPECT_EQ(c().text(EditBarCode32), kBarcode32);
  cycles(2);
  EXPECT_EQ(barcodeRequests(), 12 + 4);

  // A pack that answers no kind is asked again in every cycle.
  startWith("ur2", {.b16First = true});
  cycles(2);
  EXPECT_EQ(barcodeRequests(), 2 * (12 + 12 + 6));

  // A run starts with the kinds forgotten: one found before is looked for again.
  for (const std::string setup : {"ur2", "ur96"}) {
    SCOPED_TRACE(setup);
    startWith(setup, {.b32 = true});
    tool->urBarcode.flags().set(commands::BarcodeKind::Barcode16);
    click(test::ctl::SpdBtnRUN);
    EXPECT_TRUE(waitFor([&] { return !tool->urBarcode.flags().found(commands::BarcodeKind::Barcode16); }));
    if (setup == "ur2") {
      EXPECT_TRUE(waitFor([&] { return c().text(EditBarCode32) == kBarcode32; }));
    }
    click(test::ctl::SpdBtnRUN);
    tool->services.workers.joinAll();
  }
  EXPECT_EQ(requestsOf(k32), 0);  // the UR96 loop reads no barcode
}

}  // namespace
}  // namespace qv
