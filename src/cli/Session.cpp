#include "cli/Session.h"

#include "access/UserFolders.h"
#include "access/modKeyvale.h"
#include "platform/Error.h"
#include "platform/InstanceLock.h"
#include "store/Options.h"
#include "store/RecordCodec.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace kv::cli {

namespace {

constexpr int kLogOnTries = 3;

} // namespace

Session::Session(const QString& namedFolder, Secrets& secrets) : namedFolder_(namedFolder), secrets_(secrets) {}

Session::~Session() {
    // The connection goes before the lock, so that no window opens the file while it is still in use here.
    close();
    lock_.reset();
    wipeText(typedMasterPassword_);
}

void Session::close() {
    gRsChildData.reset();
    gRsMasterData.reset();
    gRsOptions.reset();
    gDBConnection.reset();
}

QString Session::dataFolder() const {
    QString folder = gDataFolder;
    AddBackslash(folder);
    return folder;
}

void Session::locate() {
    useProgramFolders(namedFolder_, QCoreApplication::applicationDirPath());
    BuildVersionText();
    gIniFile = (gSettingsFolder.isEmpty() ? gAppPath : gSettingsFolder) + QStringLiteral("keyvale.ini");
    // A folder without settings is not made into a Keyvale folder by a command: its data folder is the
    // program folder, as a first start would make it.
    if (QFileInfo::exists(gIniFile)) {
        if (!ReadDataFolder(gIniFile))
            throw CommandFailure{kExitFailed, QStringLiteral("The settings file %1 cannot be read").arg(gIniFile)};
    } else {
        gDataFolder = gAppPath;
    }
    if (!QFileInfo::exists(databaseFile(dataFolder())))
        throw CommandFailure{kExitNotFound,
                             QStringLiteral("No Keyvale database in %1 (start Keyvale once, or name the folder "
                                            "with --app-dir)")
                                 .arg(dataFolder())};
}

void Session::lockForWriting() {
    lock_ = std::make_unique<InstanceLock>();
    const QString folder = dataFolder();
    if (lock_->heldByOther(folder) || lock_->lock(folder, 0) != InstanceLock::Outcome::Locked) {
        lock_.reset();
        throw CommandFailure{kExitRefused, QStringLiteral("Keyvale is open on this data folder; close it or use the window")};
    }
}

void Session::open() {
    const QString file = databaseFile(dataFolder());
    try {
        // Commands read records with statements of their own: the shared recordset of every record stays closed.
        openDatabase(dataFolder(), false);
        checkDeliveredTables(*gDBConnection);
    } catch (const Error& e) {
        gDBConnection.reset();
        throw CommandFailure{kExitRefused, QStringLiteral("%1 is not a Keyvale database (%2)").arg(file, e.description())};
    }
    if (!LoadMasterPassword())
        throw CommandFailure{kExitRefused, QStringLiteral("%1 cannot be used").arg(file)};
    if (gFirstRun)
        throw CommandFailure{kExitRefused,
                             QStringLiteral("No master password is set yet; start Keyvale once to set it up")};
    GetOptions();
}

void Session::logOn() {
    const int tries = secrets_.fromStdin() ? 1 : kLogOnTries;
    for (int attempt = 0; attempt < tries; ++attempt) {
        std::optional<QString> typed = secrets_.next(QStringLiteral("Enter Password: "));
        if (!typed)
            throw CommandFailure{kExitUsage, secrets_.fromStdin()
                                                 ? QStringLiteral("No master password on standard input")
                                                 : QStringLiteral("No terminal to ask for the master password; use "
                                                                  "--password-stdin")};
        if (MasterPasswordMatches(*typed)) {
            gLoggedOn = true;
            typedMasterPassword_ = std::move(*typed);
            return;
        }
        wipeText(*typed);
        if (attempt + 1 < tries) std::fputs("Invalid Password!\n", stderr);
    }
    throw CommandFailure{kExitWrongPassword, tries > 1 ? QStringLiteral("Invalid Password! (three tries; giving up)")
                                                       : QStringLiteral("Invalid Password!")};
}

} // namespace kv::cli
