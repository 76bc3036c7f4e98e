// Exchanges of many steps over real libftdi and libusb against the emulated FT232H: the EEPROM window's header
// read (a UR2 request and answer for each item), and a small firmware upgrade through the pack's bootloader.

#include "ProgramOverChip.h"
#include "eeprom/EEPROMFormControls.h"
#include "firmware/FWUpgradeFormControls.h"
#include "sim/Ur2Pack.h"
#include "support/ProgramStart.h"
#include "tests/firmware/HexText.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

namespace ectl = eeprom::eepromCtl;
namespace mctl = test::mctl;

class Exchanges : public test::ProgramOverChip {
 protected:
  Exchanges() {
    start("ur2");
    pack = test::ur2PackBehind(*serial);
    configure(link::kProtocolUr);
  }
  std::shared_ptr<sim::Ur2Pack> pack;
};

TEST_F(Exchanges, TheEepromHeaderIsReadItemByItem) {
  sim::Ur2PackState s = pack->state();
  s.eeprom.present = true;
  s.eeprom.header.byteCount = 256;
  s.eeprom.header.id = "XYZ";
  s.eeprom.header.idDigit = 2;
  s.eeprom.header.cellType = "INR18650-35E";
  s.eeprom.header.cycleCount = 57;
  s.eeprom.header.totalCharge = 123456;
  s.answersBarcode32Eep = true;
  pack->setState(s);
  tool->FormMain.onEvent(mctl::BitBtnSafeInfoRead, UiEvent::Click);
  tool->FormEEPROM.onEvent(ectl::FormEEPROM, UiEvent::Show);
  tool->FormEEPROM.onEvent(ectl::BitBtnEEPBlockChoiceRead, UiEvent::Click);
  tool->services.workers.joinAll();
  const QStringList lines = c().items(ectl::MemoEEPHeader);
  for (const char* line :
       {"Header's total number of bytes :   256", "ID :   XYZ2", "Cell type 16 Bytes :   INR18650-35E   ",
        "Cycle Count :   57   times", "Total Charge Capacity :   123456   mAh"}) {
    EXPECT_TRUE(lines.contains(line)) << line << "\n" << lines.join('\n').toStdString();
  }
  EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
}

TEST_F(Exchanges, ASmallFirmwareUpgradeArrivesWholeAndPasses) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QByteArray binary;
  const QByteArray image = test::hexUpper(0) + test::hexData(0x1000, 64, 9, &binary) + test::hexEnd();
  QFile file(folder.filePath("small.hex"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(image);
  file.close();

  tool->FormFWUpgrade.ChooseImage(file.fileName());
  tool->services.workers.joinAll();
  tool->FormFWUpgrade.btnFirmwareUpgradeClick();
  tool->services.workers.joinAll();
  const QStringList memo = c().items(firmware::ctl::memoFirmwareUpgrade);
  EXPECT_EQ(memo.value(memo.size() - 1), "MSG: Firmware Upgrade......passed.") << memo.join('\n').toStdString();
  EXPECT_EQ(pack->bootloader().receivedText(), image);
  uint32_t base = 0;
  EXPECT_EQ(pack->bootloader().flash(&base), binary);
  EXPECT_EQ(base, 0x1000u);
  EXPECT_EQ(tool->link.AdapterHandle.load(), 0u);
}

}  // namespace
}  // namespace qv
