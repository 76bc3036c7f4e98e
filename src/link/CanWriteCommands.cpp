#include "link/CanWriteCommands.h"

#include "link/CanCommand.h"
#include "link/PackMessages.h"

#include <algorithm>
#include <vector>

namespace qv::link {
namespace {

constexpr CanTries kEraseTries{.tries = 10, .settleMs = 100, .looks = 1, .lookGapMs = 0, .retryMs = 10};
constexpr CanTries kText32Tries{.tries = 5, .settleMs = 100, .looks = 1, .lookGapMs = 0, .retryMs = 10};
constexpr CanTries kBarcode32Tries{.tries = 5, .settleMs = 50, .looks = 1, .lookGapMs = 0, .retryMs = 10};
constexpr CanTries kBarcode16Tries{.tries = 3, .settleMs = 0, .looks = 100, .lookGapMs = 1, .retryMs = 100};

bool erase(Link& link, PackMessageId command, uint8_t byte) {
  const uint8_t data[1] = {byte};
  const CanPart part{command, 0, data};
  return RunCanCommand(link, kEraseTries, {&part, 1});
}

// The text's parts 1 to `parts`, eight bytes each; with a polled family, part n has bit n-1.
bool writeText(Link& link, PackMessageId command, const QByteArray& text, int parts, const CanTries& tries,
               std::optional<CanAckFamily> polled = std::nullopt) {
  const std::array<uint8_t, 32> buffer = CanTextBuffer(text);
  std::vector<CanPart> list;
  for (int n = 1; n <= parts; ++n) {
    list.push_back({command, static_cast<uint16_t>(n), std::span<const uint8_t>(buffer).subspan(8 * (n - 1), 8),
                    static_cast<uint8_t>(1u << (n - 1))});
  }
  return RunCanCommand(link, tries, list, polled);
}

}  // namespace

bool CanEraseTotalChargeCapacity(Link& link) { return erase(link, msg::kEraseTotalChargeCapacity, 0x00); }
bool CanEraseInternalEeprom(Link& link) { return erase(link, msg::kEraseInternalEeprom, 0x00); }
bool CanEraseExternalEeprom(Link& link) { return erase(link, msg::kEraseExternalEeprom, 0x01); }

std::array<uint8_t, 32> CanTextBuffer(const QByteArray& text) {
  std::array<uint8_t, 32> buffer{};
  const auto n = std::min<qsizetype>(text.size(), 32);
  std::copy_n(reinterpret_cast<const uint8_t*>(text.constData()), n, buffer.begin());
  return buffer;
}

bool CanWriteText32(Link& link, const QByteArray& text) {
  return writeText(link, msg::kEepBarcode, text, 4, kText32Tries);
}

bool CanWriteBarcode32Text(Link& link, const QByteArray& text) {
  return writeText(link, msg::kBarcode32Write, text, 4, kBarcode32Tries, CanAckFamily::Barcode32Write);
}

bool CanWriteBarcode16Text(Link& link, const QByteArray& text) {
  return writeText(link, msg::kBarcode16Write, text, 2, kBarcode16Tries);
}

}  // namespace qv::link
