// The EEPROM header and record decoders: whatever messages arrive, in any order, the header record holds what
// the last message of each field said, read from its bytes here in big-endian order, the history buffers hold
// the parts as they came with a record sum that the bytes say, and every line shows without fault.

#include "FuzzSupport.h"
#include "eeprom/EepBlocks.h"
#include "eeprom/EepHeader.h"
#include "eeprom/EepromRecords.h"
#include "mainwindow/MainState.h"

#include <array>
#include <cstring>

using namespace qv;

namespace {

uint16_t u16At(const uint8_t* d) { return static_cast<uint16_t>(d[0] << 8 | d[1]); }
uint32_t u32At(const uint8_t* d) { return uint32_t{u16At(d)} << 16 | u16At(d + 2); }

// The message IDs the decoders take, and a few beside them.
constexpr uint16_t kIds[] = {0x6100, 0x6101, 0x6102, 0x6103, 0x6104, 0x6105, 0x60FF, 0x6200, 0x6201, 0x6202, 0x6203,
                             0x6204, 0x6205, 0x6206, 0x6207, 0x6208, 0x6300, 0x6301, 0x6305, 0x6308, 0x6309, 0x6400,
                             0x6403, 0x6407, 0x6408, 0x6500, 0x6501, 0x6502, 0x6600, 0x6601, 0x6602, 0x6603, 0x6604};

// What the last message for each list said: its count and its four parts.
struct Shadow {
  bool counted = false;
  uint16_t count = 0;
  std::array<uint8_t, 32> raw{};
  uint8_t parts = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  // The state is large: kept between inputs, with what the decoders write cleared before each.
  static mainwindow::MainState state;
  static eeprom::EepromRecords records(state);
  records.zeroAll();
  state.report.set({});
  std::optional<uint16_t> byteCount, cycleCount, chargeStarts;
  std::optional<uint32_t> chargeCapacity;
  std::optional<std::pair<int32_t, int32_t>> coc;
  std::array<Shadow, 3> shadow{};
  while (!in.empty()) {
    const uint16_t id = kIds[in.u8() % std::size(kIds)];
    const uint16_t index = in.u8() % 6;
    const auto d = in.fixed<8>();
    records.HandlePackMessage(id, index, d.data());
    if (index == 0) {
      if (id == 0x6100) byteCount = u16At(d.data());
      if (id == 0x6205) cycleCount = u16At(d.data());
      if (id == 0x6206) chargeCapacity = u32At(d.data());
      if (id == 0x6300) chargeStarts = u16At(d.data());
      if (id == 0x6400) coc = {static_cast<int32_t>(u32At(d.data())), static_cast<int32_t>(u32At(d.data() + 4))};
    }
    for (eeprom::EepList list : eeprom::kEepLists) {
      const eeprom::EepListIds ids = eeprom::eepListIds(list);
      Shadow& s = shadow[static_cast<size_t>(list)];
      if (id == ids.count && index == 0) {
        s.counted = true;
        s.count = u16At(d.data());
      }
      if (id == ids.record && index >= 1 && index <= 4) {
        std::memcpy(s.raw.data() + 8 * (index - 1), d.data(), 8);
        s.parts |= static_cast<uint8_t>(1u << (index - 1));
      }
    }
  }

  const eeprom::EepHeaderView view = records.header();
  if (byteCount) QV_FUZZ_CHECK(view.header.byteCount == *byteCount);
  if (cycleCount) QV_FUZZ_CHECK(view.header.cycleCount == *cycleCount);
  if (chargeCapacity) QV_FUZZ_CHECK(view.header.totalChargeCapacity == *chargeCapacity);
  if (chargeStarts) {
    QV_FUZZ_CHECK(view.header.chargeStartTotal == *chargeStarts);
    QV_FUZZ_CHECK(state.report.snapshot().chargeEventTotal == *chargeStarts);
  }
  if (coc) QV_FUZZ_CHECK(view.header.cocCount == coc->first && view.header.maxChargeCurrent == coc->second);
  const QStringList lines = eeprom::EepHeaderLines(view);
  QV_FUZZ_CHECK(lines.size() == 44);
  if (byteCount) QV_FUZZ_CHECK(lines[1].endsWith(" " + QString::number(*byteCount)));

  for (eeprom::EepList list : eeprom::kEepLists) {
    const Shadow& s = shadow[static_cast<size_t>(list)];
    if (s.counted) QV_FUZZ_CHECK(records.count(list) == s.count);
    const mainwindow::EepBlockBuffer b = records.buffer(list).snapshot();
    QV_FUZZ_CHECK(b.partsReceived == s.parts);
    for (int p = 0; p < 4; ++p) {
      if ((s.parts & (1u << p)) != 0) QV_FUZZ_CHECK(std::memcmp(b.raw.data() + 8 * p, s.raw.data() + 8 * p, 8) == 0);
    }
    if ((s.parts & 0x08) != 0) {
      // The sum as of the last part 4: the bytes then stored, which are the shadow's when part 4 came last of
      // each; judged only for a full record read in order, the way the window reads it.
      uint32_t sum = 0;
      for (int i = 0; i < 30; ++i) sum += s.raw[static_cast<size_t>(i)];
      if (b.byteSum == sum) QV_FUZZ_CHECK(b.valid == (s.raw[30] == (sum >> 8 & 0xFF) && s.raw[31] == (sum & 0xFF)));
    }
    const QString line = eeprom::EepRecordLine(list, in.u32(), b, b.partsReceived);
    QV_FUZZ_CHECK(line.endsWith(" , "));
    QV_FUZZ_CHECK(line.contains("Incomplete") == (b.partsReceived != mainwindow::EepBlockBuffer::kAllParts));
  }
  return 0;
}
