#include "eeprom/EepBlocks.h"

#include "eeprom/CanRecordLines.h"
#include "link/Bytes.h"
#include "link/PackMessages.h"

#include <algorithm>
#include <numeric>

namespace qv::eeprom {

namespace msg = link::msg;

EepListIds eepListIds(EepList list) {
  switch (list) {
    case EepList::Protect: return {msg::kEepProtectionCount, msg::kEepProtectionRecord};
    case EepList::Lead: return {msg::kEepLeadCount, msg::kEepLeadRecord};
    case EepList::Last: return {msg::kEepLastCount, msg::kEepLastRecord};
  }
  return {0, 0};
}

QString UrEventName(uint8_t code) {
  constexpr uint8_t kLastUrEvent = 139;
  const QString name = code <= kLastUrEvent ? EepEventName(code) : QString();
  return name.isEmpty() ? QStringLiteral(" ") : name;
}

void AssembleRecord(EepList list, mainwindow::EepBlockBuffer& b, uint32_t& count, uint16_t id, uint16_t index,
                    const uint8_t d[8]) {
  const EepListIds ids = eepListIds(list);
  if (id == ids.count) {
    if (index == 0) count = link::be16(d);
    return;
  }
  if (id != ids.record || index < 1 || index > 4) return;
  std::copy_n(d, 8, b.raw.begin() + 8 * (index - 1));
  b.partsReceived |= static_cast<uint8_t>(1u << (index - 1));
  const bool protect = list == EepList::Protect;
  switch (index) {
    case 1:
      std::copy_n(d, 6, b.dateTime.begin());
      b.currentHigh = static_cast<int32_t>(uint32_t{d[6]} << 24 | uint32_t{d[7]} << 16);
      if (protect) b.current = b.currentHigh;
      break;
    case 2:
      b.currentLow = link::be16(d);
      if (protect) b.current = static_cast<int32_t>(static_cast<uint32_t>(b.currentHigh) + b.currentLow);
      b.voltage = link::be32(d + 2);
      b.stateOfCharge = d[6];
      b.t1 = static_cast<int8_t>(d[7]);
      break;
    case 3:
      b.voltageDifference = link::be16(d);
      b.cycleCount = static_cast<uint16_t>(d[3] << 8 | d[2]);
      b.flag = d[4];
      break;
    case 4:
      b.byteSum = std::accumulate(b.raw.begin(), b.raw.begin() + 30, uint32_t{0});
      b.valid = b.raw[30] == (b.byteSum >> 8 & 0xFF) && b.raw[31] == (b.byteSum & 0xFF) ? 1 : 0;
      break;
  }
}

QString EepRecordLine(EepList list, uint32_t number, const mainwindow::EepBlockBuffer& b, uint8_t partsAnswered) {
  static const QString kSep = QStringLiteral(" , ");
  const auto n = [](long long v) { return QString::number(v); };
  QString line;
  const auto piece = [&](const QString& p) { line += p + kSep; };

  QString numberText = n(number);
  if (number < 1000) numberText = QString(4 - numberText.size(), '0') + numberText;
  piece(numberText);
  const auto& t = b.dateTime;
  piece("Date : " + n(t[0] + 2000) + "." + n(t[1]) + "." + n(t[2]));
  piece("Time : " + n(t[3]) + "." + n(t[4]) + "." + n(t[5]));
  if ((b.flag & 0x80) != 0) {
    piece("Event");
    piece(list == EepList::Protect ? "Event : " + UrEventName(b.flag) : UrEventName(b.flag));
  } else {
    piece("Protect");
    piece((b.flag & 0x40) != 0 ? "Discharge" : "Charge");
    static const char* const kCauses[] = {"UT", "OT", "SC", "OC", "UV", "OV"};  // bits 5 to 0
    for (int bit = 5; bit >= 0; --bit) {
      if ((b.flag & (1u << bit)) != 0) piece(kCauses[5 - bit]);
    }
  }
  const int32_t current =
      list == EepList::Protect ? b.current : static_cast<int32_t>(static_cast<uint32_t>(b.currentHigh) + b.currentLow);
  piece("SOC  : " + n(b.stateOfCharge) + " %");
  piece("Voltage  : " + n(b.voltage) + " mV");
  piece("Current  : " + n(current) + " mA");
  piece("T1  : " + n(b.t1) + " Deg.C");
  piece("VoltDiff  : " + n(b.voltageDifference) + " mV");
  piece("Cycle Cnt  : " + n(b.cycleCount) + " ");
  if ((partsAnswered & mainwindow::EepBlockBuffer::kAllParts) != mainwindow::EepBlockBuffer::kAllParts) {
    QString missing;
    for (int p = 1; p <= 4; ++p) {
      if ((partsAnswered & (1u << (p - 1))) == 0) missing += (missing.isEmpty() ? "" : " ") + n(p);
    }
    piece("Incomplete, missing part : " + missing);
  }
  return line;
}

}  // namespace qv::eeprom
