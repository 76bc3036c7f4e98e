#include "production/FunctionTestReads.h"

#include "link/CanLayer.h"
#include "link/PackMessages.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

namespace qv::production {

namespace msg = link::msg;
namespace ctl = mainwindow::ctl;

namespace {
constexpr link::CanArgs kNoArgs{0, 0, 0};
// Receives after an accepted header whose data message was not among the frames yet.
constexpr int kDataLooks = 3;
}  // namespace

FunctionTestReads::FunctionTestReads(link::Link& link, const CanAnswerCounts& counts, mainwindow::RunFlagByte& runFlag)
    : link_(link), counts_(counts), runFlag_(runFlag) {}

bool FunctionTestReads::ReadCan(uint16_t command, uint16_t index, int tries) {
  const uint64_t before = counts_.decoded(command, index);
  const auto fresh = [&] { return counts_.decoded(command, index) != before; };
  for (int t = 0; t < tries; ++t) {
    {
      const auto exchange = link_.exchange();
      link::CanSendRequest(link_, command, index, kNoArgs, 0);
    }
    platform::sleepMs(5);
    bool answered = false;
    {
      const auto exchange = link_.exchange();
      answered = link::CanWaitResponse(link_, command, index);
    }
    // The header may come a read ahead of its data.
    for (int look = 0; answered && !fresh() && look < kDataLooks; ++look) {
      platform::sleepMs(5);
      const auto exchange = link_.exchange();
      link::CanReceiveDispatch(link_);
    }
    if (answered && fresh()) return true;
    platform::sleepMs(10);
  }
  return false;
}

bool FunctionTestReads::ReadModelNameCan() {
  // Each index gets its own tries, whatever became of the other.
  const bool first = ReadCan(msg::kFirmwareId, 1);
  const bool second = ReadCan(msg::kFirmwareId, 2);
  return first && second;
}

bool FunctionTestReads::ReadFwVersionCan() { return ReadCan(msg::kFirmwareVersion, 0); }

bool FunctionTestReads::Read1006Can() { return ReadCan(msg::kMeasurement1006, 0); }

bool FunctionTestReads::ReadTemperaturesCan() { return ReadCan(msg::kTemperatures, 0); }

CellVoltsRead FunctionTestReads::ReadCellVoltsCan() {
  CellVoltsRead read;
  int count = 0;
  for (int i = 0; i < 4; ++i) {
    read.fresh[static_cast<size_t>(i)] = ReadCan(msg::kCellVoltages, static_cast<uint16_t>(i + 1));
    if (read.fresh[static_cast<size_t>(i)]) ++count;
  }
  platform::sleepMs(100);
  read.answered = count >= 3;
  return read;
}

bool FunctionTestReads::ReadProtectionFlagsCan() { return ReadCan(msg::kProtectionFlags, 0); }

bool FunctionTestReads::ReadCellConfigCan() {
  const uint64_t before = counts_.decoded(msg::kPackConfig, 1);
  for (int t = 0; t < 5; ++t) {
    {
      const auto exchange = link_.exchange();
      link::CanSendRequest(link_, msg::kPackConfig, 1, kNoArgs, 0);
    }
    platform::sleepMs(5);
    {
      const auto exchange = link_.exchange();
      link::CanReceiveDispatchAny(link_);
    }
    if (counts_.decoded(msg::kPackConfig, 1) != before) return true;
    if (!runFlag_.running()) return false;
    platform::sleepMs(100);
  }
  return false;
}

ShippingModeRead FunctionTestReads::ReadShippingModeAck() {
  Controls& c = link_.controls;
  c.setText(ctl::Label_ShippingMode_RX_CMD, QStringLiteral("CMD : "));
  c.setText(ctl::Label_ShippingMode_RX_DAT, QStringLiteral("DAT : "));
  link::CanAnswerFlags* flags = link_.canAnswerFlags();
  const auto bitSeen = [&] {
    return flags != nullptr && (flags->answered(link::CanAckFamily::ShippingModeRead) & 0x01) != 0;
  };
  if (flags != nullptr) flags->clear(link::CanAckFamily::ShippingModeRead);
  const uint64_t before = counts_.decoded(msg::kShippingMode, 0);
  const auto fresh = [&] { return counts_.decoded(msg::kShippingMode, 0) != before; };

  for (int pass = 0; pass < 3; ++pass) {
    {
      const auto exchange = link_.exchange();
      link::CanSendRequest(link_, msg::kShippingMode, 0, kNoArgs, 0);
    }
    for (int look = 0; look < 200; ++look) {
      {
        const auto exchange = link_.exchange();
        link::CanWaitResponse(link_, msg::kShippingMode, 0);
      }
      if (bitSeen()) break;
      platform::sleepMs(1);
    }
    platform::sleepMs(10);
  }
  ShippingModeRead read;
  read.headerSeen = bitSeen();
  for (int look = 0; read.headerSeen && !fresh() && look < kDataLooks; ++look) {
    platform::sleepMs(5);
    const auto exchange = link_.exchange();
    link::CanReceiveDispatch(link_);
  }
  read.modeDecoded = fresh();
  read.mode = c.checked(ctl::CheckBox_ShippingModeReadOnly);
  c.setText(ctl::Label_ShippingMode_RX_CMD,
            read.headerSeen ? QStringLiteral("CMD : OK") : QStringLiteral("CMD : Timeout"));
  return read;
}

void FunctionTestReads::SendSleepCan() {
  {
    const auto exchange = link_.exchange();
    link::CanSendRequest(link_, msg::kSleep, 0, kNoArgs, 0);
  }
  platform::sleepMs(100);
}

bool IsBalanceWithinLimit(int64_t difference, int64_t limit) { return difference <= limit; }

}  // namespace qv::production
