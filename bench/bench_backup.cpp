// Backup and restore at scale: the backup (holding the database still and copying it) and the check
// of a backup before a restore, each beside a plain copy of the same file with a flush, and the process's
// peak memory, which must not grow with the file.

#include "BenchSupport.h"

#include "exchange/DataFileCopy.h"
#include "platform/Error.h"
#include "access/modKeyvale.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <unistd.h>

namespace kv::bench {
namespace {

// The plain copy the backup is measured against: the same chunks, a flush, nothing else.
bool plainCopy(const QString& from, const QString& to) {
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    while (!in.atEnd())
        if (out.write(in.read(1 << 20)) < 0) return false;
    return out.flush() && ::fsync(out.handle()) == 0;
}

int measureBackup(const QString& folder, int records) {
    OpenedDatabase opened(folder);
    const QString backups = folder + QStringLiteral("/backups");
    QDir().mkpath(backups);
    // Read the file once so that both copies start from the same cache.
    plainCopy(databaseFile(gDataFolder), backups + QStringLiteral("/warm"));

    QElapsedTimer timer;
    timer.start();
    if (!plainCopy(databaseFile(gDataFolder), backups + QStringLiteral("/plain"))) return 1;
    report("file_copy", records, timer.nsecsElapsed() / 1e9, "s");

    try {
        timer.restart();
        if (!backupDatabase(backups)) return 1;
        report("backup", records, timer.nsecsElapsed() / 1e9, "s");

        timer.restart();
        checkBackupFile(backupFile(backups));
        report("restore_check", records, timer.nsecsElapsed() / 1e9, "s");
    } catch (const Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    report("peak_rss", records, peakRssMegabytes(), "MB");
    return 0;
}

} // namespace

KV_BENCH_SUITE("backup", {1000, 100000}, measureBackup);

} // namespace kv::bench
