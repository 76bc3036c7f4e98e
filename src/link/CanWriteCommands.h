#pragma once
// The CAN write commands: three erases (the controller's total charge capacity, its internal EEPROM, the
// external EEPROM) and three writers of a barcode text (as the EEPROM header's barcode item, as the 32-character
// barcode, as the 16-character barcode). Each sends a request 0x440 with its data message 0x441, waits, looks
// for the pack's answer and tries again a bounded number of times (CanCommand.h); each is true only when the pack
// accepted every part. They borrow the adapter of the running CAN session (monitoring, the Function Test) and
// fail at once without one. They run on the caller's worker; no message is shown here, the callers write the
// result.

#include <QByteArray>

#include <array>
#include <cstdint>

namespace qv::link {

class Link;

// Up to 10 tries of the erase request (index 0, value 1, one data byte: 00, 00, 01), 100 ms before each look,
// 10 ms after a try without an accepted answer; then 100 ms.
bool CanEraseTotalChargeCapacity(Link& link);
bool CanEraseInternalEeprom(Link& link);
bool CanEraseExternalEeprom(Link& link);

// The 32-byte text buffer: zeros, then at most the first 32 characters of the text. Part n of a write carries
// bytes 8(n-1) to 8(n-1)+7, zero bytes included.
std::array<uint8_t, 32> CanTextBuffer(const QByteArray& text);

// The EEPROM header's barcode item 0x6207, parts 1 to 4: up to 5 tries each, 100 ms before the look, 10 ms after
// a try without an accepted answer. A part that fails its tries does not stop the next one. Then 100 ms.
bool CanWriteText32(Link& link, const QByteArray& text);
// The 32-character barcode 0x4009, parts 1 to 4: its own answer-flag byte cleared first, up to 5 tries each,
// 50 ms before the look; a part counts when its flag bit shows an accepted answer. Then 100 ms.
bool CanWriteBarcode32Text(Link& link, const QByteArray& text);
// The 16-character barcode 0x4008, parts 1 and 2 (the buffer's first 16 bytes): up to 3 tries each, each try up
// to 100 looks 1 ms apart, 100 ms after a try without an accepted answer. Then 100 ms.
bool CanWriteBarcode16Text(Link& link, const QByteArray& text);

}  // namespace qv::link
