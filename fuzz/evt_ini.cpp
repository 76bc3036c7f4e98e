// EVT.ini over any file: every key's text is what a second reader of the INI rules finds (or the key's
// default); stored by its kind (a number as the rules take one, a flag 1 for any number but 0, a text cut to
// its field less one character and zero-filled), key after key, up to the first value that is no number, which
// the error names with its section, key and value; that key, those after it and every field no key fills keep
// what they held.

#include "FuzzSupport.h"
#include "IniModel.h"
#include "mainwindow/EvtIni.h"

#include <string>
#include <type_traits>
#include <variant>

using namespace qv;
using mainwindow::EvtIniKey;
using mainwindow::EvtTest;
using mainwindow::EvtTestSet;

namespace {

template <typename R>
R& recordOf(EvtTest& test, EvtTestSet& set) {
  if constexpr (std::is_same_v<R, EvtTest>) {
    return test;
  } else {
    return set;
  }
}

template <typename M>
struct MemberOf;
template <typename R, typename V>
struct MemberOf<V R::*> {
  using Record = R;
  using Value = V;
};

// A field's bytes as they stand, whatever its kind.
std::string fieldBytes(const EvtIniKey& key, EvtTest& test, EvtTestSet& set) {
  return std::visit(
      [&](auto member) {
        using M = MemberOf<decltype(member)>;
        const auto& field = recordOf<typename M::Record>(test, set).*member;
        return std::string(reinterpret_cast<const char*>(&field), sizeof field);
      },
      key.field);
}

void fillField(const EvtIniKey& key, EvtTest& test, EvtTestSet& set, uint8_t seed) {
  std::visit(
      [&](auto member) {
        using M = MemberOf<decltype(member)>;
        auto& field = recordOf<typename M::Record>(test, set).*member;
        auto* bytes = reinterpret_cast<uint8_t*>(&field);
        for (size_t i = 0; i < sizeof field; ++i) bytes[i] = static_cast<uint8_t>(seed + 37 * i);
      },
      key.field);
}

// What a field holds after a store of this text; nothing when the text is no number and one was wanted.
std::optional<std::string> storedBytes(const EvtIniKey& key, const std::string& text, size_t size) {
  std::string out(size, '\0');
  switch (key.kind()) {
    case mainwindow::EvtKind::Text:
      QV_FUZZ_CHECK(key.width() == static_cast<int>(size) - 1);
      std::copy_n(text.begin(), std::min(text.size(), size - 1), out.begin());
      return out;
    case mainwindow::EvtKind::Flag: {
      const std::optional<int32_t> n = fuzz::iniNumber(text);
      if (!n) return std::nullopt;
      QV_FUZZ_CHECK(size == 1);
      out[0] = *n != 0 ? 1 : 0;
      return out;
    }
    case mainwindow::EvtKind::Integer: {
      const std::optional<int32_t> n = fuzz::iniNumber(text);
      if (!n) return std::nullopt;
      QV_FUZZ_CHECK(size == 4);
      std::memcpy(out.data(), &*n, 4);
      return out;
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<std::string> kSections = {"Set", "Check", "set", "SafeInfo", "Se t", ""};
  static const std::vector<std::string> kKeys = [] {
    std::vector<std::string> keys;
    for (const EvtIniKey& k : mainwindow::EvtIniKeys()) keys.emplace_back(k.key);
    keys.emplace_back("Key");
    keys.emplace_back("T 1");
    return keys;
  }();

  fuzz::Input in(data, size);
  // What the records held before: any bytes, in every field a key fills and in some that none does.
  auto test = std::make_unique<EvtTest>();
  EvtTestSet set;
  const uint8_t seed = in.u8();
  uint8_t k8 = 0;
  for (const EvtIniKey& k : mainwindow::EvtIniKeys()) fillField(k, *test, set, static_cast<uint8_t>(seed + 11 * k8++));
  test->FailCount = static_cast<int32_t>(in.u32());
  test->PackRtcDate = static_cast<int32_t>(in.u32());
  test->WrittenRtcSecond = static_cast<int32_t>(in.u32());
  test->FailLines[1] = QStringLiteral("kept");
  set.CellSeries = static_cast<int32_t>(in.u32());
  set.ModelName[0] = static_cast<char>(in.u8());
  const EvtTest keptTest = *test;
  const EvtTestSet keptSet = set;

  const uint8_t cut = in.u8();
  const std::string file = fuzz::iniText(in, kSections, kKeys);
  const QByteArrayView view(file.data(), static_cast<qsizetype>(file.size()));
  const std::vector<QByteArray> texts = mainwindow::EvtIniTexts(view);
  const auto keys = mainwindow::EvtIniKeys();
  QV_FUZZ_CHECK(texts.size() == keys.size());
  const std::vector<fuzz::IniLine> lines = fuzz::iniLines(file);
  for (size_t i = 0; i < keys.size(); ++i) {
    QV_FUZZ_CHECK(texts[i].toStdString() == fuzz::iniValue(lines, keys[i].section, keys[i].key, keys[i].fallback));
  }

  // Any texts, not only those of a file, may be stored: the store may not rely on the reader's limits.
  std::vector<QByteArray> toStore = texts;
  if ((cut & 0xC0) == 0xC0) toStore.resize(cut % (keys.size() + 3));

  const mainwindow::EvtIniStored stored = mainwindow::StoreEvtIniTexts(toStore, *test, set);
  EvtTest expectTest = keptTest;
  EvtTestSet expectSet = keptSet;
  size_t keysStored = 0;
  std::optional<size_t> stop;
  for (; keysStored < std::min(keys.size(), toStore.size()); ++keysStored) {
    const std::string text = toStore[keysStored].toStdString();
    const size_t width = fieldBytes(keys[keysStored], expectTest, expectSet).size();
    const std::optional<std::string> bytes = storedBytes(keys[keysStored], text, width);
    if (!bytes) {
      stop = keysStored;
      break;
    }
    std::visit(
        [&](auto member) {
          using M = MemberOf<decltype(member)>;
          auto& field = recordOf<typename M::Record>(expectTest, expectSet).*member;
          std::memcpy(&field, bytes->data(), sizeof field);
        },
        keys[keysStored].field);
  }
  QV_FUZZ_CHECK(stored.keys == keysStored);
  QV_FUZZ_CHECK(stored.error.has_value() == stop.has_value());
  if (stop) {
    const mainwindow::EvtIniError& e = *stored.error;
    QV_FUZZ_CHECK(!e.unreadable && e.section == keys[*stop].section && e.key == keys[*stop].key &&
                  e.value == toStore[*stop]);
    const QString message = e.message();
    QV_FUZZ_CHECK(
        message.startsWith(QStringLiteral("  EVT.ini [%1] %2 : ''")
                               .arg(QString::fromLatin1(keys[*stop].section), QString::fromLatin1(keys[*stop].key))));
    QV_FUZZ_CHECK(message.endsWith(QStringLiteral("'' is not a valid integer value")));
  }
  // Every field, the stopped key's and those after it included, holds what the second reading says.
  for (const EvtIniKey& k : keys) QV_FUZZ_CHECK(fieldBytes(k, *test, set) == fieldBytes(k, expectTest, expectSet));
  QV_FUZZ_CHECK(test->FailCount == keptTest.FailCount && test->PackRtcDate == keptTest.PackRtcDate &&
                test->WrittenRtcSecond == keptTest.WrittenRtcSecond && test->FailLines[1] == keptTest.FailLines[1]);
  QV_FUZZ_CHECK(set.CellSeries == keptSet.CellSeries && set.ModelName == keptSet.ModelName);
  return 0;
}
