#pragma once
// The main window's controls that the link and the configuration dialog act on, as the composition hands them
// to the link.

#include "link/Link.h"
#include "mainwindow/MainFormControls.h"

#include <array>

namespace qv::mainwindow {

inline constexpr std::array<Control, 4> kLinkButtons = {ctl::SpdBtnRUN, ctl::SpdBtnBusHunt, ctl::SpdBtnUpgrade,
                                                        ctl::BitBtnPrintReportRead};

inline constexpr std::array<Control, 23> kConfirmedButtons = {
    ctl::SpdBtnRUN,
    ctl::SpdBtnBusHunt,
    ctl::SpdBtnUpgrade,
    ctl::SpdBtnSNGet,
    ctl::SpdBtnSNSet,
    ctl::SpdBtnSleep,
    ctl::SpdBtnDeepSleep,
    ctl::BitBtnBarCodeRead,
    ctl::BitBtnBarCodeWrite,
    ctl::BitBtnSafeInfoRead,
    ctl::SpdBtnRTCSet,
    ctl::SpdBtnRTCGet,
    ctl::SpdBtnShippingModeSet,
    ctl::SpdBtnShippingModeGet,
    ctl::SpdBtnEEPROMEraseSet,
    ctl::BitBtnPrintReportRead,
    ctl::SpdBtnLastChgDateGet,
    ctl::SpdBtnChgSW,
    ctl::SpdBtnDsgSW,
    ctl::SpdBtnBtyVoltRead,
    ctl::SpdBtnDsgVoltRead,
    ctl::SpdBtnChgVoltRead,
    ctl::SpdBtnSOCRead,
};

inline constexpr link::MainWindowControls kLinkControls = {
    .window = ctl::FormMain,
    .statusBar = ctl::StatusBarView,
    .txLamp = ctl::Shape_TX,
    .rxLamp = ctl::Shape_RX,
    .barcodeReadLabel = ctl::Label_Barcode_R,
    .barcodeWriteLabel = ctl::Label_Barcode_W,
    .keepAliveTimer = ctl::Timer_300h_ON,
    .pageControl = ctl::PageControl2,
    .lastChargeDateGroup = ctl::GroupBoxLastChgDate,
    .run = ctl::SpdBtnRUN,
    .pageUr = ctl::TabSheetUR96,
    .pageCan = ctl::TabSheet_BRCAN,
    .pageQv = ctl::TabSheet_CAN_ENG,
    .pageKl = ctl::TabSheetKL,
    .pageSt = ctl::TabSheetST,
    .pageDia = ctl::TabSheetVM,
    .pageEep = ctl::TabSheetEEP,
    .pageEng = ctl::TabSheetQV,
    .pageEng2 = ctl::TabSheetENG2,
    .pageCanEvt = ctl::TabSheet_EVT,
    .linkButtons = kLinkButtons,
    .confirmedButtons = kConfirmedButtons,
};

}  // namespace qv::mainwindow
