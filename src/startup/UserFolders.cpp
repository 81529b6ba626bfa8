#include "startup/UserFolders.h"

#include "startup/modKeyvale.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace kv {

namespace {

QString withSeparator(QString path) {
    AddBackslash(path);
    return path;
}

// Whether files can be made in the folder; asked of the file system, not read from the permission bits,
// so that read-only mounts and access lists are honoured.
bool canWriteIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".keyvale-XXXXXX")));
    return probe.open();
}

QString userFolder(QStandardPaths::StandardLocation where) {
    return withSeparator(QStandardPaths::writableLocation(where) + QStringLiteral("/keyvale"));
}

constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

void makeOwnerOnlyFolder(const QString& folder) {
    if (QFileInfo::exists(folder)) return;
    QDir().mkpath(folder);
    QFile::setPermissions(folder, kOwnerOnlyFolder);
}

} // namespace

ProgramFolders findProgramFolders(const QString& namedFolder, const QString& programFolder) {
    if (!namedFolder.isEmpty()) {
        const QString folder = withSeparator(QDir(namedFolder).absolutePath());
        return {folder, folder, false};
    }
    const QString program = withSeparator(QDir(programFolder).absolutePath());
    if (!QFileInfo::exists(program + kInstalledMarker) && canWriteIn(program)) return {program, program, false};
    return {userFolder(QStandardPaths::GenericDataLocation), userFolder(QStandardPaths::GenericConfigLocation), true};
}

void useProgramFolders(const QString& namedFolder, const QString& programFolder) {
    const ProgramFolders folders = findProgramFolders(namedFolder, programFolder);
    gAppPath = folders.appPath;
    gSettingsFolder = folders.settingsFolder;
    gPerUserFolders = folders.perUser;
    if (folders.perUser) {
        makeOwnerOnlyFolder(folders.settingsFolder);
        makeOwnerOnlyFolder(folders.appPath);
    }
}

bool provideUserDatabase(const QString& delivered) {
    if (!gPerUserFolders) return true;
    QString dataFolder = gDataFolder;
    AddBackslash(dataFolder);
    if (QFileInfo(dataFolder).absoluteFilePath() != QFileInfo(gAppPath).absoluteFilePath()) return true;
    const QString target = databaseFile(dataFolder);
    if (QFileInfo::exists(target)) return true;
    makeOwnerOnlyFolder(dataFolder);

    QFile source(delivered);
    QSaveFile copy(target);
    if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly)) return false;
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray bytes = source.readAll();
    if (copy.write(bytes) != bytes.size()) {
        copy.cancelWriting();
        return false;
    }
    return copy.commit();
}

} // namespace kv
