// The firmware upgrade of a 64 KiB image over the simulated UR2 pack's bootloader, with real waits: the whole
// time against the sequence's fixed waits (500 ms after the switch, 4000 ms after the erase, 3000 ms after the
// switch back, and the version query's 100 + 20 ms with the reads that end at the read time-out), the transfer's
// fields per second, the verify pass's records per second, and the longest time one field took from its header
// to the next header, against the 100 ms read time-out: a field whose acknowledgement had arrived and still
// waited for a time-out would show there.
//
//   bench_firmware_upgrade [KiB]     (default 64)

#include "BenchTable.h"
#include "firmware/FWUpgradeFormControls.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Unit4FWUpgrade.h"
#include "link/ConfigFormControls.h"
#include "link/Link.h"
#include "link/Unit2ConfigForm.h"
#include "platform/Services.h"
#include "platform/Time.h"
#include "sim/SimSetups.h"
#include "sim/Ur2Pack.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using namespace qv;

constexpr double kFixedWaitsMs = 500 + 4000 + 3000;
constexpr double kReadTimeoutMs = 100;
// One version query answered at once: its 100 ms and 20 ms, and the three of its five reads that find nothing
// and end at the read time-out.
constexpr double kVersionWaitsMs = 100 + 20 + 3 * kReadTimeoutMs;

// The bootloader's side of the run: when each field header, verify request and the switch back arrived.
class StampedPack : public sim::SerialPack {
 public:
  explicit StampedPack(std::shared_ptr<sim::SerialPack> inner) : inner_(std::move(inner)) {}

  std::vector<QByteArray> answer(const QByteArray& payload, uint16_t expected) override {
    if (payload.size() == 13 && payload[2] == 1) {
      const int command = static_cast<uint8_t>(payload[3]) << 8 | static_cast<uint8_t>(payload[4]);
      std::lock_guard lock(mutex_);
      const int64_t now = platform::monotonicMs();
      if (command == 0x4003) fields.push_back(now);
      if (command == 0x2003) verifies.push_back(now);
      if (command == 0x4203) back = now;
    }
    return inner_->answer(payload, expected);
  }

  std::mutex mutex_;
  std::vector<int64_t> fields, verifies;
  int64_t back = 0;

 private:
  std::shared_ptr<sim::SerialPack> inner_;
};

QByteArray record(uint16_t address, uint8_t type, const QByteArray& data) {
  QByteArray bytes;
  bytes.append(static_cast<char>(data.size()));
  bytes.append(static_cast<char>(address >> 8));
  bytes.append(static_cast<char>(address));
  bytes.append(static_cast<char>(type));
  bytes += data;
  uint8_t sum = 0;
  for (char c : bytes) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
  bytes.append(static_cast<char>(-sum));
  return ":" + bytes.toHex().toUpper() + "\r\n";
}

// kib KiB of data from 0x1000 on, 16 bytes a record, with an extended linear address record at each 64 KiB.
QByteArray image(int kib) {
  QByteArray text;
  uint32_t address = 0x1000;
  int upper = -1;
  for (int i = 0; i < kib * 1024 / 16; ++i, address += 16) {
    if (static_cast<int>(address >> 16) != upper) {
      upper = static_cast<int>(address >> 16);
      text += record(0, 0x04, QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
    }
    QByteArray data;
    for (int b = 0; b < 16; ++b) data.append(static_cast<char>(i * 31 + b * 7));
    text += record(static_cast<uint16_t>(address), 0x00, data);
  }
  return text + record(0, 0x01, {});
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const int kib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;

  std::unique_ptr<sim::SimDriver> driver = sim::makeSimDriver("ur2");
  const std::shared_ptr<sim::SimAdapter> adapter = driver->adapters().at(0);
  const auto ur2 = std::dynamic_pointer_cast<sim::Ur2Pack>(adapter->pack());
  const auto pack = std::make_shared<StampedPack>(ur2);
  adapter->setPack(pack);

  platform::Services services(std::move(driver));
  static const link::MainWindowControls kNoMainWindow{};
  link::Link link(services, kNoMainWindow);
  firmware::TFormFWUpgrade window(services, link);
  {
    link::TFormConfig config(link);
    services.controls.setItemIndex(qv::link::ctl::RadioGroup_Protocol, 0);
    config.onEvent(qv::link::ctl::RadioGroup_Protocol, UiEvent::Click);
    config.onEvent(qv::link::ctl::SpdBtnSCAN, UiEvent::Click);
    services.workers.joinAll();
    services.controls.setItemIndex(qv::link::ctl::CobBoxInterfaceName, 0);
  }

  QTemporaryDir dir;
  const QString path = dir.filePath("firmware.hex");
  const QByteArray hex = image(kib);
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(hex);
  }
  window.ChooseImage(path);
  services.workers.joinAll();
  const int64_t start = platform::monotonicMs();
  window.btnFirmwareUpgradeClick();
  services.workers.joinAll();
  const int64_t end = platform::monotonicMs();

  const QStringList memo = services.controls.items(firmware::ctl::memoFirmwareUpgrade);
  const bool passed = memo.value(memo.size() - 1) == "MSG: Firmware Upgrade......passed.";
  const bool same = ur2->bootloader().flash() == firmware::ImageToBinary(hex).bytes;
  std::lock_guard lock(pack->mutex_);
  const int fields = static_cast<int>(pack->fields.size());
  const int records = static_cast<int>(pack->verifies.size());
  if (!passed || fields < 2 || records < 1) {
    std::printf("upgrade %s: %d fields, %d verify requests\n", passed ? "passed" : "FAILED", fields, records);
    return 1;
  }
  int64_t longestField = 0;
  for (size_t i = 1; i < pack->fields.size(); ++i)
    longestField = std::max(longestField, pack->fields[i] - pack->fields[i - 1]);
  const double transferMs = static_cast<double>(pack->verifies.front() - pack->fields.front());
  const double verifyMs = static_cast<double>(pack->back - pack->verifies.front());
  const double wholeMs = static_cast<double>(end - start);

  std::printf("image: %d KiB, %lld bytes of HEX text, %d fields, %d records verified; flash %s the image\n", kib,
              static_cast<long long>(hex.size()), fields, records, same ? "equals" : "DIFFERS FROM");
  std::printf("whole upgrade:  %8.0f ms   fixed waits %5.0f ms (x%.2f), with the version query's %5.0f ms (x%.2f)\n",
              wholeMs, kFixedWaitsMs, wholeMs / kFixedWaitsMs, kFixedWaitsMs + kVersionWaitsMs,
              wholeMs / (kFixedWaitsMs + kVersionWaitsMs));
  bench::tableRow("firmware upgrade", bench::fixed(wholeMs, 0) + " ms",
                  bench::fixed(kFixedWaitsMs + kVersionWaitsMs, 0) + " ms",
                  bench::fixed(wholeMs / (kFixedWaitsMs + kVersionWaitsMs), 3), "-", "-");
  std::printf("transfer:       %8.0f ms   %8.0f fields/s\n", transferMs, fields * 1000.0 / std::max(1.0, transferMs));
  std::printf("verify:         %8.0f ms   %8.0f records/s\n", verifyMs, records * 1000.0 / std::max(1.0, verifyMs));
  std::printf("before the first field: %5.0f ms (switch 500 + version query + erase 4000)\n",
              static_cast<double>(pack->fields.front() - start));
  std::printf("longest field:  %8lld ms   read time-out %.0f ms: %s\n", static_cast<long long>(longestField),
              kReadTimeoutMs, longestField < kReadTimeoutMs ? "no field waited for it" : "A FIELD WAITED FOR IT");
  return same && longestField < kReadTimeoutMs ? 0 : 1;
}
