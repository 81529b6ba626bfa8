#include "access/UserFolders.h"

#include "platform/CheckedSaveFile.h"
#include "access/modKeyvale.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>

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

void provideUserDatabase(const QString& delivered) {
    if (!gPerUserFolders) return;
    QString dataFolder = gDataFolder;
    AddBackslash(dataFolder);
    if (QFileInfo(dataFolder).absoluteFilePath() != QFileInfo(gAppPath).absoluteFilePath()) return;
    const QString target = databaseFile(dataFolder);
    if (QFileInfo::exists(target)) return;
    makeOwnerOnlyFolder(dataFolder);

    QFile source(delivered);
    if (!source.open(QIODevice::ReadOnly)) throw Error(err::FileNotFound, QStringLiteral("File not found"));
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) throw fileError(EIO);
    CheckedSaveFile copy(target);
    copy.write(bytes);
    copy.commit();
}

} // namespace kv
