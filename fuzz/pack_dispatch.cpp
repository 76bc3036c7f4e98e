// The UR2 pack message dispatcher over any sequence of messages: every message reaches every listener in the
// order added, with its bytes; the plain boxes show what their bytes say; the cell spread is the highest and
// lowest of the cells the series count covers; the firmware id never grows past its room; a barcode is shown
// only whole, from the parts of one reading.

#include "FuzzStore.h"
#include "FuzzSupport.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/PackDispatcher.h"

#include <array>
#include <string>
#include <vector>

using namespace qv;

namespace {

struct Seen {
  int listener;
  uint16_t id, index;
  std::array<uint8_t, 8> data;
};

class Recorder : public mainwindow::PackMessageListener {
 public:
  Recorder(std::vector<Seen>& log, int n) : log_(log), n_(n) {}
  void HandlePackMessage(uint16_t id, uint16_t index, const uint8_t data[8]) override {
    Seen s{n_, id, index, {}};
    std::copy_n(data, 8, s.data.begin());
    log_.push_back(s);
  }

 private:
  std::vector<Seen>& log_;
  int n_;
};

constexpr uint16_t kIds[] = {0x0001, 0x0005, 0x0009, 0x1001, 0x1003, 0x1004, 0x1005, 0x1006,
                             0x1007, 0x100C, 0x2001, 0x2008, 0x200A, 0x200B, 0x6207};

uint16_t word(const std::array<uint8_t, 8>& d, int i) { return static_cast<uint16_t>(d[2 * i] << 8 | d[2 * i + 1]); }

QString text8(const std::array<uint8_t, 8>& d) {
  QByteArray t;
  for (uint8_t b : d) {
    if (b == 0) break;
    t.append(static_cast<char>(b));
  }
  return QString::fromLatin1(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::fuzz::FuzzStore controls;
  mainwindow::MainState state;
  mainwindow::PackDispatcher dispatcher(controls, state);
  std::vector<Seen> log;
  Recorder first(log, 1), second(log, 2);
  dispatcher.addListener(&first);
  dispatcher.addListener(&second);

  // The second reading of the cells and the series count.
  std::array<uint16_t, 13> cells{};
  long long series = 0;
  bool seriesShown = false;
  QString barcode;
  QString gathered;
  uint16_t gathering = 0;
  int next = 0;

  fuzz::Input in(data, size);
  while (!in.empty()) {
    const uint8_t how = in.u8();
    const uint16_t id = (how & 0x0F) < std::size(kIds) ? kIds[how & 0x0F] : in.u16();
    const uint16_t index = (how & 0x80) != 0 ? in.u16() : static_cast<uint16_t>(how >> 4 & 0x07);
    const std::array<uint8_t, 8> d = in.fixed<8>();
    auto bytes = std::make_unique<uint8_t[]>(8);
    std::copy(d.begin(), d.end(), bytes.get());
    log.clear();
    dispatcher.DispatchPackMessage(id, index, bytes.get());

    QV_FUZZ_CHECK(log.size() == 2 && log[0].listener == 1 && log[1].listener == 2);
    for (const Seen& s : log) QV_FUZZ_CHECK(s.id == id && s.index == index && s.data == d);

    if (id == 0x0005 && index == 0)
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditFWVer) == QString::asprintf("%02X.%02X", d[0], d[1]));
    if (id == 0x0009 && index == 1) {
      series = d[0];
      seriesShown = true;
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditCellSeries) == QString::number(d[0]));
    }
    if (id == 0x0009 && index == 2)
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditFCC) == QString::number(word(d, 3)));
    if (id == 0x1003 && index == 0) {
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditT1) == QString::number(static_cast<int8_t>(d[0])));
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditT2) == QString::number(static_cast<int8_t>(d[1])));
    }
    if (id == 0x2001) QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditPDSN) == text8(d));
    // The barcode: the parts of one message from part 1 on, each right after the one before, shown once the last
    // (2 for 0x2008, 4 for the others) came; anything else in between drops what was gathered.
    {
      const bool isBarcode = id == 0x2008 || id == 0x200A || id == 0x6207;
      if (isBarcode && index == 1) {
        gathering = id;
        next = 2;
        gathered = text8(d);
      } else if (isBarcode && next != 0 && id == gathering && index == next) {
        gathered += text8(d);
        ++next;
      } else {
        next = 0;
      }
      if (next > (gathering == 0x2008 ? 2 : 4)) {
        barcode = gathered;
        next = 0;
      }
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::EditBarCode32) == barcode && barcode.size() <= 32);
    }
    if (id == 0x1001 && index >= 1 && index <= 4) {
      const int firstCell = index == 4 ? 13 : 4 * index - 3;
      const int count = index == 4 ? 1 : 4;
      for (int i = 0; i < count; ++i) {
        cells[static_cast<size_t>(firstCell - 1 + i)] = word(d, i);
        QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::kCellEdits[static_cast<size_t>(firstCell - 1 + i)]) ==
                      QString::number(word(d, i)));
      }
      const int n = static_cast<int>(std::clamp<long long>(seriesShown ? series : 0, 0, 13));
      uint16_t high = cells[0], low = cells[0];
      for (int i = 1; i < n; ++i)
        high = std::max(high, cells[static_cast<size_t>(i)]), low = std::min(low, cells[static_cast<size_t>(i)]);
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_HVlot) == QString::number(high));
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_LVolt) == QString::number(low));
      QV_FUZZ_CHECK(controls.text(qv::mainwindow::ctl::Edit_VoltDiff) == QString::number(high - low));
    }
    QV_FUZZ_CHECK(state.firmwareIdText.text().size() <= mainwindow::FirmwareIdText::kCapacity);
  }
  return 0;
}
