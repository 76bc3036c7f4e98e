#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainState.h"
#include "mainwindow/Ur74Record.h"
#include "platform/Controls.h"
#include "sim/SimDriver.h"
#include "sim/Ur74Pack.h"
#include "support/BareStore.h"
#include "support/Bytes.h"
#include "support/TimeScale.h"

#include <gtest/gtest.h>

#include <memory>

// Failures show texts, not their bytes.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace qv::mainwindow {
namespace {

using sim::Ur74Pack;
using sim::Ur74State;

const QByteArray kUr74Query = test::hex("55 AA 07 01 00 01 00 4A 58 EA 0D");

// One simulated adapter, opened; what a written frame brings back.
class Ur74OverSim : public ::testing::Test {
 protected:
  void SetUp() override {
    adapter_ = driver_.addAdapter();
    ASSERT_EQ(driver_.OpenByLocation(adapter_->record().locId, &handle_), platform::FT_OK);
    driver_.SetTimeouts(handle_, 100, 100);
  }
  QByteArray exchange(const QByteArray& request) {
    uint32_t n = 0;
    EXPECT_EQ(driver_.Write(handle_, request.constData(), static_cast<uint32_t>(request.size()), &n), platform::FT_OK);
    QByteArray reply(512, '\0');
    EXPECT_EQ(driver_.Read(handle_, reply.data(), 512, &n), platform::FT_OK);
    return reply.left(n);
  }

  test::ScopedTimeScale fast_{0.02};
  sim::SimDriver driver_;
  std::shared_ptr<sim::SimAdapter> adapter_;
  platform::FtHandle handle_ = 0;
};

// The UR74 decoder over the simulated pack's record: the program's reading against the simulator's writing.
TEST_F(Ur74OverSim, RecordDecodedFromThePack) {
  Ur74State s;
  for (int i = 0; i < 13; ++i) s.cellsMv[i] = static_cast<uint16_t>(3600 + i);
  s.firmwareId = "QV1006A14C";
  s.chargeTotal = uint64_t{7200} * 1000;
  s.socHalfPercent = 101;
  s.flags = 0x12;
  s.temperature = -40;
  s.discharging = true;
  s.currentMa = 500;
  auto pack = std::make_shared<Ur74Pack>(s);
  adapter_->setPack(pack);
  const QByteArray reply = exchange(kUr74Query);
  ASSERT_EQ(reply.size(), 82);

  test::MainWindowStore controls;
  MainState state;
  Ur74CellCount count;
  DecodeUr74Record(reply.mid(6, 74), controls, state, count);
  EXPECT_EQ(controls.text(ctl::EditFWID), "QV1006A14C");
  EXPECT_EQ(controls.text(ctl::EditVCell10), "3609");
  EXPECT_EQ(controls.text(ctl::EditVCell11), "0");
  EXPECT_EQ(controls.text(ctl::EditPackVolt), QString::number(10 * 3600 + 45));
  EXPECT_EQ(controls.text(ctl::Edit_VoltDiff), "9");
  EXPECT_EQ(controls.text(ctl::EditRSOC), "50");
  EXPECT_EQ(controls.text(ctl::EditTCC), "4440");  // 8600 x 0.4 + 1000 is more than 50 % of 8600
  EXPECT_EQ(controls.text(ctl::EditASOC), "100");
  EXPECT_EQ(controls.color(ctl::EditUVF), colour::Red);
  EXPECT_EQ(controls.color(ctl::EditOTF), colour::Red);
  EXPECT_EQ(controls.color(ctl::EditOVF), colour::White);
  EXPECT_EQ(controls.text(ctl::EditT1), "-40");
  EXPECT_EQ(controls.color(ctl::EditT1), colour::Blue);
  EXPECT_EQ(controls.text(ctl::EditPackCurrent), "-500");

  // Without the selector the other temperature byte is shown.
  s.selectorQ = false;
  s.temperatureByte69 = 51;
  pack->setState(s);
  DecodeUr74Record(pack->record(), controls, state, count);
  EXPECT_EQ(controls.text(ctl::EditT1), "25");
}

}  // namespace
}  // namespace qv::mainwindow
