// The first use of a real adapter, over real libftdi and libusb against the emulated FT232H: " Configure ", the
// protocol, "Scan" lists USB1 "Available" at the chip's location id, "Yes", RUN shows the pack's values, STOP
// ends the run and gives the adapter back; on UR74, UR96, UR2 and CAN. Then replies that reach the host in pieces:
// a UR96 record cut across two USB transfers, CAN frames cut in the middle, answers that start after the read
// began.

#include "ProgramOverChip.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace qv {
namespace {

using test::mctl::StatusBarView;
namespace mctl = test::mctl;

struct Shown {
  Control control;
  const char* text;
};

struct Variant {
  const char* setup;
  int protocol;
  const char* mode;
  std::vector<Shown> values;  // the last one is shown last in a cycle
};

// clang-format off
const Variant kUr74{"ur74", link::kProtocolUr, " UR74 Mode ",
                    {{mctl::EditVCell1, "3700"}, {mctl::EditVCell13, "3736"}, {mctl::Edit_HVlot, "3736"}}};
const Variant kUr96{"ur96", link::kProtocolUr, " UR96 Mode ",
                    {{mctl::EditPackVolt, "48100"}, {mctl::EditVCell1, "3698"}, {mctl::Edit_HVlot, "3703"},
                     {mctl::Edit_LVolt, "3697"}}};
const Variant kUr2{"ur2", link::kProtocolUr, " UR2 Mode ",
                   {{mctl::EditFWID, "QVU2-13S"}, {mctl::EditVCell13, "3313"}, {mctl::Edit_HVlot, "3313"}}};
const Variant kCan{"can", link::kProtocolCan, " CAN Mode ",
                   {{mctl::Edit401hPackVoltage, "42900"}, {mctl::Edit401hPackCurrent, "-1500"},
                    {mctl::Edit_ModelName, "QVX48-13S4P-A001"}, {mctl::EditVCell13, "3312"},
                    {mctl::EditDesignCapacity, "10400"}}};
// clang-format on

class FirstUse : public test::ProgramOverChip {
 protected:
  // RUN until every value shows, then STOP.
  void runAndSee(const Variant& v) {
    clickRun();
    // clang-format off
    EXPECT_TRUE(test::waitFor([&] {
      for (const Shown& s : v.values) {
        if (c().text(s.control) != QLatin1String(s.text)) return false;
      }
      return true;
    })) << [&] {
      std::string got;
      for (const Shown& s : v.values) got += std::string(s.control.c_str()) + "=" + c().text(s.control).toStdString() + " ";
      return got;
    }();
    // clang-format on
    EXPECT_EQ(panel(1), v.mode);
    stop();
  }
};

TEST_F(FirstUse, ScanListsTheAdapterAndRunShowsEachPacksValues) {
  for (const Variant* v : {&kUr74, &kUr96, &kUr2, &kCan}) {
    SCOPED_TRACE(v->setup);
    start(v->setup);
    scan(v->protocol);
    EXPECT_EQ(c().items(link::ctl::CobBoxInterfaceName), QStringList{"USB1"});
    EXPECT_EQ(c().panel(link::ctl::StatusBar1, 0), "  USB1  :  Available ");
    EXPECT_EQ(c().text(link::ctl::LbInterfaceName), "1  found. ");
    EXPECT_TRUE(c().enabled(link::ctl::SpdBtnYES));
    EXPECT_EQ(tool->link.AdapterLocation(0), chip->locationId());
    confirm();
    runAndSee(*v);
    EXPECT_EQ(chip->seen().kernelDriver, "ftdi_sio");
  }
}

// How the serial side's answers reach the chip: cut in two with a pause longer than the latency timer (so each
// piece is a USB transfer of its own), or late, after the read has started waiting. Real microseconds, well
// within the UR read time-out of 100 ms at this time scale.
TEST_F(FirstUse, RepliesInPiecesAreReadWhole) {
  const struct {
    const char* name;
    const Variant* variant;
    test::EmulatedFt232h::Pacing pacing;
    bool split;
  } cases[] = {
      {"a UR96 record in two pieces", &kUr96, {.cutAt = 50, .pauseUs = 6000}, true},
      {"CAN frames cut in the middle", &kCan, {.cutAt = 9, .pauseUs = 6000}, true},
      {"a UR answer that starts after the read began", &kUr2, {.delayUs = 8000}, false},
      {"a CAN answer that starts after the read began", &kCan, {.delayUs = 3000}, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    start(k.variant->setup);
    chip->setPacing(k.pacing);
    configure(k.variant->protocol);
    runAndSee(*k.variant);
    if (k.split) {
      EXPECT_GT(chip->seen().splitAnswers, 0);
    }
  }
}

}  // namespace
}  // namespace qv
