// The protected database at scale: every record sealed and opened back, beside one plain read of every
// record and one rewrite of every record's secret fields, and the log-on to a protected file up to the
// grid's first page.
//
// protect_all and unprotect_all time the conversion of the records alone: their keys are made with a
// key derivation cut to one pass over 8 MiB. argon2id is one derivation at the cost new keys really get,
// timed on its own; protect_all_default_kdf is the whole protection as a user starts it (the conversion and
// the two keys the records are wrapped under). compact_unprotected rebuilds the unprotected file at its plain
// size, which plain_scan_unprotected reads again.

#include "BenchSupport.h"

#include "access/Protection.h"
#include "access/modKeyvale.h"
#include "grid/RecordsGrid.h"
#include "mainwindow/frmMain.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <memory>

namespace kv::bench {
namespace {

// Every record's secret fields read and written back unchanged, in one transaction: the floor a conversion
// of every record stands on.
double rewriteSeconds() {
    QElapsedTimer timer;
    timer.start();
    sql::Transaction transaction(*gDBConnection);
    sql::Statement read(*gDBConnection, QStringLiteral("SELECT ChildAutoID, UserID, Password, Description, "
                                                       "PriorUserID, PriorPassword FROM tblChildData"));
    sql::Statement write(*gDBConnection, QStringLiteral("UPDATE tblChildData SET UserID = ?, Password = ?, "
                                                        "Description = ?, PriorUserID = ?, PriorPassword = ? WHERE "
                                                        "ChildAutoID = ?"));
    while (read.step()) {
        for (int i = 1; i <= 5; ++i)
            write.bind(i, read.column(i));
        write.bind(6, read.column(0));
        write.step();
        write.reset();
    }
    transaction.commit();
    return timer.nsecsElapsed() / 1e9;
}

bool reportConversion(const char* measure, int records, bool on) {
    const double seconds = setProtected(on);
    if (seconds < 0) return false;
    report(measure, records, seconds, "s");
    return true;
}

int measureProtection(const QString& folder, int records) {
    const KdfParams realCost = kdfParams();
    {
        OpenedDatabase opened(folder);
        giveMasterPassword();
        report("plain_scan", records, plainScanSeconds(), "s");
        report("rewrite_all", records, rewriteSeconds(), "s");
        setKdfParams({1, 8192});
        if (!reportConversion("protect_all", records, true) || !reportConversion("unprotect_all", records, false))
            return 1;
        gRsChildData.reset();
        gRsMasterData.reset();
        gRsOptions.reset();
        QElapsedTimer timer;
        timer.start();
        if (!compactDatabase(*gDBConnection)) return 1;
        report("compact_unprotected", records, timer.nsecsElapsed() / 1e9, "s");
        report("plain_scan_unprotected", records, plainScanSeconds(), "s");
        setKdfParams(realCost);
        if (!reportConversion("protect_all_default_kdf", records, true)) return 1;
    }

    // The protected file as start-up opens it: the log-on's key derivation opens the records, then the
    // main window shows its first page.
    OpenedDatabase opened(folder);
    QElapsedTimer timer;
    timer.start();
    if (!MasterPasswordMatches(kBenchMaster)) {
        std::fprintf(stderr, "the master password did not open the protected records\n");
        return 1;
    }
    report("argon2id", records, timer.nsecsElapsed() / 1e9, "s");
    auto form = std::make_unique<frmMain>();
    form->show();
    QApplication::processEvents();
    form->grid()->view()->viewport()->repaint();
    report("logon_protected", records, timer.nsecsElapsed() / 1e9, "s");
    report("peak_rss", records, peakRssMegabytes(), "MB");
    if (form->grid()->rowCount() != records) {
        std::fprintf(stderr, "the grid shows %d rows, not %d\n", form->grid()->rowCount(), records);
        return 1;
    }
    return 0;
}

} // namespace

KV_BENCH_SUITE("protection", {100000, 1000000}, measureProtection);

} // namespace kv::bench
