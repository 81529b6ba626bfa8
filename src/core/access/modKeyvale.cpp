#include "access/modKeyvale.h"

#include "platform/Desktop.h"
#include "platform/Error.h"
#include "access/ProfileFile.h"
#include "access/modAdmin.h"
#include "store/Cipher.h"
#include "store/modDBstuff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kv {

void BuildVersionText() {
    gMakerNotice = QStringLiteral("Copyright (c) 2026");
    gMakerName = QStringLiteral("Keyvale Developers");
    gVersionText = QStringLiteral("v %1.%2.%3").arg(KEYVALE_VERSION_MAJOR).arg(KEYVALE_VERSION_MINOR).arg(KEYVALE_VERSION_PATCH);
}

bool InitializeINIfile() {
    gIniFile = (gSettingsFolder.isEmpty() ? gAppPath : gSettingsFolder) + QStringLiteral("keyvale.ini");
    if (!QFileInfo::exists(gIniFile) && !writeDataFolderSetting(gIniFile, QString()))
        desktop().message(QStringLiteral("An error has occured writing INI KeyvaleLocation setting."), {}, Buttons::Ok,
                          Icon::Exclamation);
    return ReadDataFolder(gIniFile);
}

bool ReadDataFolder(const QString& iniFile) {
    try {
        // A missing file reads as empty; one that is there and cannot be read is an error.
        QFile probe(iniFile);
        if (QFileInfo(iniFile).isDir() || (probe.exists() && !probe.open(QIODevice::ReadOnly)))
            throw Error(75, QStringLiteral("Path/File access error"));
        probe.close();
        gDataFolder = readDataFolderSetting(iniFile);
        if (gDataFolder.isEmpty()) {
            gDataFolder = gAppPath;
            if (!writeDataFolderSetting(iniFile, gDataFolder))
                desktop().message(QStringLiteral("An error has occured writing INI KeyvaleLocation settings..."), {},
                                  Buttons::Ok, Icon::Exclamation);
        }
        return true;
    } catch (const Error& e) {
        const QString text =
            QStringLiteral("Error#: %1 - %2.  ").arg(e.number()).arg(e.description()) +
            QStringLiteral("Error Reading the INI File, it could be corrupted.\nDo you want to delete the "
                           "application's INI file?\n\n") +
            QStringLiteral("The application INI file contains option settings but ") +
            QStringLiteral("a new INI file with default settings will be created ") +
            QStringLiteral("the next time Keyvale starts.");
        if (desktop().message(text, {}, Buttons::YesNo, Icon::Critical) == Answer::Yes) {
            if (QFileInfo(iniFile).isDir())
                QDir().rmdir(iniFile);
            else
                QFile::remove(iniFile);
            desktop().message(QStringLiteral("Keyvale will shut down and a new INI file will be created ") +
                                  QStringLiteral("with default option settings."),
                              {}, Buttons::Ok, Icon::Information);
        }
        desktop().endApplication();
        return false;
    }
}

bool writeDataFolderSetting(const QString& iniFile, const QString& folder) {
    return writeProfileString(iniFile, kIniSection, kIniDataFolderKey, folder);
}

QString readDataFolderSetting(const QString& iniFile) {
    return readProfileString(iniFile, kIniSection, kIniDataFolderKey).left(kIniValueLimit);
}

bool LoadMasterPassword() {
    try {
        auto rs = openRecordset(QStringLiteral("Select * from tblPassword"));
        // A file whose group table could not be opened is no first run, nor fit to log on to.
        const Recordset& groups = opened(gRsMasterData);
        if (rs->eof() && rs->bof()) {
            if (groups.recordCount() > 0) {
                desktop().message(QStringLiteral("Keyvale has been breached or is corrupted!  Please reinstall Keyvale"),
                                  {}, Buttons::Ok, Icon::Critical);
                return false; // start-up ends the program
            }
            gFirstRun = true;
        } else if (!gRecordCodec.isProtected()) {
            auto read = [&rs](const char* name) {
                return decipherField(rs->field(QString::fromLatin1(name)).toString()).trimmed();
            };
            gRecoveryQuestion = read("Question");
            gRecoveryAnswer = read("Answer");
            gMasterPassword = read("Password");
        }
        rs->close();
        return true;
    } catch (const Error& e) {
        reportCritical(e);
        return false;
    }
}

bool SaveMasterPassword() {
    try {
        // A protected database keeps them sealed; written in the plain form they would give it away.
        if (gRecordCodec.isProtected())
            throw Error(err::DatabaseError, QStringLiteral("A protected database keeps its master password only as "
                                                           "the wrap of its key."));
        auto rs = openRecordset(QStringLiteral("Select * from tblPassword"));
        if (rs->eof() && rs->bof())
            rs->addNew();
        else
            rs->moveFirst();
        rs->setField(QStringLiteral("Question"), encipherField(gRecoveryQuestion));
        rs->setField(QStringLiteral("Answer"), encipherField(gRecoveryAnswer));
        rs->setField(QStringLiteral("Password"), encipherField(gMasterPassword));
        rs->update();
        rs->close();
        return true;
    } catch (const Error& e) {
        reportCritical(e);
        return false;
    }
}

namespace {

// Unlocks the records with a key `unwrap` gives; false when it gives none. A damaged key table is reported.
bool unlockRecords(const std::function<std::shared_ptr<const SecretKey>()>& unwrap) {
    try {
        auto key = unwrap();
        if (!key) return false;
        gRecordCodec = RecordCodec::protectedWith(std::move(key));
        return true;
    } catch (const Error& e) {
        reportCritical(e);
        return false;
    }
}

// Reads the shared recordsets again: their cached rows hold the values as they were stored before, and a
// rebuilt file may have numbered the rows of the groups and options anew.
void requerySharedRecordsets() {
    for (auto* rs : {gRsChildData.get(), gRsOptions.get(), gRsMasterData.get()})
        if (rs) rs->requery();
}

} // namespace

bool MasterPasswordMatches(const QString& typed) {
    if (!gRecordCodec.isProtected()) return typed.toUpper() == gMasterPassword;
    return unlockRecords([&] { return unwrapWithMasterPassword(*gDBConnection, typed); });
}

bool RecoveryAnswerMatches(const QString& question, const QString& answer) {
    // The stored answer lost its blanks when it was read: the typed one goes without them too.
    if (!gRecordCodec.isProtected())
        return answer.trimmed() == gRecoveryAnswer.trimmed() && question == gRecoveryQuestion;
    return unlockRecords([&] { return unwrapWithRecoveryAnswer(*gDBConnection, question, answer); });
}

void LockRecords() {
    gRecordCodec.lock();
}

ProtectionChange SetDatabaseProtected(bool on, const QString& typedPassword, const ConversionProgress& progress) {
    if (!gDBConnection) throw noObject();
    if (on == gRecordCodec.isProtected()) return ProtectionChange::Changed;
    if (!on) {
        const auto key = unwrapWithMasterPassword(*gDBConnection, typedPassword);
        if (!key) return ProtectionChange::WrongPassword;
        if (!unprotectDatabase(*gDBConnection, *key, progress)) return ProtectionChange::Cancelled;
        gRecordCodec = RecordCodec();
        // A sealed record filled a page of the file by itself; plain, it needs a fraction of it, and reads of
        // every record would go on paying for the rest. The conversion is done whether or not this is.
        compactDatabase(*gDBConnection, [&progress] { return !progress || progress(1, 1); });
        requerySharedRecordsets();
        // The plain form keeps the password and the recovery values for the comparisons.
        LoadMasterPassword();
        return ProtectionChange::Changed;
    }
    if (typedPassword.toUpper() != gMasterPassword) return ProtectionChange::WrongPassword;
    auto key = protectDatabase(*gDBConnection, typedPassword, gRecoveryQuestion, gRecoveryAnswer, progress);
    if (!key) return ProtectionChange::Cancelled;
    gRecordCodec = RecordCodec::protectedWith(std::move(key));
    requerySharedRecordsets();
    // Only the wraps know them now.
    wipeText(gMasterPassword);
    wipeText(gRecoveryQuestion);
    wipeText(gRecoveryAnswer);
    return ProtectionChange::Changed;
}

PasswordChange ChangeMasterPassword(const QString& newPassword) {
    if (!gAdminValidation(newPassword) || !CanStoreMasterPassword(newPassword)) return PasswordChange::Refused;
    if (gRecordCodec.isProtected()) {
        try {
            if (!gRecordCodec.key()) throw Error(err::NotAValidPassword, QStringLiteral("The records are locked."));
            rewrapMasterPassword(*gDBConnection, *gRecordCodec.key(), newPassword);
            return PasswordChange::Changed;
        } catch (const Error& e) {
            reportCritical(e);
            return PasswordChange::NotStored;
        }
    }
    // A change that could not be stored is no change: the stored password still opens the program.
    const QString oldPassword = gMasterPassword;
    gMasterPassword = newPassword.toUpper();
    if (SaveMasterPassword()) return PasswordChange::Changed;
    gMasterPassword = oldPassword;
    return PasswordChange::NotStored;
}

QString deliveredFile(const QString& folder, const QString& name) {
    const QString inFolder = folder + name;
    if (QFileInfo::exists(inFolder)) return inFolder;
    const QString besideProgram = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    return QFileInfo::exists(besideProgram) ? besideProgram : inFolder;
}

void AddBackslash(QString& path) {
    while (path.endsWith(QLatin1Char(' '))) path.chop(1);
    if (!path.endsWith(QLatin1Char('\\')) && !path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
}

QString StripNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString GetWinDir() {
    // There is no Windows directory here: the program's own folder holds what the program would look
    // for there (the about box's tune).
    QString dir = StripNull(gAppPath);
    if (dir.isEmpty()) return {};
    AddBackslash(dir);
    return dir;
}

bool MakeDirPath(const QString& path) {
    if (!path.isEmpty() && QDir().mkpath(path)) return true;
    desktop().message(QStringLiteral("Could not Create Destination Folder."), {}, Buttons::Ok, Icon::Exclamation);
    return false;
}

} // namespace kv
