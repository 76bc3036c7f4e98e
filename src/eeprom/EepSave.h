#pragma once
// The files the EEPROM window writes under the executable's folder: the save of its four pages (EEPROM_Log) and
// the protect log that a protection read opens (UART_ folder).

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

namespace qv::eeprom {

// A name made from pack data, safe as one file or folder name: separators, control characters and ".." become
// "_", and it is cut to 64 characters. A name that needs none of this stays as it is.
QString SafeFileName(const QString& name);

// "EEP_NULL" with no firmware id shown, else "EEP_" + id + "_V" + version, made safe.
QString EepSaveName(const QString& firmwareId, const QString& firmwareVersion);

// A page as its file holds it: each line followed by CR LF, 8-bit, no byte-order mark.
QByteArray EepPageFileBytes(const QStringList& lines);

struct EepSaveResult {
  bool ok = false;
  QString folder;  // where the files went, or where writing failed
  QString error;   // what failed, empty when ok
};

// The four pages (Header, Protect, LEAD, LAST, in this order) into exeFolder/EEPROM_Log/<save name>/, each named
// <save name>_<yyyymmdd_hhnnss>_<page>.txt. An earlier save's files are never replaced: a save in the same
// second takes the next free number after the stamp. Each file is written whole under a temporary name and
// then renamed into place; on a failure the files of this save written so far are removed again.
EepSaveResult SaveEepromLog(const QString& exeFolder, const QString& saveName, const QDateTime& stamp,
                            const std::array<QStringList, 4>& pages);

// The protect log's one line: the 17 column names, each followed by ", ", then CR LF.
QByteArray ProtectLogHeader();

// Creates exeFolder/UART_<stamp>/UART_<stamp>_Protectlog_<n>.csv with its header line, n = 1 or, when an
// earlier log of the same second is there, the next free number. nullptr when it could not be made.
std::unique_ptr<QFile> CreateProtectLog(const QString& exeFolder, const QDateTime& stamp);

}  // namespace qv::eeprom
