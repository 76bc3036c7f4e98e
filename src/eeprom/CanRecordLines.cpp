#include "eeprom/CanRecordLines.h"

namespace qv::eeprom {
namespace {

constexpr const char* kSeparator = " , ";
constexpr const char* kFlagSeparator = " . ";

constexpr std::array<const char*, 15> kEventNames{
    // clang-format off
    "Reserve", "Charge Start", "Charge Stop", "Discharge Start", "Discharge Stop", "Sleep",
    "Wake Up", "Deep Sleep",   "Reset",       "Protect Release", "FSC",            "Storage Temp",
    "Last Charge", "Last Full Charge", "Last UVP",
    // clang-format on
};
constexpr uint8_t kFirstEventCode = 128;

QString recordNumber(int number) {
  const QString digits = QString::number(number);
  if (number < 10) return "000" + digits;
  if (number < 100) return "00" + digits;
  if (number < 1000) return "0" + digits;
  return digits;
}

QString bit(uint8_t b) { return QString::number(b); }

}  // namespace

RecordFlagBits DecodeRecordFlag(uint8_t flag) {
  auto at = [flag](int n) { return static_cast<uint8_t>(flag >> n & 1); };
  return {at(7), at(6), at(5), at(4), at(3), at(2), at(1), at(0)};
}

QString EepEventName(uint8_t code) {
  if (code < kFirstEventCode || code >= kFirstEventCode + kEventNames.size()) return {};
  return QString::fromLatin1(kEventNames[code - kFirstEventCode]);
}

QString FormatCanRecordLine(const CanRecordFields& r, int n) {
  const auto& t = r.dateTime;
  const RecordFlagBits f = DecodeRecordFlag(r.flag);
  QStringList pieces{
      recordNumber(n + 1),
      "Date : " + QString::number(t[0] + 2000) + "." + QString::number(t[1]) + "." + QString::number(t[2]),
      "Time : " + QString::number(t[3]) + "." + QString::number(t[4]) + "." + QString::number(t[5]),
      "Current  : " + QString::number(r.current) + " mA",
      "Voltage  : " + QString::number(r.voltage) + " mV",
      "SOC  : " + QString::number(r.stateOfCharge) + " %",
      "T1  : " + QString::number(r.t1) + " Degree C",
      "VoltDiff  : " + QString::number(r.voltageDifference) + " mV",
      "Cycle Cnt  : " + QString::number(r.cycleCount) + " ",
      "Ptt/Evt : " + bit(f.event),
  };
  QString line;
  for (const QString& piece : pieces) line += piece + kSeparator;
  if (f.event != 0) {
    const QString name = EepEventName(r.flag);
    line += "Event : " + (name.isEmpty() ? QStringLiteral(" ") : name) + kFlagSeparator;
  } else {
    const std::pair<const char*, uint8_t> causes[] = {
        {"Chg/Dsg", f.discharge}, {"UT", f.ut}, {"OT", f.ot}, {"SC", f.sc}, {"OC", f.oc}, {"UV", f.uv}, {"OV", f.ov}};
    for (const auto& [label, value] : causes) line += QString::fromLatin1(label) + " : " + bit(value) + kFlagSeparator;
  }
  if (r.valid == 0) line += " (CheckSum Error)";
  return line;
}

QStringList CanRecordBlockLines(const CanRecordBlock& block, const CanRecordFields& record, int n) {
  if (record.flag != block.eventCode) return {QString::fromLatin1(block.absent)};
  return {QString::fromLatin1(block.heading), FormatCanRecordLine(record, n)};
}

}  // namespace qv::eeprom
