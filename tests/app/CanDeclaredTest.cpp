// Every control the CAN decoders write is one the program's windows declare: one frame of each kind through
// the dispatcher the composition installs.

#include "app/ServiceTool.h"
#include "link/CanLayer.h"
#include "link/ConfigFormControls.h"
#include "mainwindow/MainFormControls.h"
#include "sim/SimSetups.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(CanDeclared, TheDecodersWriteOnlyDeclaredControls) {
  app::ServiceTool tool(sim::makeSimDriver("can"));
  Controls& c = tool.services.controls;
  c.setItemIndex(link::ctl::RadioGroup_Protocol, 1);
  c.setText(mainwindow::ctl::Edit_Battery_Capacity_BRCAN, "500");
  const auto frame = [&](uint32_t id, const char* data) {
    const QByteArray bytes = test::hex(data).leftJustified(8, '\0');
    tool.canDispatcher.DispatchCanFrame(0, id, reinterpret_cast<const uint8_t*>(bytes.constData()), 8);
  };
  for (uint32_t id : {0x400u, 0x401u, 0x403u, 0x402u}) frame(id, "5A 00 00 00 5A 00 00 00");
  const struct {
    uint16_t command, index;
  } answers[] = {{0x0001, 1}, {0x0001, 2}, {0x0005, 0}, {0x0009, 1}, {0x0009, 2}, {0x0009, 4}, {0x0009, 5},
                 {0x000A, 1}, {0x1001, 1}, {0x1001, 2}, {0x1001, 3}, {0x1001, 4}, {0x1003, 0}, {0x1004, 0},
                 {0x1005, 0}, {0x1007, 0}, {0x1008, 0}, {0x1009, 0}, {0x200A, 3}, {0x200B, 0}, {0x6207, 4}};
  for (const auto& a : answers) {
    const QByteArray header =
        QStringLiteral("%1 %2").arg(a.command, 4, 16, QChar('0')).arg(a.index, 4, 16, QChar('0')).toLatin1();
    frame(link::kCanAnswerHeader, header.constData());
    frame(link::kCanAnswerData, "31 0C 1F 17 3B 3B 37 38");
  }
  EXPECT_EQ(c.text(mainwindow::ctl::Edit_BRCAN_SOC_Wh), "405");
  EXPECT_EQ(c.text(mainwindow::ctl::EditFullChargeCapacity), "2551");  // 500 x 0.9 x 1000 / (0x31 x 3.6)
  EXPECT_TRUE(c.undeclared().empty()) << c.undeclared().front();
}

}  // namespace
}  // namespace qv
