#include "mainwindow/Ur96Record.h"

#include "link/AdapterFrames.h"
#include "link/Bytes.h"
#include "mainwindow/CapacityTable.h"

#include "mainwindow/MainFormControls.h"

#include <algorithm>
#include <array>
#include <optional>

namespace qv::mainwindow {
namespace {

constexpr uint32_t kReadSize = 624;
constexpr uint32_t kReplySize = 104;
constexpr int kRecord = 6;  // the record's first byte in the reply

// A cell type recognised by the capacity per cell, with the capacity model that replaces the pack's figures.
struct CellClass {
  // clang-format off
  uint32_t lowest, highest;   // capacity per cell, mAh
  uint32_t cellCapacity;      // CC, mAh
  uint64_t fadeNumerator, fadeDenominator;
  uint32_t endPerCell;        // hundredths of a mAh per cell in parallel, from the threshold on
  // clang-format on

  uint32_t fullChargeCapacity(uint32_t parallel, uint32_t cycles) const {
    if (cycles >= kCycleThreshold) return parallel * endPerCell / 100;
    // P x cycles x fade passes 32 bits for large packs: 64 bits throughout.
    const uint64_t fade = uint64_t{parallel} * cycles * fadeNumerator / fadeDenominator;
    return static_cast<uint32_t>(uint64_t{parallel} * cellCapacity - fade);
  }
  static constexpr uint32_t kCycleThreshold = 500;
};

constexpr std::array<CellClass, 2> kCellClasses = {{
    {2033, 2233, 2150, 86000, 70000, 129000},
    {2549, 2749, 2900, 87000, 50000, 203000},
}};

const CellClass* cellClassFor(uint32_t perCell) {
  for (const CellClass& c : kCellClasses) {
    if (perCell >= c.lowest && perCell <= c.highest) return &c;
  }
  return nullptr;
}

class Reply {
 public:
  explicit Reply(const uint8_t* bytes) : b_(bytes) {}
  // Record bytes, offsets from the record's first byte.
  const uint8_t* field(int i) const { return b_ + kRecord + i; }
  uint8_t at(int i) const { return *field(i); }
  uint64_t be(int i, int width) const {
    uint64_t v = 0;
    for (int k = 0; k < width; ++k) v = v << 8 | at(i + k);
    return v;
  }
  uint32_t u16(int i) const { return static_cast<uint32_t>(be(i, 2)); }
  uint32_t u32(int i) const { return static_cast<uint32_t>(be(i, 4)); }

  bool passesTests() const {
    if (!(b_[0] == 0x55 && b_[1] == 0xAA && b_[2] == 0x07 && b_[3] == 0x02)) return false;
    if (link::be16(b_ + 4) != 96 || at(0) != 'J') return false;
    return at(95) == Ur96RecordSum(field(0)) && b_[102] == link::FrameChecksum(b_ + 2, 100);
  }

 private:
  const uint8_t* b_;
};

QString temperature(uint8_t b) {
  return b >= 128 ? QStringLiteral("-") + QString::number(256u - b) : QString::number(b);
}

void showFlags(Controls& controls, uint8_t flags) {
  constexpr std::array<Control, 6> kBoxes = {ctl::EditOVF, ctl::EditUVF, ctl::EditOCF,
                                             ctl::EditSCF, ctl::EditOTF, ctl::EditUTF};
  for (int bit = 0; bit < static_cast<int>(kBoxes.size()); ++bit) {
    if ((flags >> bit & 1) != 0) {
      controls.setColor(kBoxes[bit], colour::Red);
      controls.setFontColor(kBoxes[bit], colour::White);
    } else {
      controls.setFontColor(kBoxes[bit], colour::Navy);
      controls.setColor(kBoxes[bit], colour::LightGreen);
    }
  }
}

void showChargeState(Controls& controls, uint8_t b) {
  if ((b & 0x80) == 0) {
    controls.setText(ctl::EditCurrentSign, QStringLiteral(" - None - "));
    controls.setColor(ctl::EditCurrentSign, colour::ButtonFace);
  } else if ((b & 0x40) != 0) {
    controls.setText(ctl::EditCurrentSign, QStringLiteral(" Discharging "));
    controls.setColor(ctl::EditCurrentSign, colour::Aqua);
  } else {
    controls.setText(ctl::EditCurrentSign, QStringLiteral(" Charging "));
    controls.setColor(ctl::EditCurrentSign, colour::Red);
  }
  controls.setColor(ctl::ShapeKeyPress, (b & 0x01) != 0 ? colour::Grey : colour::Lime);
}

// The tails of the two pages no profile shows, decoded only for a page whose tab is shown.
struct TailBox {
  Control box;
  int offset;
  int width;
};
constexpr std::array<TailBox, 4> kStTail = {{
    {ctl::EditMaxChgCurrent, 64, 2},
    {ctl::EditMaxChgCounter, 66, 2},
    {ctl::EditMaxChgTemperature, 68, 1},
    {ctl::EditMaxChgCapacitymAh, 69, 4},
}};
constexpr std::array<TailBox, 4> kKlTail = {{
    {ctl::EditDsgProtectionCurrent, 64, 4},
    {ctl::EditDsgProtectionDelay, 68, 2},
    {ctl::EditChgProtectionCurrent, 70, 4},
    {ctl::EditChgProtectionDelay, 74, 2},
}};

void showTail(Controls& controls, const Reply& r, Control page, const std::array<TailBox, 4>& tail) {
  if (!controls.visible(page)) return;
  for (const TailBox& t : tail) controls.setText(t.box, QString::number(r.be(t.offset, t.width)));
}

void showSohEnergy(Controls& controls, MainState& state) {
  LookupUrBatteryEnergy(controls, state.battery);
  ShowUrSohEnergy(controls);
}

void decode(const Reply& r, Controls& controls, MainState& state) {
  const uint32_t parallel = r.at(46);
  const uint32_t dc = r.u32(5);
  controls.setText(ctl::EditCellParallel, QString::number(parallel));
  // No cells in parallel: no capacity per cell, so no cell type and no capacity model.
  const uint32_t perCell = parallel != 0 ? dc / parallel : 0;
  state.CellDesignCapacity = perCell;
  const uint64_t tcc = r.be(9, 6);
  const uint32_t rsoc = r.at(2);

  const CellClass* cellClass = parallel != 0 ? cellClassFor(perCell) : nullptr;
  if (cellClass != nullptr) {
    const uint32_t cap = parallel * cellClass->cellCapacity;
    controls.setText(ctl::EditDC, QString::number(cap));
    const uint32_t rem = rsoc * cap / 100;
    const auto est = static_cast<uint64_t>(cap * 0.4 + static_cast<double>(tcc));
    const uint64_t total = rem > est ? rem : est;
    const auto cycles = static_cast<uint32_t>(total / cap);
    controls.setText(ctl::EditCycleCnt, QString::number(cycles));
    const uint32_t fcc = cellClass->fullChargeCapacity(parallel, cycles);
    controls.setText(ctl::EditFCC, QString::number(fcc));
    const uint32_t asoc = fcc * 100 / cap;
    controls.setText(ctl::EditASOC, QString::number(asoc));
    controls.setPosition(ctl::ProgressBarSOH, static_cast<int>(asoc));
    showSohEnergy(controls, state);
    controls.setText(ctl::EditTCC, QString::number(total));
    // The report carries what the page shows: the model's figures.
    state.report.with([&](ReportRecord& rep) {
      rep.designCapacity = cap;
      rep.cycleCount = cycles;
      rep.fullChargeCapacity = fcc;
      rep.totalChargeCapacity = total;
    });
  } else {
    controls.setText(ctl::EditASOC, QString::number(r.at(1)));
    controls.setPosition(ctl::ProgressBarSOH, r.at(1));
    showSohEnergy(controls, state);
    controls.setText(ctl::EditDC, QString::number(dc));
    controls.setText(ctl::EditCycleCnt, QString::number(r.u16(3)));
    controls.setText(ctl::EditFCC, QString::number(r.u32(15)));
    controls.setText(ctl::EditTCC, QString::number(tcc));
    state.report.with([&](ReportRecord& rep) {
      rep.designCapacity = dc;
      rep.cycleCount = r.u16(3);
      rep.fullChargeCapacity = r.u32(15);
      rep.totalChargeCapacity = tcc;
    });
  }

  controls.setMaximum(ctl::ProgressBarSOC, 100);
  controls.setPosition(ctl::ProgressBarSOC, static_cast<int>(rsoc));
  controls.setText(ctl::EditRSOC, QString::number(rsoc));
  ShowUrSocEnergy(controls);

  controls.setText(ctl::EditRC, QString::number(r.u32(19)));
  const auto current = static_cast<int32_t>(r.u32(23));
  controls.setText(ctl::EditPackCurrent, QString::number(current));
  controls.setText(ctl::EditPackVolt, QString::number(r.u32(27)));

  // A space leaves its position zero, so the shown id ends at the first space.
  std::array<char, 17> id{};
  for (int k = 0; k < 12; ++k) {
    if (r.at(31 + k) != ' ') id[k] = static_cast<char>(r.at(31 + k));
  }
  controls.setText(ctl::EditFWID, QString::fromLatin1(id.data()));
  controls.setText(ctl::EditFWVer, QString::number(r.u16(43)));
  controls.setText(ctl::EditCellSeries, QString::number(r.at(45)));
  controls.setText(ctl::EditCellParallel, QString::number(r.at(46)));
  showChargeState(controls, r.at(47));
  showFlags(controls, r.at(48));
  controls.setText(ctl::EditT1, temperature(r.at(50)));
  controls.setText(ctl::EditT2, temperature(r.at(51)));
  controls.setText(ctl::EditT3, r.at(52) == 0 ? QString() : temperature(r.at(52)));

  controls.setText(ctl::EditPDSN, QString::fromLatin1(link::fieldText(r.field(56), 8)));

  showTail(controls, r, ctl::TabSheetST, kStTail);
  showTail(controls, r, ctl::TabSheetKL, kKlTail);

  state.report.with([&](ReportRecord& rep) {
    rep.firmwareId = id;
    rep.cellsInSeries = r.at(45);
    rep.cellsInParallel = r.at(46);
    rep.stateOfCharge = static_cast<uint8_t>(rsoc);
    rep.packCurrent = current;
    rep.protectionFlags = r.at(48);
    rep.packVoltage = r.u32(27);
    rep.t1 = static_cast<int8_t>(r.at(50));
  });
}

}  // namespace

uint8_t Ur96RecordSum(const uint8_t* record) {
  uint8_t sum = 0;
  for (int i = 1; i <= 94; ++i) sum = static_cast<uint8_t>(sum + record[i]);
  return sum;
}

std::optional<Ur96Reply> ReadUr96Reply(link::Link& link, Controls& controls) {
  std::array<uint8_t, 1024> buffer{};
  uint32_t received = 0;
  bool read = link::ReadAdapterBytesUntil(link, buffer.data(), kReplySize, kReadSize, &received);
  // Taken from where the reply starts: bytes before it (noise, a stray byte) do not make it another length.
  const uint32_t start = link::ReplyStart(buffer.data(), received, link::kFrameUartReply);
  if (read && start > 0 && received - start < kReplySize) {
    uint32_t more = 0;
    read = link::ReadAdapterBytesUntil(link, buffer.data() + received, kReplySize - (received - start),
                                       kReadSize - received, &more);
    received += more;
  }
  std::copy(buffer.begin() + start, buffer.begin() + received, buffer.begin());
  received -= start;
  controls.setMaximum(ctl::ProgressBarSOC, 100);
  if (!read || received != kReplySize) return std::nullopt;
  link.BlinkRx();
  if (!Reply(buffer.data()).passesTests()) return std::nullopt;
  link.BlinkRx();
  Ur96Reply reply;
  std::copy_n(buffer.begin(), reply.bytes.size(), reply.bytes.begin());
  return reply;
}

void DecodeUr96Reply(const Ur96Reply& reply, Controls& controls, MainState& state) {
  decode(Reply(reply.bytes.data()), controls, state);
}

bool ReadUr96Record(link::Link& link, Controls& controls, MainState& state) {
  const std::optional<Ur96Reply> reply = ReadUr96Reply(link, controls);
  if (reply) DecodeUr96Reply(*reply, controls, state);
  return reply.has_value();
}

}  // namespace qv::mainwindow
