#include "eeprom/UnitEEPROM.h"

#include "eeprom/EEPROMFormControls.h"
#include "eeprom/EepSave.h"
#include "link/PackFrames.h"
#include "link/PackMessages.h"
#include "link/Profiles.h"
#include "mainwindow/CommandSets.h"
#include "mainwindow/MainFormControls.h"
#include "platform/Time.h"

#include <QFile>

#include <array>
#include <utility>

namespace qv::eeprom {
namespace {

namespace ctl = eepromCtl;
namespace msg = link::msg;

constexpr Colour kCream = 0xF0FBFF;
constexpr int kPageHeader = 0;
constexpr int kPageProtection = 1;
constexpr int kPageLead = 2;
constexpr int kPageLast = 3;

const QString kTimeOutLine = QStringLiteral("Total Bytes :   Time out ");

FormDef EEPROMFormDef() {
  constexpr Control pages = ctl::PageControlEEP;
  constexpr Control read = ctl::GroupBox1;
  constexpr Control save = ctl::GroupBox2;
  constexpr Control range = ctl::GroupBoxEEPRangeRead;
  FormDef form;
  form.name = ctl::FormEEPROM;
  form.caption = "EEPROM Warantty informatiion";
  form.clientWidth = 640;
  form.clientHeight = 520;
  form.color = colour::fromRgb(229, 254, 206);
  form.controls = {
      place(Kind::PageControl, pages, kFormItself, 8, 8, 624, 392),
      place(Kind::TabSheet, ctl::TabSheetHeader, pages, 0, 0, 0, 0, "Header"),
      place(Kind::Memo, ctl::MemoEEPHeader, ctl::TabSheetHeader, 4, 4, 610, 356).locked().list("EEPROM Header Block"),
      place(Kind::TabSheet, ctl::TabSheetProtection, pages, 0, 0, 0, 0, "Protection"),
      place(Kind::Memo, ctl::MemoEEPProtect, ctl::TabSheetProtection, 4, 4, 610, 356)
          .locked()
          .paint(kCream)
          .list("EEPROM Protect Block"),
      place(Kind::TabSheet, ctl::TabSheetLEAD, pages, 0, 0, 0, 0, "LEAD"),
      place(Kind::Memo, ctl::MemoEEPNormalLEAD, ctl::TabSheetLEAD, 4, 4, 610, 356)
          .locked()
          .list("EEPROM Normal LEAD Block"),
      place(Kind::TabSheet, ctl::TabSheet1, pages, 0, 0, 0, 0, "LAST"),
      place(Kind::Memo, ctl::MemoEEPNormalLAST, ctl::TabSheet1, 4, 4, 610, 356)
          .locked()
          .list("EEPROM Normal LAST Block"),

      place(Kind::GroupBox, read, kFormItself, 8, 408, 120, 84, "EEP Read"),
      place(Kind::Button, ctl::BitBtnEEPBlockChoiceRead, read, 10, 22, 100, 30, "Read"),
      place(Kind::CheckBox, ctl::CheckBoxEEPReadLast10, read, 10, 58, 100, 18, "Last 10 ").tick().hide(),
      place(Kind::GroupBox, save, kFormItself, 136, 408, 120, 84, "EEP Save File"),
      place(Kind::Button, ctl::BitBtnEEPSave, save, 10, 22, 100, 30, "Save"),
      place(Kind::CheckBox, ctl::CheckBoxEEPSave, save, 10, 58, 100, 18, "All Page").tick().hide(),
      place(Kind::Button, ctl::BitBtnClean, kFormItself, 264, 430, 70, 30, "Clean"),
      place(Kind::Button, ctl::BitBtnEEPBlockProtectRead, kFormItself, 264, 462, 70, 26, "Protect").hide(),
      place(Kind::Button, ctl::BitBtnEEPClean, kFormItself, 264, 462, 70, 26, " Clean").hide(),
      place(Kind::GroupBox, range, kFormItself, 342, 408, 290, 84, "EPP page LEAD or LAST range read").disable(),
      place(Kind::Label, ctl::Label82, range, 10, 28, 34, 14, "Start"),
      place(Kind::ComboBox, ctl::ComboBoxEEPStartAddrRead, range, 44, 24, 80, 22),
      place(Kind::Label, ctl::Label91, range, 132, 28, 20, 14, "to"),
      place(Kind::ComboBox, ctl::ComboBoxEEPEndAddrRead, range, 152, 24, 80, 22),
      place(Kind::Button, ctl::BitBtnEEPRange, range, 10, 52, 80, 26, "Read").disable(),
      place(Kind::Button, ctl::BitBtnEEPPreView, range, 100, 52, 80, 26, "PreView"),
      place(Kind::Gauge, ctl::CGaugeEEPROMread, kFormItself, 612, 430, 20, 60).hide(),
      place(Kind::Label, ctl::LabelEEPSaveResult, kFormItself, 8, 498, 624, 16),
  };
  return form;
}

constexpr std::array<Control, 4> kPageMemos = {ctl::MemoEEPHeader, ctl::MemoEEPProtect, ctl::MemoEEPNormalLEAD,
                                               ctl::MemoEEPNormalLAST};

Control memoOf(EepList list) {
  switch (list) {
    case EepList::Lead: return ctl::MemoEEPNormalLEAD;
    case EepList::Last: return ctl::MemoEEPNormalLAST;
    case EepList::Protect: break;
  }
  return ctl::MemoEEPProtect;
}

// The header read's shape: its own Read button off besides the command set, the 300 ms wait before the buttons
// come back also when the open failed.
const commands::UrCommandShape kHeaderShape{
    .worker = "ReadHeaderBlockThread",
    .buttons = {ctl::BitBtnEEPBlockChoiceRead},
    .closeAfterFailedOpen = true,
    .sleepAfterCloseMs = 300,
};
const commands::UrCommandShape kBlockShape{
    .worker = "ReadBlockThread",
    .buttons = {ctl::BitBtnEEPBlockChoiceRead},
    .closeAfterFailedOpen = true,
    .sleepAfterCloseMs = 300,
};
const commands::UrCommandShape kRangeShape{
    .worker = "ReadRangeThread",
    .buttons = {ctl::BitBtnEEPBlockChoiceRead},
};
// The preview: 100 ms after the close, the PreView button back, 100 ms more, the command set back.
const commands::UrCommandShape kPreviewShape{
    .worker = "PreViewThread",
    .buttons = {ctl::BitBtnEEPPreView},
    .closeAfterFailedOpen = true,
    .sleepAfterCloseMs = 200,
};

// Up to ten tries of a count or size request; true when its own answer arrived.
bool askCount(link::Link& link, uint16_t id) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    link::SendPackCommand24(link, id, 0, 0, 0);
    platform::sleepMs(50);
    if (link::ReceivePackAnswerTo(link, id, 0)) return true;
    platform::sleepMs(50);
  }
  return false;
}

}  // namespace

TFormEEPROM::TFormEEPROM(platform::Services& services, link::Link& link, mainwindow::MainState& state,
                         commands::UrCommandRunner::StartWorker start)
    : DeclaredForm(services.controls, EEPROMFormDef()),
      state_(state),
      controls_(services.controls),
      runner_(link, std::move(start)),
      records_(state) {
  // FormCreate: the Header page, the pages empty, Save off until a read has filled one. The page is chosen
  // without a change event, so "Last 10 " stays hidden and the range group off until the page changes.
  controls_.setItemIndex(ctl::PageControlEEP, kPageHeader);
  for (Control memo : kPageMemos) controls_.setItems(memo, {});
  controls_.setEnabled(ctl::BitBtnEEPSave, false);
}

TFormEEPROM::~TFormEEPROM() = default;

void TFormEEPROM::onEvent(Control control, UiEvent event) {
  static constexpr EventRoute<TFormEEPROM> kRoutes[] = {
      {ctl::FormEEPROM, UiEvent::Show, &TFormEEPROM::FormShow},
      {ctl::FormEEPROM, UiEvent::Close, &TFormEEPROM::FormClose},
      {ctl::PageControlEEP, UiEvent::Change, &TFormEEPROM::PageControlEEPChange},
      {ctl::BitBtnEEPBlockChoiceRead, UiEvent::Click, &TFormEEPROM::BitBtnEEPBlockChoiceReadClick},
      {ctl::BitBtnEEPPreView, UiEvent::Click, &TFormEEPROM::BitBtnEEPPreViewClick},
      {ctl::BitBtnEEPRange, UiEvent::Click, &TFormEEPROM::BitBtnEEPRangeClick},
      {ctl::BitBtnClean, UiEvent::Click, &TFormEEPROM::BitBtnCleanClick},
      {ctl::BitBtnEEPSave, UiEvent::Click, &TFormEEPROM::BitBtnEEPSaveClick},
  };
  routeEvent(*this, kRoutes, control, event);
}

void TFormEEPROM::FormShow() { records_.zeroAll(); }

void TFormEEPROM::FormClose() {
  if (reading_.load()) {
    // The read owns the adapter and writes these pages: the window stays, and a record read stops after the
    // record it is at.
    stop_.store(true);
    controls_.setVisible(ctl::FormEEPROM, true);
    return;
  }
  controls_.setEnabled(mainWindow_, true);
  controls_.setVisible(mainWindow_, true);
}

void TFormEEPROM::PageControlEEPChange() {
  const int page = controls_.itemIndex(ctl::PageControlEEP);
  controls_.setEnabled(ctl::GroupBoxEEPRangeRead, page == kPageLead || page == kPageLast);
  controls_.setVisible(ctl::CheckBoxEEPReadLast10, page != kPageHeader);
}

bool TFormEEPROM::startRead(const commands::UrCommandShape& shape, std::function<void()> worker) {
  if (reading_.exchange(true)) return false;
  stop_.store(false);
  if (!runner_.Start(shape, std::move(worker))) {
    reading_.store(false);
    return false;
  }
  return true;
}

void TFormEEPROM::BitBtnEEPBlockChoiceReadClick() {
  if (!controls_.enabled(ctl::BitBtnEEPBlockChoiceRead) || reading_.load()) return;
  records_.zeroAll();
  switch (controls_.itemIndex(ctl::PageControlEEP)) {
    case kPageHeader: startRead(kHeaderShape, [this] { ReadHeaderBlockThread(); }); break;
    case kPageProtection: startRead(kBlockShape, [this] { ReadBlockThread(EepList::Protect); }); break;
    case kPageLead: startRead(kBlockShape, [this] { ReadBlockThread(EepList::Lead); }); break;
    case kPageLast: startRead(kBlockShape, [this] { ReadBlockThread(EepList::Last); }); break;
    default: break;
  }
}

void TFormEEPROM::BitBtnEEPRangeClick() {
  if (!controls_.enabled(ctl::BitBtnEEPRange) || reading_.load()) return;
  const int page = controls_.itemIndex(ctl::PageControlEEP);
  if (page != kPageLead && page != kPageLast) return;
  records_.zeroAll();
  const EepList list = page == kPageLead ? EepList::Lead : EepList::Last;
  // The chosen records are taken here, and the range button goes off here with the command set and the window,
  // before the worker runs: nothing can change the choice under it.
  const int s = controls_.itemIndex(ctl::ComboBoxEEPStartAddrRead);
  const int e = controls_.itemIndex(ctl::ComboBoxEEPEndAddrRead);
  startRead(kRangeShape, [this, list, s, e] { ReadRangeThread(list, s, e); });
  applySaveRule();
}

void TFormEEPROM::BitBtnEEPPreViewClick() {
  if (!controls_.enabled(ctl::BitBtnEEPPreView) || reading_.load()) return;
  startRead(kPreviewShape, [this] { PreViewThread(); });
}

void TFormEEPROM::BitBtnCleanClick() {
  const int page = controls_.itemIndex(ctl::PageControlEEP);
  if (page == kPageLead) controls_.setItems(ctl::MemoEEPNormalLEAD, {});
  if (page == kPageLast) controls_.setItems(ctl::MemoEEPNormalLAST, {});
}

void TFormEEPROM::BitBtnEEPSaveClick() {
  if (!controls_.enabled(ctl::BitBtnEEPSave)) return;
  controls_.setEnabled(ctl::BitBtnEEPSave, false);
  const QString name =
      EepSaveName(controls_.text(mainwindow::ctl::EditFWID), controls_.text(mainwindow::ctl::EditFWVer));
  std::array<QStringList, 4> pages;
  for (size_t i = 0; i < pages.size(); ++i) pages[i] = controls_.items(kPageMemos[i]);
  const EepSaveResult result = SaveEepromLog(link::ExeDirectory(), name, platform::now(), pages);
  controls_.setText(ctl::LabelEEPSaveResult,
                    result.ok ? "Saved in " + result.folder : "Save failed: " + result.error + " in " + result.folder);
  controls_.setEnabled(ctl::BitBtnEEPSave, true);
}

// --- workers ---

void TFormEEPROM::finishRead() {
  // The command set has just switched the range button on with the others; it stays on only while the lists
  // offer records.
  if (rangeCount_.load() <= 0) controls_.setEnabled(ctl::BitBtnEEPRange, false);
  applySaveRule();
  reading_.store(false);
}

void TFormEEPROM::applySaveRule() {
  bool any = false;
  for (Control memo : kPageMemos) any = any || !controls_.items(memo).isEmpty();
  controls_.setEnabled(ctl::BitBtnEEPSave, any);
}

void TFormEEPROM::ReadHeaderBlockThread() {
  runner_.Run(kHeaderShape, [this](link::Link& link) { readHeader(link); });
  finishRead();
}

void TFormEEPROM::readHeader(link::Link& link) {
  const bool answered = askCount(link, msg::kEepHeaderCount);
  const uint32_t bytes = records_.header().header.byteCount;
  controls_.setItems(ctl::MemoEEPHeader, {answered ? "Total Bytes :   " + QString::number(bytes) : kTimeOutLine});
  if (!answered || bytes == 0) return;
  state_.RunFlag.set(1);
  if (state_.RunFlag.running()) RequestHeaderItems(link);
  if (state_.RunFlag.running()) ShowEepHeaderText();
}

void TFormEEPROM::RequestHeaderItems(link::Link& link) {
  struct Item {
    uint16_t id;
    uint16_t index;
    int waitMs;
    int waitAfterMs;
  };
  static constexpr Item kItems[] = {
      // clang-format off
      {msg::kEepHeaderId, 0, 100, 100},          {msg::kEepCurrentUnit, 0, 100, 100},
      {msg::kEepVoltageUnit, 0, 100, 100},       {msg::kEepVoltageDiffUnit, 0, 100, 100},
      {msg::kEepMaxVoltageDiff, 0, 100, 100},    {msg::kEepWarrantyCycles, 0, 100, 100},
      {msg::kEepWarrantyCapacity, 0, 100, 100},  {msg::kEepWarrantyMonths, 0, 100, 100},
      {msg::kEepCellType, 1, 100, 100},          {msg::kEepCellType, 2, 100, 100},
      {msg::kEepCycleCount, 0, 100, 100},        {msg::kEepTotalChargeCapacity, 0, 100, 100},
      {msg::kEepBarcode, 1, 100, 100},           {msg::kEepBarcode, 2, 100, 100},
      {msg::kEepBarcode, 3, 100, 100},           {msg::kEepBarcode, 4, 100, 100},
      {msg::kEepChargeStartTotal, 0, 100, 100},  {msg::kEepDischargeStartTotal, 0, 100, 100},
      {msg::kEepSleepTotal, 0, 100, 100},        {msg::kEepWakeUpTotal, 0, 100, 100},
      {msg::kEepDeepSleepTotal, 0, 100, 50},     {msg::kEepResetTotal, 0, 50, 50},
      {msg::kEepProtectReleaseTotal, 0, 50, 50}, {msg::kEepFscTotal, 0, 50, 50},
      {msg::kEepStorageTemperatureTotal, 0, 50, 50},
      {msg::kEepCocCount, 0, 50, 50},            {msg::kEepDocCount, 0, 50, 50},
      {msg::kEepCotCount, 0, 50, 50},            {msg::kEepDotCount, 0, 50, 50},
      {msg::kEepCutCount, 0, 50, 50},            {msg::kEepOvCount, 0, 50, 50},
      {msg::kEepUvCount, 0, 50, 50},             {msg::kEepScCount, 0, 50, 50},
      // clang-format on
  };
  for (const Item& item : kItems) {
    link::SendPackCommand(link, item.id, item.index, {0, 0, 0}, 0);
    platform::sleepMs(item.waitMs);
    link::ReceivePackAnswerTo(link, item.id, item.index);  // the handlers store what arrives; no retry per item
    platform::sleepMs(item.waitAfterMs);
  }
}

void TFormEEPROM::ShowEepHeaderText() { controls_.setItems(ctl::MemoEEPHeader, EepHeaderLines(records_.header())); }

void TFormEEPROM::ReadBlockThread(EepList list) {
  runner_.Run(kBlockShape, [this, list](link::Link& link) {
    state_.RunFlag.set(1);
    ReadBlock(link, list);
    protectLog_.reset();  // closes the protect log this read made, if it made one
  });
  finishRead();
}

void TFormEEPROM::ReadBlock(link::Link& link, EepList list) {
  const bool answered = askCount(link, eepListIds(list).count);
  const Control memo = memoOf(list);
  if (list == EepList::Protect) controls_.setItems(memo, {});
  const uint32_t count = records_.count(list);
  controls_.addItem(memo, answered ? "Total Package Number :   " + QString::number(count) : kTimeOutLine);
  if (!answered || count == 0) return;
  if (list == EepList::Protect) {
    protectLog_ = CreateProtectLog(link::ExeDirectory(), platform::now());
  }
  const uint32_t first = controls_.checked(ctl::CheckBoxEEPReadLast10) && count >= 10 ? count - 9 : 1;
  for (uint32_t number = first; number <= count && !stop_.load(); ++number) readRecord(link, list, number);
}

void TFormEEPROM::readRecord(link::Link& link, EepList list, uint32_t number) {
  uint8_t answered = 0;
  ReadListRecord(link, records_, list, number, &answered);
  const mainwindow::EepBlockBuffer record = records_.buffer(list).snapshot();
  controls_.addItem(memoOf(list), EepRecordLine(list, number, record, answered));
}

void TFormEEPROM::ReadRangeThread(EepList list, int s, int e) {
  runner_.Run(kRangeShape, [this, list, s, e](link::Link& link) {
    if (s < 0 || e < 0 || e < s) return;
    const Control memo = memoOf(list);
    if (list == EepList::Lead) {
      controls_.addItem(memo, kSeparatorLine);
      controls_.addItem(memo, "Data Read : " + QString::number(s + 1) + " to  " + QString::number(e + 1) + " .");
    }
    for (int number = s + 1; number <= e + 1 && !stop_.load(); ++number)
      readRecord(link, list, static_cast<uint32_t>(number));
    if (list == EepList::Last) controls_.addItem(memo, kSeparatorLine);
  });
  finishRead();
}

uint16_t TFormEEPROM::ReadEventCount(link::Link& link, EepList list) {
  records_.zeroBlock(list);
  const uint16_t id = eepListIds(list).count;
  for (int attempt = 0; attempt < 3 && state_.RunFlag.running(); ++attempt) {
    link::SendPackCommand24(link, id, 0, 0, 0);
    platform::sleepMs(100);
    if (link::ReceivePackAnswerTo(link, id, 0)) break;
    platform::sleepMs(100);
  }
  return static_cast<uint16_t>(records_.count(list));
}

void TFormEEPROM::PreViewThread() {
  const int page = controls_.itemIndex(ctl::PageControlEEP);
  int n = 0;
  const bool opened = runner_.Run(kPreviewShape, [&](link::Link& link) {
    controls_.setItems(ctl::ComboBoxEEPStartAddrRead, {});
    controls_.setItems(ctl::ComboBoxEEPEndAddrRead, {});
    state_.RunFlag.set(1);
    if (page == kPageLead || page == kPageLast) {
      const EepList list = page == kPageLead ? EepList::Lead : EepList::Last;
      n = ReadEventCount(link, list);
      controls_.addItem(memoOf(list), "Total Package Number :   " + QString::number(n));
    }
    QStringList items;
    for (int i = 1; i <= n; ++i) items << QString::number(i);
    controls_.setItems(ctl::ComboBoxEEPStartAddrRead, items);
    controls_.setItems(ctl::ComboBoxEEPEndAddrRead, items);
    if (n > 0) {
      controls_.selectItem(ctl::ComboBoxEEPStartAddrRead, 0);
      controls_.selectItem(ctl::ComboBoxEEPEndAddrRead, n - 1);
    }
  });
  if (opened) rangeCount_.store(n);
  finishRead();
  platform::sleepMs(500);
}

}  // namespace qv::eeprom
