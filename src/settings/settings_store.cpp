#include "settings/settings_store.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace frosk {

namespace {

const QString kGroup = QStringLiteral("Settings");

QSettings UserStore() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("DROV System"),
                   QStringLiteral("FroskManager"));
}

// Flags are written as 0 and 1, but a hand-edited store may say "true" or
// "false". Anything else reads as if the value were missing.
void ReadFlag(const QSettings& store, const QString& name, bool& field) {
  const QVariant value = store.value(name);
  if (!value.isValid()) return;
  const QString text = value.toString().trimmed();
  if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) {
    field = true;
    return;
  }
  if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) {
    field = false;
    return;
  }
  bool isNumber = false;
  const qlonglong number = value.toLongLong(&isNumber);
  if (isNumber) field = number != 0;
}

// A name cut in half would make a scan probe a port nobody chose, so a list
// too long for the record keeps only the names that fit whole.
std::string CutToCapacity(std::string list) {
  if (list.size() <= kPortsListCapacity) return list;
  const size_t lastComma = list.rfind(',', kPortsListCapacity);
  list.resize(lastComma == std::string::npos ? 0 : lastComma);
  return list;
}

// The store reads an unquoted "COM1,COM3" back as a list of two strings.
void ReadPortsList(const QSettings& store, std::string& field) {
  const QVariant value = store.value(QStringLiteral("PortsList"));
  if (!value.isValid()) return;
  if (value.typeId() == QMetaType::QStringList) {
    field = CutToCapacity(value.toStringList().join(QLatin1Char(',')).toStdString());
    return;
  }
  if (!value.canConvert<QString>()) return;
  field = CutToCapacity(value.toString().toStdString());
}

}  // namespace

void ResetSettings(Settings& settings) { settings = Settings{}; }

bool LoadSettings(Settings& settings, QSettings& store) {
  if (store.status() != QSettings::NoError) return false;
  if (!store.childGroups().contains(kGroup)) return false;
  store.beginGroup(kGroup);
  ReadFlag(store, QStringLiteral("UpdatesAutoCheck"), settings.UpdatesAutoCheck);
  ReadFlag(store, QStringLiteral("UseSpecificPorts"), settings.UseSpecificPorts);
  ReadPortsList(store, settings.PortsList);
  ReadFlag(store, QStringLiteral("ServiceMode"), settings.ServiceMode);
  if (const QVariant folder = store.value(QStringLiteral("RecordingFolder")); folder.canConvert<QString>())
    settings.RecordingFolder = folder.toString().toStdString();
  store.endGroup();
  return true;
}

bool SaveSettings(const Settings& settings, QSettings& store) {
  if (!store.isWritable()) return false;
  store.beginGroup(kGroup);
  store.setValue(QStringLiteral("UpdatesAutoCheck"), settings.UpdatesAutoCheck ? 1 : 0);
  store.setValue(QStringLiteral("UseSpecificPorts"), settings.UseSpecificPorts ? 1 : 0);
  store.setValue(QStringLiteral("PortsList"), QString::fromStdString(settings.PortsList));
  // Never chosen, it follows the documents folder wherever that moves.
  if (!settings.RecordingFolder.empty())
    store.setValue(QStringLiteral("RecordingFolder"), QString::fromStdString(settings.RecordingFolder));
  store.endGroup();
  store.sync();
  return store.status() == QSettings::NoError;
}

bool LoadSettings(Settings& settings) {
  QSettings store = UserStore();
  return LoadSettings(settings, store);
}

bool SaveSettings(const Settings& settings) {
  QSettings store = UserStore();
  return SaveSettings(settings, store);
}

std::string RecordingFolderOf(const Settings& settings) {
  if (!settings.RecordingFolder.empty()) return settings.RecordingFolder;
  return (QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/FroskManager"))
      .toStdString();
}

std::vector<std::string> SplitPortNames(std::string_view list) {
  std::vector<std::string> names;
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view piece = list.substr(0, comma);
    if (!piece.empty()) names.emplace_back(piece);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return names;
}

std::string JoinPortNames(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    if (!list.empty()) list += ',';
    list += name;
  }
  return CutToCapacity(std::move(list));
}

std::vector<std::string> PortsListToStrings(const Settings& settings) { return SplitPortNames(settings.PortsList); }

}  // namespace frosk
