// CSV at scale: every record exported to CSV with its password, and a CSV file of as many records imported
// into an empty database; each in a process of its own, with its peak memory.

#include "BenchSupport.h"

#include "access/Protection.h"
#include "exchange/CsvExport.h"
#include "exchange/CsvImport.h"
#include "store/DateText.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace kv::bench {
namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int measureExport(const QString& folder, int records) {
    OpenedDatabase opened(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("export.csv"));
    QElapsedTimer timer;
    timer.start();
    exportCsvRecords(*gRsChildData, ExportRows::All, {}, true, path);
    report("export_csv_all", records, timer.nsecsElapsed() / 1e9, "s");
    report("peak_rss", records, peakRssMegabytes(), "MB");
    const QByteArray plain = fileBytes(path);
    // The same records protected (the key made cheaply: only reading them counts) export the same file.
    giveMasterPassword();
    setKdfParams({1, 8192});
    if (plain.isEmpty() || setProtected(true) < 0) return 1;
    timer.restart();
    exportCsvRecords(*gRsChildData, ExportRows::All, {}, true, path);
    report("export_csv_all_protected", records, timer.nsecsElapsed() / 1e9, "s");
    if (fileBytes(path) != plain) {
        std::fprintf(stderr, "the protected records exported another file\n");
        return 1;
    }
    return 0;
}

int measureImport(const QString& folder, int records) {
    // A file in the browser layout, with quoted notes, written in the way a user would get it.
    const QString path = QDir(folder).filePath(QStringLiteral("import.csv"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        file.write("name,url,username,password,note\r\n");
        for (int r = 0; r < records; ++r)
            file.write(QStringLiteral("Site %1,https://www.site%1.example.com/login,user%1@example.com,Pw-%1-x!,"
                                      "\"Note %1, with a comma\"\r\n")
                           .arg(r)
                           .toUtf8());
    }
    const QString target = QDir(folder).filePath(QStringLiteral("empty"));
    QDir().mkpath(target);
    createDeliveredDatabase(databaseFile(target));
    auto db = sql::Connection::open(databaseFile(target), kDatabasePassword);

    QElapsedTimer timer;
    timer.start();
    const CsvImport run = importCsvFile(path, *db, {}, storedDateNow());
    report("import_csv", records, timer.nsecsElapsed() / 1e9, "s");
    report("peak_rss", records, peakRssMegabytes(), "MB");
    if (run.imported != records || run.error) {
        std::fprintf(stderr, "imported %d of %d records\n", run.imported, records);
        return 1;
    }
    return 0;
}

} // namespace

KV_BENCH_SUITE("export_csv", {100000}, measureExport);
KV_BENCH_SUITE("import_csv", {100000}, measureImport);

} // namespace kv::bench
