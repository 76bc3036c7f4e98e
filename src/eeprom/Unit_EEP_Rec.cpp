#include "eeprom/Unit_EEP_Rec.h"

#include "eeprom/CanReadSession.h"
#include "eeprom/EEPRecordFormControls.h"
#include "link/CanAnswerFlags.h"
#include "link/CanLayer.h"
#include "link/PackMessages.h"
#include "platform/Time.h"

#include <cstdio>
#include <exception>

namespace qv::eeprom {
namespace {

// The window colour 13565669.
constexpr Colour kLightGreen = 0xCEFEE5;

constexpr int kTriesPerPart = 10;

// The answer-flag byte of a block and the bit of its part 1; parts 2 to 4 follow it.
struct BlockFlags {
  link::CanAckFamily family;
  int firstBit;
};
BlockFlags blockFlags(int block) {
  if (block == 3) return {link::CanAckFamily::RecordBlock3, 0};
  return {link::CanAckFamily::RecordBlocks12, block == 2 ? 4 : 0};
}

// The controls that share their names with the EEPROM window's are kept under this window's name. Only the
// "Basic" page is used; the other pages' tabs are not shown.
FormDef EEPRecordFormDef() {
  constexpr Control pages = recordCtl::PageControlEEPRecord;
  FormDef form;
  form.name = recordCtl::FormEEP_Record;
  form.caption = "EEPROM Record";
  form.clientWidth = 567;
  form.clientHeight = 616;
  form.color = kLightGreen;
  form.controls = {
      place(Kind::PageControl, pages, kFormItself, 8, 8, 551, 552).list("", 0),
      place(Kind::TabSheet, recordCtl::TabSheetRecordHeader, pages, 0, 0, 0, 0, "Header").hide(),
      place(Kind::Memo, recordCtl::MemoEEPHeader, recordCtl::TabSheetRecordHeader, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordProtection, pages, 0, 0, 0, 0, "Protection").hide(),
      place(Kind::Memo, recordCtl::MemoEEPProtect, recordCtl::TabSheetRecordProtection, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordLEAD, pages, 0, 0, 0, 0, "LEAD").hide(),
      place(Kind::Memo, recordCtl::MemoEEPNormalLEAD, recordCtl::TabSheetRecordLEAD, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordLAST, pages, 0, 0, 0, 0, "LAST").hide(),
      place(Kind::Memo, recordCtl::MemoEEPNormalLAST, recordCtl::TabSheetRecordLAST, 4, 4, 536, 516).locked(),
      place(Kind::TabSheet, recordCtl::TabSheetRecordBasic, pages, 0, 0, 0, 0, "Basic"),
      place(Kind::Memo, recordCtl::MemoEEPBasicRecord, recordCtl::TabSheetRecordBasic, 4, 4, 536, 516).locked(),
      place(Kind::Button, recordCtl::BitBtnEEPBlockChoiceRead, kFormItself, 8, 572, 100, 34, "Read"),
      place(Kind::Gauge, recordCtl::CGaugeEEPROMread, kFormItself, 540, 572, 20, 36).hide(),
  };
  return form;
}

template <typename Fn, typename... Args>
void call(const Fn& fn, Args... args) {
  if (fn) fn(args...);
}

}  // namespace

TFormEEP_Record::TFormEEP_Record(platform::Services& services, link::Link& link)
    : DeclaredForm(services.controls, EEPRecordFormDef()),
      services_(services),
      controls_(services.controls),
      link_(link) {}

void TFormEEP_Record::onEvent(Control control, UiEvent event) {
  static constexpr EventRoute<TFormEEP_Record> kRoutes[] = {
      {recordCtl::BitBtnEEPBlockChoiceRead, UiEvent::Click, &TFormEEP_Record::BitBtnEEPBlockChoiceReadClick},
      {recordCtl::FormEEP_Record, UiEvent::Show, &TFormEEP_Record::FormShow},
      {recordCtl::FormEEP_Record, UiEvent::Close, &TFormEEP_Record::FormClose},
  };
  routeEvent(*this, kRoutes, control, event);
}

void TFormEEP_Record::FormShow() { mainTaken_.store(!controls_.enabled(mainWindow_)); }

void TFormEEP_Record::FormClose() {
  if (!mainTaken_.exchange(false)) return;
  controls_.setEnabled(mainWindow_, true);
  controls_.setVisible(mainWindow_, true);
}

void TFormEEP_Record::BitBtnEEPBlockChoiceReadClick() {
  if (!controls_.enabled(recordCtl::BitBtnEEPBlockChoiceRead)) return;
  controls_.setEnabled(recordCtl::BitBtnEEPBlockChoiceRead, false);
  try {
    services_.workers.start("eep-record-read", [this] { ReadRecordsThread(); });
  } catch (const std::exception&) {
    controls_.setEnabled(recordCtl::BitBtnEEPBlockChoiceRead, true);
  }
}

void TFormEEP_Record::ReadRecordsThread() {
  controls_.setItems(recordCtl::MemoEEPBasicRecord, {});
  call(hooks.RaiseRunFlag);
  try {
    const CanReadSession session(link_);
    if (session.usable()) {
      call(hooks.SwitchKeepAlive, true);
      {
        const auto exchange = link_.exchange();
        link::CanReceiveDispatch(link_);
      }
      platform::sleepMs(1);
      for (const CanRecordBlock& block : kCanRecordBlocks) {
        if (!session.alive()) break;
        call(hooks.ZeroRecordBuffer, block.block);
        if (RequestRecordBlock(block.block) && hooks.RecordBuffer) {
          for (const QString& line : CanRecordBlockLines(block, hooks.RecordBuffer()))
            controls_.addItem(recordCtl::MemoEEPBasicRecord, line);
        }
        if (block.block < 3) platform::sleepMs(100);
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "EEPROM record read ended by an exception: %s\n", e.what());
  }
  // The keep-alive goes on with a CAN run that still holds the adapter; after this read's own session it has
  // no adapter to keep awake.
  if (!link_.canSessionHeld()) call(hooks.SwitchKeepAlive, false);
  controls_.setEnabled(recordCtl::BitBtnEEPBlockChoiceRead, true);
}

bool TFormEEP_Record::RequestRecordBlock(int block) {
  link::CanAnswerFlags* flags = link_.canAnswerFlags();
  if (flags == nullptr || !hooks.RecordBuffer) return false;
  const BlockFlags at = blockFlags(block);
  // Only this read's own flag byte: the commands running beside it poll the others.
  flags->clear(at.family);
  int acknowledged = 0;
  for (int part = 1; part <= 4; ++part) {
    const auto index = static_cast<uint16_t>(block * 256 + part);
    const auto bit = static_cast<uint8_t>(1u << (at.firstBit + part - 1));
    const auto partBit = static_cast<uint8_t>(1u << (part - 1));
    for (int attempt = 0; attempt < kTriesPerPart; ++attempt) {
      // The session ended under the read (its run stopped): nothing more is asked of a closed adapter.
      if (link_.AdapterHandle.load() == 0) return false;
      {
        const auto exchange = link_.exchange();
        link::CanSendRequest(link_, link::msg::kEepCanRecord, index, {0, 0, 0}, 0);
      }
      platform::sleepMs(10);
      {
        const auto exchange = link_.exchange();
        link::CanWaitResponse(link_, link::msg::kEepCanRecord, index);
      }
      // The header accepted the request and the data stored for the part came with an accepted header.
      if ((flags->accepted(at.family) & bit) != 0 && (hooks.RecordBuffer().partsAccepted & partBit) != 0) {
        ++acknowledged;
        break;
      }
      platform::sleepMs(10);
    }
  }
  return acknowledged == 4;
}

}  // namespace qv::eeprom
