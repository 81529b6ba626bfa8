#include "startup/modKeyvale.h"
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
QVariant optionValue(const TempAppFolder& app, const QString& name) {
    return app.scalar("select OptionValue from tblOptions where OptionName = ?", {name});
}
} // namespace

class OptionsTest : public QObject {
    Q_OBJECT
private slots:
    void deliveredValues() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        QCOMPARE(gShutDownTime, qint16(60));
        QCOMPARE(gShutDownTimeByte, quint8(60));
        QVERIFY(gConfirmUpdate);
        QVERIFY(!gShutDownKeyvale && !gShowPasswordText && !gShowPasswordColumn && !gExportPassword);
        QCOMPARE(gBackupLocation, app.path()); // stored as Null
        QCOMPARE(gGridBackColorOdd, 16776960);
        QCOMPARE(gGridForeColorEven, 8421504);
        QCOMPARE(gImportSelectPath, QString());
        QVERIFY(desktop.prompts.isEmpty());
    }

    void missingDefaultRowsAreAdded() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        app.execute("delete from tblOptions where OptionName like 'Grid%' or OptionName in ('ImportSelectPath', "
                    "'ExportPassword')");
        gGridBackColorOdd = gGridForeColorOdd = gGridBackColorEven = gGridForeColorEven = -5;
        restart();
        QCOMPARE(gGridBackColorOdd, 16776960);
        QCOMPARE(gGridForeColorOdd, 0);
        QCOMPARE(gGridBackColorEven, 16777215);
        QCOMPARE(gGridForeColorEven, 8421504);
        QCOMPARE(optionValue(app, "GridBackColorOdd").toString(), QStringLiteral("16776960"));
        QCOMPARE(optionValue(app, "ImportSelectPath").toString(), QString());
        QCOMPARE(optionValue(app, "ExportPassword").toString(), QStringLiteral("0"));
        QCOMPARE(app.scalar("select count(*) from tblOptions").toInt(), 14);
        restart(); // nothing is added twice
        QCOMPARE(app.scalar("select count(*) from tblOptions").toInt(), 14);
    }

    void saveAndReadBack() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        app.execute("insert into tblOptions values ('SomethingNewer', 'keep me')");
        restart();
        gShutDownTime = 90;
        gShutDownKeyvale = true;
        gConfirmUpdate = false;
        gBackupLocation = QStringLiteral("/backups/");
        gGridBackColorOdd = 255;
        gGridForeColorOdd = -1;
        gExportPassword = true;
        gSaveOptions();
        QCOMPARE(optionValue(app, "ShutDownTime").toString(), QStringLiteral("90"));
        QCOMPARE(optionValue(app, "ShutDownKeyvale").toString(), QStringLiteral("-1"));
        QCOMPARE(optionValue(app, "ConfirmUpdate").toString(), QStringLiteral("0"));
        QCOMPARE(optionValue(app, "GridBackColorOdd").toString(), QStringLiteral(" 255"));
        QCOMPARE(optionValue(app, "GridForeColorOdd").toString(), QStringLiteral("-1"));
        QCOMPARE(optionValue(app, "GridBackColorEven").toString(), QStringLiteral(" 16777215"));
        QCOMPARE(optionValue(app, "SomethingNewer").toString(), QStringLiteral("keep me"));

        gShutDownTime = 0;
        gGridBackColorOdd = gGridForeColorOdd = 0;
        gShutDownKeyvale = gExportPassword = false;
        restart();
        QCOMPARE(gShutDownTime, qint16(90));
        QCOMPARE(gGridBackColorOdd, 255);
        QCOMPARE(gGridForeColorOdd, -1);
        QVERIFY(gShutDownKeyvale && gExportPassword && !gConfirmUpdate);
        QCOMPARE(gBackupLocation, QStringLiteral("/backups/"));
        QVERIFY(desktop.prompts.isEmpty());
    }

    // The idle time is kept in 8 bits: a larger stored value is bounded, and loading goes on.
    void shutDownTimeIsBounded_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("byte");
        QTest::newRow("300") << "300" << 255;
        QTest::newRow("negative") << "-4" << 0;
        QTest::newRow("rounded half to even") << "14.5" << 14;
    }
    void shutDownTimeIsBounded() {
        QFETCH(QString, stored);
        QFETCH(int, byte);
        ScriptedDesktop desktop;
        TempAppFolder app;
        app.execute("update tblOptions set OptionValue = ? where OptionName = 'ShutDownTime'", {stored});
        app.execute("update tblOptions set OptionValue = '-1' where OptionName = 'ExportPassword'");
        restart();
        QCOMPARE(int(gShutDownTimeByte), byte);
        QVERIFY(gExportPassword);
        QVERIFY(desktop.prompts.isEmpty());
    }

    // A value that cannot be read stops the loading at its row, with the standard message.
    void unreadableValueStopsLoading() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        app.execute("update tblOptions set OptionValue = 'maybe' where OptionName = 'ShowPasswordColumn'");
        app.execute("update tblOptions set OptionValue = '-1' where OptionName = 'ShutDownKeyvale'");
        app.execute("delete from tblOptions where OptionName = 'GridBackColorOdd'");
        restart();
        QCOMPARE(desktop.messages(),
                 QStringList{"Error 13 (Type mismatch) in procedure GetOptions of Module modKeyvale"});
        QVERIFY(!gShutDownKeyvale);
        QCOMPARE(app.scalar("select count(*) from tblOptions where OptionName = 'GridBackColorOdd'").toInt(), 0);
    }

    // A default row the database refuses is reported once, and is not tried again when the options are saved.
    void aRefusedDefaultRowDoesNotBlockSaving() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        app.execute("delete from tblOptions where OptionName = 'ExportPassword'");
        app.execute("create trigger refuse before insert on tblOptions begin select raise(abort, 'no'); end");
        restart();
        QCOMPARE(desktop.messages().size(), 1);
        QVERIFY(desktop.messages().first().endsWith("in procedure GetOptions of Module modKeyvale"));
        gShowPasswordColumn = true; // the database still takes no new rows, but changes to its rows

        gSaveOptions();
        QCOMPARE(desktop.messages().size(), 1);
        QCOMPARE(optionValue(app, "ShowPasswordColumn").toString(), QStringLiteral("-1"));
    }

    void conversions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("value");
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("other number") << "2" << true;
        QTest::newRow("True") << "True" << true;
        QTest::newRow("false") << "false" << false;
    }
    void conversions() {
        QFETCH(QString, text);
        QFETCH(bool, value);
        QCOMPARE(optionToBool(text), value);
    }
};

QTEST_GUILESS_MAIN(OptionsTest)
#include "tst_options.moc"
