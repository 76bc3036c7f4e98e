#pragma once
// The CAN answer flags as the commands of the link see them. The CAN frame dispatcher keeps them (one flag byte
// per command family, one bit per index, set by every answer header whatever its status, and beside them which
// of those headers carried status 0); the composition installs them on the link, so the commands here poll them
// without knowing the dispatcher.

#include <cstdint>

namespace qv::link {

// The command families of the answer flags: one flag byte each, one bit per index.
enum class CanAckFamily : uint8_t {
  Barcode16Read = 0,     // 0x000A, indexes 1 and 2
  Barcode16ReadAlt = 1,  // 0x2008, indexes 1 and 2
  Barcode32Read = 2,     // 0x200A, indexes 1 to 4
  ShippingModeRead = 3,  // 0x200B
  Barcode16Write = 4,    // 0x4008: index 1 sets the bit, index 2 clears it
  Barcode32Write = 5,    // 0x4009, indexes 1 to 4
  ShippingModeSet = 6,   // 0x4209
  RecordBlocks12 = 7,    // 0x6502, indexes 0x101-0x104 (bits 0-3) and 0x201-0x204 (bits 4-7)
  RecordBlock3 = 8,      // 0x6502, indexes 0x301-0x304
};

class CanAnswerFlags {
 public:
  virtual ~CanAnswerFlags() = default;
  // The bits whose answer header arrived, whatever its status.
  virtual uint8_t answered(CanAckFamily family) const = 0;
  // The bits whose last answer header carried status 0.
  virtual uint8_t accepted(CanAckFamily family) const = 0;
  // The bits whose answer data came right under their header of status 0: the part itself was read, not only
  // its header (a header whose data was lost sets accepted alone).
  virtual uint8_t dataCame(CanAckFamily family) const = 0;
  // A command clears its own family's byte before it sends, never another's.
  virtual void clear(CanAckFamily family) = 0;
};

}  // namespace qv::link
