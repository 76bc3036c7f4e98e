#pragma once
// A CAN dispatcher over a bare control store, fed frames as the tables write them.

#include "mainwindow/CanDispatcher.h"
#include "mainwindow/PackDispatcher.h"
#include "support/BareStore.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace qv::test {

// The EEPROM parameter window's box that the composition hands the dispatcher (that window is a layer above).
namespace paraCtl {
QV_CONTROL(Edit_WakeUpLineType);
}  // namespace paraCtl

class CanRig : public ::testing::Test {
 protected:
  void frame(uint32_t id, const char* data, uint8_t length = 8, uint8_t flag = 0) {
    const QByteArray bytes = hex(data).leftJustified(8, '\0');
    can.DispatchCanFrame(flag, id, reinterpret_cast<const uint8_t*>(bytes.constData()), length);
  }
  void header(uint16_t command, uint16_t index, uint8_t status = 0) {
    frame(link::kCanAnswerHeader, QStringLiteral("%1 %2 00 00 00 %3")
                                      .arg(command, 4, 16, QChar('0'))
                                      .arg(index, 4, 16, QChar('0'))
                                      .arg(status, 2, 16, QChar('0'))
                                      .toLatin1()
                                      .constData());
  }
  // An answer header and its data.
  void answer(uint16_t command, uint16_t index, const char* data) {
    header(command, index);
    frame(link::kCanAnswerData, data);
  }
  QString text(Control name) const { return controls.text(name); }

  test::MainWindowStore controls;
  mainwindow::MainState state;
  mainwindow::PackDispatcher pack{controls, state};
  mainwindow::CanDispatcher can{controls, state, pack};
  // The EEPROM parameter window's box the composition hands the dispatcher.
  const bool wired_ = (controls.declare(paraCtl::Edit_WakeUpLineType, {}),
                       can.setWakeUpLineTypeBox(paraCtl::Edit_WakeUpLineType), true);
};

}  // namespace qv::test
