#include "eeprom/LastChargeSearch.h"

#include "eeprom/HistoryAnalysis.h"
#include "link/PackFrames.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

namespace qv::eeprom {

namespace ctl = mainwindow::ctl;

namespace {

constexpr uint8_t kAllParts = mainwindow::EepBlockBuffer::kAllParts;

// The search's worker: the READ button stays off until the adapter is open, then serves as STOP.
const commands::UrCommandShape kSearchShape{
    .worker = "LastChargeDateWorker",
    .buttons = {ctl::SpdBtnLastChgDateGet},
    .closeAfterFailedOpen = true,
    .sleepAfterCloseMs = 200,
};

}  // namespace

LastChargeSearch::LastChargeSearch(platform::Services& services, link::Link& link, mainwindow::MainState& state,
                                   EepromRecords& records, commands::UrCommandRunner::StartWorker start)
    : controls_(services.controls), link_(link), state_(state), records_(records), runner_(link, std::move(start)) {}

uint32_t LastChargeSearch::readCount(EepList list, bool stepProgress) {
  // A count that does not come reads 0, not what an earlier pack or read left.
  records_.zeroBlock(list);
  const uint16_t id = eepListIds(list).count;
  for (int attempt = 0; attempt < 3 && state_.RunFlag.running(); ++attempt) {
    if (stepProgress)
      controls_.setPosition(ctl::ProgressBarLastChgDate, controls_.position(ctl::ProgressBarLastChgDate) + 1);
    link::SendPackCommand24(link_, id, 0, 0, 0);
    platform::sleepMs(100);
    if (link::ReceivePackAnswerTo(link_, id, 0)) break;
    platform::sleepMs(100);
  }
  return records_.count(list);
}

bool LastChargeSearch::ReadEventCounts() {
  const uint32_t total = readCount(EepList::Lead, false) + readCount(EepList::Last, false);
  controls_.setMaximum(ctl::ProgressBarEEPRead, static_cast<int>(total));
  return total > 0;
}

uint16_t LastChargeSearch::ReadEventCount(EepList list) { return static_cast<uint16_t>(readCount(list, false)); }

void LastChargeSearch::ReadLastChargeDate() {
  controls_.setPosition(ctl::ProgressBarLastChgDate, 0);
  platform::sleepMs(500);
  const uint32_t total = readCount(EepList::Lead, true) + readCount(EepList::Last, true);
  controls_.setMaximum(ctl::ProgressBarEEPRead, static_cast<int>(total));
  const int barMaximum = static_cast<int>(total) + 2;
  controls_.setMaximum(ctl::ProgressBarLastChgDate, barMaximum);
  if (total == 0) controls_.setPosition(ctl::ProgressBarLastChgDate, barMaximum);
  // Each search starts from nothing: the latest charge of this pack, whatever an earlier one left.
  state_.report.with([](mainwindow::ReportRecord& r) {
    r.lastCharge = {};
    r.lastChargeSoc = 0;
    r.lastChargeText.clear();
  });
  if (state_.RunFlag.running()) {
    ScanEventList(EepList::Lead);
    if (state_.RunFlag.running()) {
      ScanEventList(EepList::Last);
      const auto [text, soc] = state_.report.with(
          [](const mainwindow::ReportRecord& r) { return std::pair(r.lastChargeText, r.lastChargeSoc); });
      controls_.setText(ctl::EditLastChgDate, text);
      controls_.setText(ctl::EditLastChgSOC, QString::number(soc));
    }
  }
  platform::sleepMs(100);
}

void LastChargeSearch::ScanEventList(EepList list) {
  const uint32_t count = readCount(list, false);
  for (uint32_t r = 1; r <= count; ++r) {
    if (!state_.RunFlag.running()) return;
    if (!ReadListRecord(link_, records_, list, r, nullptr, &state_.RunFlag)) return;
    controls_.setPosition(ctl::ProgressBarLastChgDate, controls_.position(ctl::ProgressBarLastChgDate) + 1);
    const mainwindow::EepBlockBuffer b = records_.buffer(list).snapshot();
    if (b.partsReceived != kAllParts || b.flag != kEventChargeStop) continue;
    const mainwindow::PackStamp s{b.dateTime[0], b.dateTime[1], b.dateTime[2],
                                  b.dateTime[3], b.dateTime[4], b.dateTime[5]};
    state_.report.with([&](mainwindow::ReportRecord& rep) {
      if (!StampLater(s, rep.lastCharge)) return;
      rep.lastCharge = s;
      rep.lastChargeSoc = b.stateOfCharge;
      rep.lastChargeText = StampText(s);
    });
  }
}

void LastChargeSearch::SpdBtnLastChgDateGetClick() {
  if (controls_.text(ctl::SpdBtnLastChgDateGet) != QStringLiteral("READ")) {
    state_.RunFlag.set(0);
    giveButtonBack();
    return;
  }
  // The button serves as STOP while a search runs; a READ before that search has ended starts nothing.
  if (searching_.exchange(true)) return;
  controls_.setFontColor(ctl::SpdBtnLastChgDateGet, colour::Red);
  controls_.setText(ctl::SpdBtnLastChgDateGet, QStringLiteral("STOP"));
  if (!runner_.Start(kSearchShape, [this] { LastChargeDateWorker(); })) {
    giveButtonBack();
    searching_.store(false);
  }
}

void LastChargeSearch::LastChargeDateWorker() {
  runner_.Run(kSearchShape, [this](link::Link&) {
    controls_.setEnabled(ctl::SpdBtnLastChgDateGet, true);
    state_.RunFlag.set(1);
    controls_.setEnabled(ctl::CheckBoxLastChgDate, false);
    if (state_.RunFlag.running()) ReadLastChargeDate();
  });
  platform::sleepMs(500);
  controls_.setEnabled(ctl::CheckBoxLastChgDate, true);
  giveButtonBack();
  searching_.store(false);
}

void LastChargeSearch::giveButtonBack() {
  controls_.setFontColor(ctl::SpdBtnLastChgDateGet, colour::Blue);
  controls_.setText(ctl::SpdBtnLastChgDateGet, QStringLiteral("READ"));
}

}  // namespace qv::eeprom
