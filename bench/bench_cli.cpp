// keyvale-cli as a script runs it: whole processes from start to exit, log-on included, on a database of
// the measured size. A search that finds nothing reads every record; the export writes every record.

#include "BenchSupport.h"

#include "store/Cipher.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <sys/resource.h>

namespace kv::bench {
namespace {

const QByteArray kMaster = "BENCH";

// Runs keyvale-cli on the folder with the master password on standard input; the seconds it took, or a
// negative number when it failed.
double runCli(const QString& folder, const QStringList& arguments) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../keyvale-cli"),
                  arguments + QStringList{QStringLiteral("--app-dir"), folder, QStringLiteral("--password-stdin")});
    process.write(kMaster + "\n");
    process.closeWriteChannel();
    process.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const bool found = arguments.front() != QLatin1String("search");
    const int expected = found ? 0 : 4;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != expected) {
        std::fprintf(stderr, "%s", process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

double childPeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024.0;
}

int measureCli(const QString& folder, int records) {
    sql::Connection::open(databaseFile(folder), kDatabasePassword)
        ->execute(QStringLiteral("INSERT INTO tblPassword (Password) VALUES (?)"), {encipherField(QString::fromLatin1(kMaster))});
    const double search = runCli(folder, {QStringLiteral("search"), QStringLiteral("no such text anywhere"),
                                          QStringLiteral("--match"), QStringLiteral("any")});
    if (search < 0) return 1;
    report("cli_search_miss", records, search, "s");
    const double exported = runCli(folder, {QStringLiteral("export"), QStringLiteral("--text"), QStringLiteral("-o"),
                                            folder + QStringLiteral("/export.txt")});
    if (exported < 0) return 1;
    report("cli_export", records, exported, "s");
    const double csv = runCli(folder, {QStringLiteral("export"), QStringLiteral("--csv"), QStringLiteral("-o"),
                                       folder + QStringLiteral("/export.csv")});
    if (csv < 0) return 1;
    report("cli_export_csv", records, csv, "s");
    report("cli_peak_rss", records, childPeakMegabytes(), "MB");
    return 0;
}

} // namespace

KV_BENCH_SUITE("cli", {1000, 100000, 1000000}, measureCli);

} // namespace kv::bench
