#include "mainwindow/EvtIni.h"

#include "mainwindow/MainFormControls.h"
#include "platform/Ini.h"
#include "platform/Text.h"

#include <QFileInfo>

#include <algorithm>
#include <type_traits>

namespace qv::mainwindow {
namespace {

// The main window's controls the load writes.
constexpr Control kRadioGroupBarcodeSelect = ctl::RadioGroupBarcodeSelect;
constexpr Control kEditEVTT1 = ctl::EditEVTT1;
constexpr Control kStatusBarView = ctl::StatusBarView;
constexpr int kMessagePanel = 2;

// A value longer than this is cut in the status bar; the rest is of no help there.
constexpr int kShownValueLength = 40;

using S = EvtTestSet;
using T = EvtTest;

const EvtIniKey kKeys[] = {
    {"Set", "TestRepeatCnt", "0", &S::TestRepeatCnt},
    {"Set", "DevTestNumber", "0", &S::DevTestNumber},
    {"Set", "EraseMCUIntTCCWrite", "0", &S::EraseMCUIntTCCWrite},
    {"Set", "EraseMCUIntEEPWrite", "0", &S::EraseMCUIntEEPWrite},
    {"Set", "EEPEraseWrite", "0", &S::EEPEraseWrite},
    {"Set", "BarcodeWrite", "0", &S::BarcodeWrite},
    {"Set", "BarcodeMode", "-1", &S::BarcodeMode},
    {"Set", "BarcodeModeENG", "-1", &S::BarcodeModeENG},
    {"Set", "RTCWrite", "0", &S::RTCWrite},
    {"Set", "ShippingModeWrite", "0", &S::ShippingModeWrite},
    {"Set", "SleepModeWrite", "0", &S::SleepModeWrite},
    {"Set", "Sleep_or_DeepSleepStatusWrite", "-1", &S::Sleep_or_DeepSleepStatusWrite},
    {"Set", "Sleep_or_DeepSleep_Status_AfterEndTest", "-1", &S::Sleep_or_DeepSleep_Status_AfterEndTest},
    {"Check", "RTCTest", "0", &T::RTCTest},
    {"Check", "BarcodeName", "0", &T::BarcodeName},
    {"Check", "ProjectName", "0", &T::ProjectName},
    {"Check", "FWVer", "0", &T::FWVer},
    {"Check", "RTCAccuracyRange", "0", &T::RTCAccuracyRange},
    {"Check", "DateTimeAccuracyRange", "0", &T::DateTimeAccuracyRange},
    {"Check", "DateTimeFirstToCheckRange", "65535", &T::DateTimeFirstToCheckRange},
    {"Check", "SOCMax", "0", &T::SOCMax},
    {"Check", "SOCMin", "0", &T::SOCMin},
    {"Check", "SOHMax", "0", &T::SOHMax},
    {"Check", "SOHMin", "0", &T::SOHMin},
    {"Check", "T1", "0", &T::T1},
    {"Check", "T2", "0", &T::T2},
    {"Check", "T1Range", "0", &T::T1Range},
    {"Check", "T2Range", "0", &T::T2Range},
    {"Check", "CellVoltMax", "0", &T::CellVoltMax},
    {"Check", "CellVoltMin", "0", &T::CellVoltMin},
    {"Check", "CellBalance", "0", &T::CellBalance},
    {"Check", "PackVoltMax", "0", &T::PackVoltMax},
    {"Check", "PackVoltMin", "0", &T::PackVoltMin},
    {"Check", "PackCurrentMax", "0", &T::PackCurrentMax},
    {"Check", "PackCurrentMin", "0", &T::PackCurrentMin},
    {"Check", "OVFlag", "0", &T::OVFlag},
    {"Check", "UVFlag", "0", &T::UVFlag},
    {"Check", "OCFlag", "0", &T::OCFlag},
    {"Check", "SCFlag", "0", &T::SCFlag},
    {"Check", "OTFlag", "0", &T::OTFlag},
    {"Check", "UTFlag", "0", &T::UTFlag},
    {"Check", "CycleCnt", "0", &T::CycleCnt},
    {"Check", "ShippingMode", "0", &T::ShippingMode},
    {"Check", "LogRecordCnt", "0", &S::LogRecordCnt},
};

// The record and the value type of a field.
template <typename M>
struct MemberOf;
template <typename R, typename V>
struct MemberOf<V R::*> {
  using Record = R;
  using Value = V;
};

template <typename V>
constexpr EvtKind kindOf() {
  if constexpr (std::is_same_v<V, int32_t>) return EvtKind::Integer;
  if constexpr (std::is_same_v<V, uint8_t>) return EvtKind::Flag;
  return EvtKind::Text;
}

template <typename R>
R& recordOf(EvtTest& test, EvtTestSet& set) {
  if constexpr (std::is_same_v<R, EvtTest>) {
    return test;
  } else {
    return set;
  }
}

// The position of a key in the table (the table holds it).
size_t keyIndex(const char* key) {
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (qstrcmp(kKeys[i].key, key) == 0) return i;
  }
  return std::size(kKeys);
}

// Stores one value by its field's kind; false when a number was wanted and the text is none.
bool store(const EvtIniKey& key, const QByteArray& text, EvtTest& test, EvtTestSet& set) {
  return std::visit(
      [&](auto member) {
        using M = MemberOf<decltype(member)>;
        auto& field = recordOf<typename M::Record>(test, set).*member;
        using V = typename M::Value;
        if constexpr (kindOf<V>() == EvtKind::Text) {
          field.fill('\0');
          std::copy_n(text.constData(), std::min<size_t>(static_cast<size_t>(text.size()), field.size() - 1),
                      field.begin());
          return true;
        } else {
          const std::optional<int32_t> number = platform::profileInteger(text);
          if (!number) return false;
          if constexpr (kindOf<V>() == EvtKind::Flag) {
            field = *number != 0 ? 1 : 0;
          } else {
            field = *number;
          }
          return true;
        }
      },
      key.field);
}

}  // namespace

EvtKind EvtIniKey::kind() const {
  return std::visit([](auto member) { return kindOf<typename MemberOf<decltype(member)>::Value>(); }, field);
}

int EvtIniKey::width() const {
  return std::visit(
      [](auto member) {
        using V = typename MemberOf<decltype(member)>::Value;
        if constexpr (kindOf<V>() == EvtKind::Text) {
          return static_cast<int>(std::tuple_size_v<V>) - 1;
        } else {
          return 0;
        }
      },
      field);
}

std::span<const EvtIniKey> EvtIniKeys() { return kKeys; }

QString NotAnIntegerText(const QByteArray& value) {
  return QStringLiteral("''%1'' is not a valid integer value").arg(platform::big5Text(value));
}

QString EvtIniError::message() const {
  if (unreadable) return QStringLiteral("  EVT.ini cannot be read.");
  QByteArray shown = value.left(kShownValueLength);
  if (value.size() > kShownValueLength) shown += "...";
  return QStringLiteral("  EVT.ini [%1] %2 : ").arg(QString::fromLatin1(section), QString::fromLatin1(key)) +
         NotAnIntegerText(shown);
}

std::vector<QByteArray> EvtIniTexts(QByteArrayView file) {
  std::vector<QByteArray> texts;
  texts.reserve(std::size(kKeys));
  for (const EvtIniKey& key : kKeys) texts.push_back(platform::profileValue(file, key.section, key.key, key.fallback));
  return texts;
}

EvtIniStored StoreEvtIniTexts(std::span<const QByteArray> texts, EvtTest& test, EvtTestSet& set) {
  EvtIniStored stored;
  const size_t n = std::min(texts.size(), std::size(kKeys));
  for (; stored.keys < n; ++stored.keys) {
    const EvtIniKey& key = kKeys[stored.keys];
    const QByteArray& text = texts[stored.keys];
    if (!store(key, text, test, set)) {
      stored.error = EvtIniError{false, key.section, key.key, text};
      break;
    }
  }
  return stored;
}

QString EvtIniPath() { return platform::currentFolderFile(QString::fromLatin1(kEvtIniFile)); }

bool EvtIniExists() { return platform::fileExists(EvtIniPath()); }

namespace {

// Stores the file's bytes into the records and sets the controls that follow the keys the load got past.
std::optional<EvtIniError> loadBytes(QByteArrayView file, SharedRecords& records, Controls& controls) {
  const std::vector<QByteArray> texts = EvtIniTexts(file);
  EvtIniStored stored;
  int32_t barcodeModeEng = -1;
  int32_t t1 = 0;
  records.EVT_TEST_SET.with([&](EvtTestSet& set) {
    records.EVT_TEST.with([&](EvtTest& test) {
      stored = StoreEvtIniTexts(texts, test, set);
      t1 = test.T1;
    });
    barcodeModeEng = set.BarcodeModeENG;
  });

  // Outside the records' locks: the store takes its own.
  if (stored.keys > keyIndex("BarcodeModeENG")) {
    controls.setItemIndex(kRadioGroupBarcodeSelect, barcodeModeEng == 0 || barcodeModeEng == 1 ? barcodeModeEng : -1);
  }
  if (stored.keys > keyIndex("T1") && controls.text(kEditEVTT1).isEmpty()) {
    controls.setText(kEditEVTT1, QString::number(t1));
  }
  return stored.error;
}

// A file that is there and cannot be read: nothing from it can be trusted to be the settings.
bool unreadable(const QString& path, const std::optional<QByteArray>& file) { return !file && QFileInfo::exists(path); }

void showStop(Controls& controls, const EvtIniError& error) {
  controls.setPanel(kStatusBarView, kMessagePanel, error.message());
}

}  // namespace

std::optional<EvtIniError> LoadEvtIni(SharedRecords& records, Controls& controls) {
  const QString path = EvtIniPath();
  const std::optional<QByteArray> file = platform::readProfileFile(path);
  const std::optional<EvtIniError> error =
      loadBytes(file ? QByteArrayView(*file) : QByteArrayView(), records, controls);
  if (unreadable(path, file)) return EvtIniError{true, {}, {}, {}};
  return error;
}

void LoadEvtIniAtStartUp(SharedRecords& records, Controls& controls) {
  if (const std::optional<EvtIniError> error = LoadEvtIni(records, controls)) showStop(controls, *error);
}

bool LoadEvtIniForRun(SharedRecords& records, Controls& controls) {
  const QString path = EvtIniPath();
  if (!platform::fileExists(path)) return false;
  const std::optional<QByteArray> file = platform::readProfileFile(path);
  if (unreadable(path, file)) {
    showStop(controls, EvtIniError{true, {}, {}, {}});
    return false;
  }
  if (const std::optional<EvtIniError> error =
          loadBytes(file ? QByteArrayView(*file) : QByteArrayView(), records, controls)) {
    showStop(controls, *error);
    return false;
  }
  return true;
}

}  // namespace qv::mainwindow
