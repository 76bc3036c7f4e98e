#include "commands/CanBarcodeCommands.h"

#include "commands/CanCommandNames.h"
#include "commands/CanServiceCommands.h"
#include "link/CanLayer.h"
#include "link/CanWriteCommands.h"
#include "link/PackMessages.h"
#include "mainwindow/CapacityTable.h"
#include "mainwindow/EvtIni.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Ini.h"
#include "platform/Text.h"
#include "platform/Time.h"

#include <utility>

namespace qv::commands {

namespace {

using namespace canCommandNames;

constexpr int kBarcode32 = 0;
constexpr int kBarcode16 = 1;
// The edit and the writers hold 32 bytes at most.
constexpr int kBarcodeBytes = 32;

uint8_t partBit(uint16_t part) { return static_cast<uint8_t>(1u << (part - 1)); }

// A part counts once its data came under its accepted header: a header whose data was lost read nothing.
bool partRead(link::CanAnswerFlags& flags, CanAckFamily family, uint16_t part) {
  return (flags.accepted(family) & flags.dataCame(family) & partBit(part)) != 0;
}

// What every reader does first: its own answer-flag byte and the barcode buffer cleared, the edit emptied, so
// that a shorter barcode or an earlier answer leaves nothing behind. Nothing when no run holds the adapter or
// no flags are installed.
link::CanAnswerFlags* startRead(link::Link& link, mainwindow::MainState& state, CanAckFamily family) {
  link::CanAnswerFlags* flags = link.canAnswerFlags();
  if (flags != nullptr) flags->clear(family);
  state.records.CanBarcodeBuffer.set({});
  link.controls.setText(c::Edit_Barcode32_RW, QString());
  return link.canSessionHeld() ? flags : nullptr;
}

// Both 16-character readers: two parts, each up to three passes of a request and up to 100 looks 1 ms apart,
// 100 ms after a pass without the part.
bool readBarcode16(link::Link& link, mainwindow::MainState& state, uint16_t command, CanAckFamily family) {
  const auto exchange = link.exchange();
  const CanButtonsOff off(link, {c::SpdBtn_Barcode32_R, c::SpdBtn_Barcode32_W});
  int count = 0;
  if (link::CanAnswerFlags* flags = startRead(link, state, family)) {
    for (uint16_t part = 1; part <= 2; ++part) {
      bool got = false;
      for (int pass = 0; pass < 3 && !got; ++pass) {
        link::CanSendRequest(link, command, part, kNoArgs, 0);
        for (int look = 0; look < 100 && !got; ++look) {
          link::CanWaitResponse(link, command, part);
          got = partRead(*flags, family, part);
          if (!got) sleepMs(1);
        }
        if (!got) sleepMs(100);
      }
      if (got) ++count;
    }
  }
  return count >= 2;
}

bool writeBarcode(link::Link& link, bool (*writer)(link::Link&, const QByteArray&)) {
  const auto exchange = link.exchange();
  Controls& controls = link.controls;
  const CanButtonsOff off(link, {c::SpdBtn_Barcode32_R, c::SpdBtn_Barcode32_W});
  const QByteArray text = platform::big5BytesAtMost(controls.text(c::Edit_Barcode32_RW), kBarcodeBytes);
  const bool ok = !text.isEmpty() && writer(link, text);
  controls.setFontColor(c::SpdBtn_Barcode32_W, ok ? colour::Blue : colour::Red);
  controls.setText(c::Label_Barcode_W, QString::fromLatin1(ok ? "OK" : "NG"));
  return ok;
}

}  // namespace

bool CanReadBarcode32(link::Link& link, mainwindow::MainState& state) {
  const auto exchange = link.exchange();
  link::CanAnswerFlags* flags = startRead(link, state, CanAckFamily::Barcode32Read);
  if (flags == nullptr) return false;
  int count = 0;
  for (uint16_t part = 1; part <= 4; ++part) {
    // A part that fails its ten tries does not stop the next one.
    for (int attempt = 0; attempt < 10; ++attempt) {
      link::CanSendRequest(link, msg::kBarcode32, part, kNoArgs, 0);
      sleepMs(10);
      link::CanWaitResponse(link, msg::kBarcode32, part);
      if (partRead(*flags, CanAckFamily::Barcode32Read, part)) {
        ++count;
        break;
      }
      sleepMs(10);
    }
  }
  sleepMs(100);
  return count == 4;
}

bool CanReadBarcode16(link::Link& link, mainwindow::MainState& state) {
  return readBarcode16(link, state, msg::kBarcode16, CanAckFamily::Barcode16Read);
}

bool CanReadBarcode16Alt(link::Link& link, mainwindow::MainState& state) {
  return readBarcode16(link, state, msg::kBarcode16Alt, CanAckFamily::Barcode16ReadAlt);
}

namespace {

// The read of the chosen form with the exchange lock held; its button is the caller's to give back.
bool readChosen(link::Link& link, mainwindow::MainState& state) {
  Controls& controls = link.controls;
  if (!CanCommandStart(link)) return false;
  controls.setText(c::Edit_Barcode32_RW, QString());
  controls.setText(c::Label_Barcode_R, QStringLiteral("-"));
  state.records.CanBarcodeBuffer.set({});
  const int form = controls.itemIndex(c::RadioGroupBarcodeSelect);
  if (form != kBarcode32 && form != kBarcode16) return false;  // no form chosen: the label stays "-"
  const bool read = form == kBarcode32 ? CanReadBarcode32(link, state)
                                       : CanReadBarcode16(link, state) || CanReadBarcode16Alt(link, state);
  controls.setText(c::Label_Barcode_R, QString::fromLatin1(read ? "OK" : "NG"));
  return read;
}

}  // namespace

bool CanReadBarcode(link::Link& link, mainwindow::MainState& state) {
  const auto exchange = link.exchange();
  return readChosen(link, state);
}

void CanReadBarcodeWorker(link::Link& link, mainwindow::MainState& state) {
  {
    const auto exchange = link.exchange();
    readChosen(link, state);
  }
  // The table is a file: read with no lock held.
  const QByteArray barcode = platform::big5Bytes(link.controls.text(c::Edit_Barcode32_RW));
  if (!barcode.isEmpty()) {
    if (const std::optional<QByteArray> energy = mainwindow::LookupCapacity(state.battery, barcode)) {
      link.controls.setText(c::Edit_Battery_Capacity_BRCAN, QString::fromLatin1(*energy));
    }
  }
}

bool CanWriteBarcode32(link::Link& link, mainwindow::MainState& /*state*/) {
  return writeBarcode(link, link::CanWriteBarcode32Text);
}

bool CanWriteBarcode16(link::Link& link, mainwindow::MainState& /*state*/) {
  return writeBarcode(link, link::CanWriteBarcode16Text);
}

void CanWriteBarcodeWorker(link::Link& link, mainwindow::MainState& state) {
  const auto exchange = link.exchange();
  Controls& controls = link.controls;
  if (!CanCommandStart(link)) return;
  controls.setText(c::Label_Barcode_W, QStringLiteral("-"));
  state.records.CanBarcodeBuffer.set({});
  switch (controls.itemIndex(c::RadioGroupBarcodeSelect)) {
    case kBarcode32: CanWriteBarcode32(link, state); break;
    case kBarcode16: CanWriteBarcode16(link, state); break;
    default: break;  // no form chosen: nothing is sent
  }
}

int32_t StoreBarcodeModeENG(mainwindow::MainState& state, int itemIndex) {
  const QString path = mainwindow::EvtIniPath();
  // A file that cannot be written keeps what it holds; the field then takes that.
  platform::writeProfileString(path, "Set", "BarcodeModeENG", QByteArray::number(itemIndex));
  const QByteArray value = platform::readProfileString(path, "Set", "BarcodeModeENG", "-1");
  const int32_t mode = platform::profileInteger(value).value_or(-1);
  state.records.EVT_TEST_SET.with([&](mainwindow::EvtTestSet& set) { set.BarcodeModeENG = mode; });
  return mode;
}

CanBarcodeCommands::CanBarcodeCommands(link::Link& link, mainwindow::MainState& state,
                                       UrCommandRunner::StartWorker start)
    : link_(link),
      state_(state),
      controls_(link.controls),
      start_(start ? std::move(start) : DefaultCanWorkerStart(link)) {}

void CanBarcodeCommands::RadioGroupBarcodeSelectClick() {
  controls_.setEnabled(c::GroupBox34, true);
  StoreBarcodeModeENG(state_, controls_.itemIndex(c::RadioGroupBarcodeSelect));
}

void CanBarcodeCommands::SpdBtn_Barcode32_RClick() {
  StartCanWorker(link_, start_, c::SpdBtn_Barcode32_R, "CanReadBarcodeWorker",
                 [this] { CanReadBarcodeWorker(link_, state_); });
}

void CanBarcodeCommands::SpdBtn_Barcode32_WClick() {
  StartCanWorker(link_, start_, c::SpdBtn_Barcode32_W, "CanWriteBarcodeWorker",
                 [this] { CanWriteBarcodeWorker(link_, state_); });
}

}  // namespace qv::commands
