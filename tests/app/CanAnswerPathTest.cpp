// The path of every CAN frame in the composed program: the link hands it to the dispatcher, which alone pairs an
// answer's data with its header; the Function Test's answer counts follow what the dispatcher decoded.

#include "app/ServiceTool.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "sim/SimSetups.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

#include <functional>

namespace qv {
namespace {

TEST(CanAnswerPath, TheDispatcherPairsTheAnswersAndTheCountsFollowWhatItDecoded) {
  app::ServiceTool tool(sim::makeSimDriver("can"));
  link::CanFrameSink* sink = tool.link.canFrameSink();
  ASSERT_NE(sink, nullptr);
  const auto frame = [&](uint32_t id, const char* data) {
    const QByteArray d = test::hex(data).leftJustified(8, '\0');
    sink->DispatchCanFrame(0, id, reinterpret_cast<const uint8_t*>(d.constData()), 8);
  };
  const auto version = [&] { return tool.services.controls.text(mainwindow::ctl::Edit_FWVer); };
  const struct {
    const char* name;
    std::function<void()> between;  // what comes between the version's header and its data
    bool decoded;
  } cases[] = {
      {"header and data", [] {}, true},
      // Bytes that made no frame: the header may have lost its data, so the next 0x443 is not its own.
      {"a stretch lost between", [&] { sink->CanFramesLost(); }, false},
      {"a broadcast between", [&] { frame(link::kCanVoltageCurrent, "00 00 A7 94 FF FF FA 24"); }, false},
  };
  uint64_t count = 0;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    tool.services.controls.setText(mainwindow::ctl::Edit_FWVer, "before");
    frame(link::kCanAnswerHeader, "00 05 00 00 00 00 00 00");
    k.between();
    frame(link::kCanAnswerData, "02 07");
    if (k.decoded) ++count;
    EXPECT_EQ(version(), k.decoded ? "2.7" : "before");
    EXPECT_EQ(tool.canAnswerCounts.decoded(0x0005, 0), count);
  }
  // A refused answer is decoded, but not counted as the pack's; a broadcast is counted as decoded.
  frame(link::kCanAnswerHeader, "00 05 00 00 00 00 00 01");
  frame(link::kCanAnswerData, "03 01");
  EXPECT_EQ(tool.canAnswerCounts.decoded(0x0005, 0), count);
  const uint64_t broadcasts = tool.canAnswerCounts.broadcasts(link::kCanVoltageCurrent);
  frame(link::kCanVoltageCurrent, "00 00 A7 94 FF FF FA 24");
  EXPECT_EQ(tool.canAnswerCounts.broadcasts(link::kCanVoltageCurrent), broadcasts + 1);
  tool.stopWorkers();
}

}  // namespace
}  // namespace qv
