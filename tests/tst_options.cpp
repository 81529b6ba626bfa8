#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/modDBstuff.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QTest>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::TempAppFolder;

namespace {
// Reopens the database and loads the options again, as a new start would.
void restart() {
    gInitializeDB();
    GetOptions();
}
QStringList storedValues(const TempAppFolder& app, const QStringList& names) {
    QStringList out;
    for (const QString& name : names)
        out.append(app.option(name));
    return out;
}
} // namespace

class OptionsTest : public QObject {
    Q_OBJECT
private slots:
    // Default rows that are missing are added once, with their values; one the database refuses is reported
    // once, and is not tried again when the options are saved.
    void missingDefaultRows() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        QCOMPARE(gBackupLocation, app.path()); // delivered as Null
        app.execute("delete from tblOptions where OptionName like 'Grid%' or OptionName in ('ImportSelectPath', "
                    "'ExportPassword')");
        gGridBackColorOdd = gGridForeColorOdd = gGridBackColorEven = gGridForeColorEven = -5;
        restart();
        QCOMPARE((QList<int>{gGridBackColorOdd, gGridForeColorOdd, gGridBackColorEven, gGridForeColorEven}),
                 (QList<int>{16776960, 0, 16777215, 8421504}));
        QCOMPARE(storedValues(app, {"GridBackColorOdd", "ImportSelectPath", "ExportPassword"}),
                 (QStringList{"16776960", "", "0"}));
        restart();
        QCOMPARE(app.scalar("select count(*) from tblOptions").toInt(), 14);

        app.execute("delete from tblOptions where OptionName = 'ExportPassword'");
        app.execute("create trigger refuse before insert on tblOptions begin select raise(abort, 'no'); end");
        restart();
        QVERIFY(desktop.messages().value(0).endsWith("in procedure GetOptions of Module modKeyvale"));
        gShowPasswordColumn = true; // the database still takes changes to its rows
        gSaveOptions();
        QCOMPARE(desktop.messages().size(), 1);
        QCOMPARE(storedValues(app, {"ShowPasswordColumn"}), QStringList{"-1"});
    }

    // Saved in the forms the settings have always had, and loaded back; a row of an unknown name is left
    // alone. The idle time is kept in 8 bits: a larger stored value is bounded rather than stopping the
    // loading. A value that cannot be read stops it at its row, with the standard message.
    void saveAndLoad() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        app.execute("insert into tblOptions values ('SomethingNewer', 'keep me')");
        restart();
        gShutDownTime = 90;
        gExportPassword = true;
        gBackupLocation = QStringLiteral("/backups/");
        gGridBackColorOdd = 255;
        gGridForeColorOdd = -1;
        gSaveOptions();
        QCOMPARE(storedValues(app, {"ShutDownTime", "ExportPassword", "GridBackColorOdd", "GridForeColorOdd",
                                    "SomethingNewer"}),
                 (QStringList{"90", "-1", " 255", "-1", "keep me"}));

        gShutDownTime = gGridBackColorOdd = gGridForeColorOdd = 0;
        gExportPassword = false;
        gBackupLocation.clear();
        restart();
        QCOMPARE((QList<int>{gShutDownTime, gGridBackColorOdd, gGridForeColorOdd}), (QList<int>{90, 255, -1}));
        QVERIFY(gExportPassword);
        QCOMPARE(gBackupLocation, QStringLiteral("/backups/"));

        for (const auto& [name, stored, loaded] : {std::tuple{"ShutDownTime", "300", 255},
                                                   {"ShutDownTime", "14.5", 14}, // rounded half to even
                                                   {"ExportPassword", "2", 1},
                                                   {"ExportPassword", "tRUE", 1}}) {
            gExportPassword = false;
            app.execute("update tblOptions set OptionValue = ? where OptionName = ?", {stored, name});
            restart();
            QCOMPARE(qstrcmp(name, "ShutDownTime") ? int(gExportPassword) : int(gShutDownTimeByte), loaded);
        }
        QVERIFY(desktop.prompts.isEmpty());

        app.execute("update tblOptions set OptionValue = 'maybe' where OptionName = 'ShowPasswordColumn'");
        app.execute("update tblOptions set OptionValue = '-1' where OptionName = 'ShutDownKeyvale'");
        app.execute("delete from tblOptions where OptionName = 'GridBackColorOdd'");
        restart();
        QCOMPARE(desktop.messages(),
                 QStringList{"Error 13 (Type mismatch) in procedure GetOptions of Module modKeyvale"});
        QVERIFY(!gShutDownKeyvale);
        QCOMPARE(app.scalar("select count(*) from tblOptions where OptionName = 'GridBackColorOdd'").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(OptionsTest)
#include "tst_options.moc"
