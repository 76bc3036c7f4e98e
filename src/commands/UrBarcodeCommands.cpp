#include "commands/UrBarcodeCommands.h"

#include "link/PackFrames.h"
#include "link/PackMessages.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/Monitor.h"
#include "platform/Time.h"

namespace qv::commands {

namespace {

using platform::sleepMs;
namespace c = mainwindow::ctl;

constexpr int kPasses = 3;
constexpr int kPartBytes = 8;

struct KindDef {
  BarcodeKind kind;
  uint16_t readMessage;
  uint16_t writeMessage;
  int parts;
  const char* readingText;
  const char* writingText;
};

// In the order the kinds are asked for.
constexpr KindDef kKinds[] = {
    {BarcodeKind::Barcode32Eep, link::msg::kEepBarcode, link::msg::kBarcode32Write, 4,
     " Barcode32 eep mode reading ...", " Barcode32 eep mode writing ..."},
    {BarcodeKind::Barcode32, link::msg::kBarcode32, link::msg::kBarcode32Write, 4, " Barcode32 mode reading ...",
     " Barcode32 mode writing ..."},
    {BarcodeKind::Barcode16, link::msg::kBarcode16Alt, link::msg::kBarcode16Write, 2, " Barcode16 mode reading ...",
     " Barcode16 mode writing ..."},
};

const KindDef& kindDef(BarcodeKind kind) { return kKinds[static_cast<size_t>(kind)]; }

const UrCommandShape kWriteShape{"WriteBarcodeWorker", {c::BitBtnBarCodeWrite}, 0, false, 0, true};
const UrCommandShape kReadShape{"ReadBarcodeWorker", {c::BitBtnBarCodeRead}, 0, false, 0, true};

const QString kLinkText = QStringLiteral("  SYS : < LINK >");
const QString kStopText = QStringLiteral("  SYS : < STOP >");

// The run flag raised for the command's own detection, and lowered however the exchange ends, before the
// command set (RUN among it) comes back: a RUN clicked at once must not find its run stopped by ours.
class RunFlagRaised {
 public:
  explicit RunFlagRaised(mainwindow::RunFlagByte& flag) : flag_(flag) { flag_.set(1); }
  ~RunFlagRaised() { flag_.set(0); }
  RunFlagRaised(const RunFlagRaised&) = delete;
  RunFlagRaised& operator=(const RunFlagRaised&) = delete;

 private:
  mainwindow::RunFlagByte& flag_;
};

bool writeParts(link::Link& link, uint16_t message, int parts) {
  const std::array<uint8_t, 32> buffer = BarcodeWriteBuffer(link.controls.text(c::EditBarCode32));
  for (int pass = 0; pass < kPasses; ++pass) {
    int acknowledged = 0;
    for (int n = 1; n <= parts; ++n) {
      link::SendPackCommand(link, message, static_cast<uint16_t>(n), {0, 0, 0}, kPartBytes);
      sleepMs(20);
      link::PackMessageBytes part{};
      std::copy_n(buffer.begin() + kPartBytes * (n - 1), kPartBytes, part.begin());
      link::SendPackText8(link, part);
      sleepMs(50);
      if (link::WaitPackAck(link, message, static_cast<uint16_t>(n))) ++acknowledged;
    }
    if (acknowledged == parts) return true;
  }
  return false;
}

}  // namespace

std::array<uint8_t, 32> BarcodeWriteBuffer(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  std::array<uint8_t, 32> out{};
  for (size_t i = 0; i < out.size() && i < static_cast<size_t>(bytes.size()); ++i) {
    out[i] = static_cast<uint8_t>(bytes[static_cast<qsizetype>(i)]);
  }
  return out;
}

bool ReadBarcodeKind(link::Link& link, BarcodeKindFlags& flags, BarcodeKind kind) {
  if (flags.foundUpTo(kind)) return false;
  const KindDef& def = kindDef(kind);
  for (int pass = 0; pass < kPasses; ++pass) {
    // Every pass starts from an empty receive queue, so what an earlier exchange left (the part of a probe's
    // answer it did not read) cannot shift this pass's answers.
    link.PurgeSerialHandle();
    int accepted = 0;
    for (int n = 1; n <= def.parts; ++n) {
      link::SendPackCommand(link, def.readMessage, static_cast<uint16_t>(n), {0, 0, 0}, 0);
      sleepMs(40);
      // Only this part's own answer counts for it: a late answer of the part before is not this one.
      if (link::ReceivePackAnswerTo(link, def.readMessage, static_cast<uint16_t>(n))) ++accepted;
    }
    if (accepted == def.parts) {
      flags.set(kind);
      return true;
    }
    sleepMs(50);
  }
  return false;
}

bool WriteBarcode32(link::Link& link) { return writeParts(link, link::msg::kBarcode32Write, 4); }
bool WriteBarcode16(link::Link& link) { return writeParts(link, link::msg::kBarcode16Write, 2); }

UrBarcodeCommands::UrBarcodeCommands(link::Link& link, mainwindow::MainState& state, UrCommandRunner::StartWorker start)
    : link_(link), controls_(link.controls), state_(state), runner_(link, std::move(start)) {}

void UrBarcodeCommands::installOn(mainwindow::MonitorHooks& hooks) {
  hooks.ClearBarcodeKindFlags = [this] { flags_.clear(); };
  hooks.AnyBarcodeKindFound = [this] { return flags_.any(); };
  hooks.ReadBarcode32Eep = [this] { return ReadBarcode32Eep(); };
  hooks.ReadBarcode32 = [this] { return ReadBarcode32(); };
  hooks.ReadBarcode16 = [this] { return ReadBarcode16(); };
}

void UrBarcodeCommands::BitBtnBarCodeWriteClick() {
  runner_.Start(kWriteShape, [this] { WriteBarcodeWorker(); });
}

void UrBarcodeCommands::BitBtnBarCodeReadClick() {
  if (!controls_.enabled(c::BitBtnBarCodeRead)) return;
  controls_.setPanel(c::StatusBarView, 0, kLinkText);
  controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(barcodeText::kDetect));
  controls_.setText(c::EditBarCode32, QString());
  runner_.Start(kReadShape, [this] { ReadBarcodeWorker(); });
}

uint8_t UrBarcodeCommands::detectAndReadKinds(link::Link& link, bool showMode) {
  state_.DetectedUrVariant = mainwindow::kVariantNone;
  const uint8_t variant = mainwindow::DetectUrVariant(link, state_.RunFlag);
  state_.DetectedUrVariant = variant;
  // The read shows UR74 and UR96; for UR2 and no pack panel 1 keeps its text.
  if (showMode && variant == mainwindow::kVariantUr74) {
    controls_.setPanel(c::StatusBarView, 1, QStringLiteral(" UR74 Mode "));
  } else if (showMode && variant == mainwindow::kVariantUr96) {
    controls_.setPanel(c::StatusBarView, 1, QStringLiteral(" UR96 Mode "));
  }
  if (variant != mainwindow::kVariantUr96 && variant != mainwindow::kVariantUr2) return variant;
  for (const KindDef& def : kKinds) {
    // The reading text goes up even for a kind that is skipped because an earlier one was found.
    controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(def.readingText));
    ReadBarcodeKind(link, flags_, def.kind);
  }
  return variant;
}

void UrBarcodeCommands::WriteBarcodeWorker() {
  bool written = false;
  if (controls_.text(c::EditBarCode32).isEmpty()) {
    // Nothing to write: the adapter is not opened, the buttons come back as after a write.
    controls_.setEnabled(c::BitBtnBarCodeWrite, true);
    controls_.setPanel(c::StatusBarView, 0, kStopText);
    controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(barcodeText::kWriteFailed));
    mainwindow::SetCommandButtonsEnabled(controls_, true);
    return;
  }
  runner_.Run(kWriteShape, [this, &written](link::Link& link) {
    const RunFlagRaised running(state_.RunFlag);
    controls_.setPanel(c::StatusBarView, 0, kLinkText);
    flags_.clear();
    const QString kept = controls_.text(c::EditBarCode32);
    controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(barcodeText::kDetect));
    const uint8_t variant = detectAndReadKinds(link, false);
    if (variant != mainwindow::kVariantUr96 && variant != mainwindow::kVariantUr2) return;
    // The reads put the pack's barcode into the edit; what goes out is the operator's text.
    controls_.setText(c::EditBarCode32, kept);
    for (const KindDef& def : kKinds) {
      if (!flags_.found(def.kind)) continue;
      controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(def.writingText));
      written = def.kind == BarcodeKind::Barcode16 ? WriteBarcode16(link) : WriteBarcode32(link);
      break;
    }
  });
  controls_.setPanel(c::StatusBarView, 2,
                     QString::fromLatin1(written ? barcodeText::kWriteFinished : barcodeText::kWriteFailed));
}

void UrBarcodeCommands::ReadBarcodeWorker() {
  runner_.Run(kReadShape, [this](link::Link& link) {
    const RunFlagRaised running(state_.RunFlag);
    controls_.setText(c::EditBarCode32, QString());
    flags_.clear();
    controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(barcodeText::kDetect));
    detectAndReadKinds(link, true);
  });
  controls_.setPanel(c::StatusBarView, 2, QString::fromLatin1(barcodeText::kReadFinished));
}

}  // namespace qv::commands
