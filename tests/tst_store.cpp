#include "store/DateText.h"
#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"
#include "access/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QFile>
#include <QLocale>
#include <QTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

void addGroup(const QString& name) {
    gDBConnection->execute(QStringLiteral("INSERT INTO tblMasterData VALUES (?)"), {name});
}
void addRecord(const QString& group, const QString& website) {
    gDBConnection->execute(QStringLiteral("INSERT INTO tblChildData (GroupName, Website) VALUES (?, ?)"),
                           {group, website});
}
QStringList websites(Recordset& rs) {
    QStringList out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) out.append(rs.field(QStringLiteral("Website")).toString());
    return out;
}

// Every row's website by bookmark, walking the rows in order, and as a scan hands them over (each once).
QMap<int, QString> walked(Recordset& rs) {
    QMap<int, QString> out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) out.insert(rs.bookmark(), rs.field(QStringLiteral("Website")).toString());
    return out;
}
QMap<int, QString> scanned(Recordset& rs) {
    QMap<int, QString> out;
    rs.scan([&](Recordset::Bookmark bookmark, const Recordset::ScanRow& row) {
        if (out.contains(bookmark)) out.insert(-1, "twice");
        out.insert(bookmark, row.field(2).toString());
        return true;
    });
    return out;
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    // The delivered database: its columns in order, owner-only, never made over an existing file; a record
    // needs its group and group names are unique in any case.
    void deliveredDatabaseHasTablesInOrder() {
        TempAppFolder app;
        addGroup("Mail");
        QVERIFY_THROWS_EXCEPTION(Error, addRecord("Nowhere", "x"));
        QVERIFY_THROWS_EXCEPTION(Error, addGroup("mail"));
        QStringList names;
        for (int i = 0; i < gRsChildData->fieldCount(); ++i) names.append(gRsChildData->fieldName(i));
        QCOMPARE(names, (QStringList{"ChildAutoID", "GroupName", "Website", "UserID", "Password", "Description",
                                     "DateChanged", "PriorUserID", "PriorPassword"}));
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(app.database()) & others, QFile::Permissions());
        QVERIFY_THROWS_EXCEPTION(Error, createDeliveredDatabase(app.database()));
    }

    // Moving, finding and bookmarks over the rows as opened: a delete leaves a hole, an add goes to the end
    // until requery.
    void recordsetRows() {
        TempAppFolder app;
        addGroup("G");
        for (const char* w : {"d", "a", "c", "b"}) addRecord("G", w);
        Recordset rs(gDBConnection, kSelectChildData);
        QCOMPARE(websites(rs), (QStringList{"a", "b", "c", "d"}));
        try {
            rs.field(2);
            QFAIL("no error at EOF");
        } catch (const Error& e) {
            QCOMPARE(e.number(), 3021);
            QCOMPARE(e.description(), QStringLiteral("No current record."));
        }
        rs.moveFirst();
        rs.movePrevious();
        QVERIFY(rs.bof() && !rs.eof());
        rs.moveFirst();
        rs.move(5);
        QVERIFY(rs.eof());
        rs.moveLast();
        rs.move(-2);
        QCOMPARE(rs.field(2).toString(), QStringLiteral("b"));

        // Find looks from the current row on, in any case, and stops at EOF when nothing is left.
        rs.moveFirst();
        QVERIFY(rs.find("Website", "B"));
        const int b = rs.bookmark();
        QVERIFY(rs.find("Website", "b"));
        QCOMPARE(rs.bookmark(), b);
        rs.moveNext();
        QVERIFY(!rs.find("Website", "b"));
        QVERIFY(rs.eof());

        rs.setBookmark(2);
        rs.deleteCurrent();
        QCOMPARE(rs.recordCount(), 3);
        QVERIFY(!rs.isValidBookmark(2));
        QVERIFY_THROWS_EXCEPTION(Error, rs.setBookmark(2));
        rs.setBookmark(3);
        QCOMPARE(rs.field(2).toString(), QStringLiteral("c"));
        rs.movePrevious(); // skips the deleted row
        QCOMPARE(rs.bookmark(), 1);

        rs.addNew();
        rs.setField(1, QStringLiteral("G"));
        rs.setField(2, QStringLiteral("0 first by name"));
        rs.update();
        QCOMPARE(rs.bookmark(), 5);
        QCOMPARE(websites(rs), (QStringList{"a", "c", "d", "0 first by name"}));
        rs.requery();
        QCOMPARE(websites(rs), (QStringList{"0 first by name", "a", "c", "d"}));
        rs.moveFirst();
        QCOMPARE(rs.field(0).toLongLong(), 5); // the database numbers new rows

        // A name is found exactly when the database takes it as the same name.
        addGroup("Ärzte");
        Recordset groups(gDBConnection, kSelectMasterData);
        for (const QString name : {"ÄRZTE", "ärzte", "Arzte"}) {
            groups.moveFirst();
            QCOMPARE(groups.find("GroupName", name),
                     app.scalar("select count(*) from tblMasterData where GroupName = ?", {name}).toInt() == 1);
        }
    }

    // A scan hands over the rows of the recordset as opened, each once with its bookmark: not a deleted
    // one, but one added since, and not the table's other rows. The whole table read in its own order and
    // the few rows of a large one read by key give the same.
    void scanRows_data() {
        QTest::addColumn<QString>("group"); // empty: all groups
        QTest::newRow("all rows") << QString();
        QTest::newRow("a few rows of many") << "G";
    }
    void scanRows() {
        QFETCH(QString, group);
        TempAppFolder app;
        addGroup("G");
        addGroup("H");
        for (int i = 0; i < 200; ++i) addRecord(i % 50 == 0 ? "G" : "H", QStringLiteral("w%1").arg(199 - i));
        Recordset rs(gDBConnection, group.isEmpty() ? kSelectChildData
                                                    : QStringLiteral("SELECT * FROM tblChildData WHERE GroupName = ? "
                                                                     "ORDER BY GroupName, Website"),
                     group.isEmpty() ? QVariantList() : QVariantList{group});
        rs.setBookmark(2);
        rs.deleteCurrent();
        rs.addNew();
        rs.setField(1, QStringLiteral("G"));
        rs.setField(2, QStringLiteral("added"));
        rs.update();
        addRecord("G", "not in the recordset");
        const QMap<int, QString> expected = walked(rs);
        QCOMPARE(expected.size(), group.isEmpty() ? 200 : 4);
        QCOMPARE(scanned(rs), expected);
        int visited = 0;
        rs.scan([&](Recordset::Bookmark, const Recordset::ScanRow&) { return ++visited < 2; });
        QCOMPARE(visited, 2);
    }

    // Only the stored form with a real date and time is shown as a date; any other text is shown as it is.
    void storedDatesShown_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("asDate");
        QTest::newRow("stored form") << "2024-05-17 14:32:08" << true;
        QTest::newRow("leap day, last second") << "2024-02-29 23:59:59" << true;
        QTest::newRow("no such day") << "2023-02-29 10:00:00" << false;
        QTest::newRow("no such month") << "2024-13-01 10:00:00" << false;
        QTest::newRow("no such hour") << "2024-05-17 24:00:00" << false;
        QTest::newRow("blank after") << "2024-05-17 14:32:08 " << false;
        QTest::newRow("other form") << "05/17/2024 02:32:08 PM" << false;
        QTest::newRow("empty") << "" << false;
    }
    void storedDatesShown() {
        QFETCH(QString, stored);
        QFETCH(bool, asDate);
        QCOMPARE(displayedDate(stored) != stored, asDate);
    }

    // A database that could be read but not written is refused when it is opened, saying why, instead of
    // failing at the first change. The superuser writes anything: the check runs as an ordinary user.
    void readOnlyDatabase_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("why");
        QTest::newRow("file read-only") << "file"
                                        << "The file '%db' may not be written by this user.";
        QTest::newRow("folder read-only") << "folder"
                                          << "Files may not be created in its folder '%folder'.";
    }
    void readOnlyDatabase() {
        QFETCH(QString, what);
        QFETCH(QString, why);
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        const QString folder = app.path().chopped(1);
        const QString expected = "Error 3027 (Cannot update.  Database or object is read-only.  " +
                                 why.replace("%db", app.database()).replace("%folder", folder) +
                                 ") in procedure gInitializeDB of module modDBstuff";
        const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup |
                         QFile::ExeOther;
        const auto writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        QVERIFY(QFile::setPermissions(folder, what == "folder" ? all : all | QFile::WriteOwner));
        QVERIFY(QFile::setPermissions(app.database(), what == "file" ? all : all | writable));
        const auto check = [&] {
            gInitializeDB();
            return desktop.messages() == QStringList{expected} && !gRsChildData;
        };
        if (::geteuid() != 0) {
            QVERIFY2(check(), qPrintable(desktop.messages().join('|')));
        } else {
            const pid_t child = ::fork();
            if (child == 0) ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
            int status = -1;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "refused with another message, or not at all");
        }
        QVERIFY(QFile::setPermissions(folder, all | QFile::WriteOwner));
    }

    // An update is in the file at once. Closing twice is reported; a data folder without its separator opens
    // all the same.
    void updateCloseAndReopen() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        addGroup("G");
        addRecord("G", "site");
        gRsChildData->requery();
        gRsChildData->setField(QStringLiteral("Description"), QStringLiteral("kept"));
        gRsChildData->update();
        QCOMPARE(app.scalar("select Description from tblChildData").toString(), QStringLiteral("kept"));
        gCloseDatabase();
        QVERIFY_THROWS_EXCEPTION(Error, gRsOptions->moveFirst());
        gCloseDatabase();
        QCOMPARE(desktop.messages(),
                 QStringList{"Error 3704 (Operation is not allowed when the object is closed.) in procedure "
                             "gCloseDatabase of Module modDBstuff"});
        gDataFolder.chop(1);
        gInitializeDB();
        QCOMPARE(gRsChildData->field(5).toString(), QStringLiteral("kept"));
    }

    // A change date shows whole: four-digit year and seconds, in the locale's order and separators.
    void displayedDates_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("en_US") << "en_US" << "2025-07-04 16:05:09" << "7/4/2025 4:05:09 PM";
        QTest::newRow("year first, time after the day period") << "ko_KR" << "2025-07-04 16:05:09"
                                                              << "2025. 7. 4. \uC624\uD6C4 4:05:09";
        QTest::newRow("dots in the time") << "fi_FI" << "2025-07-04 16:05:09" << "4.7.2025 16.05.09";
        QTest::newRow("not a stored date") << "en_US" << "yesterday" << "yesterday";
    }
    void displayedDates() {
        QFETCH(QString, locale);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(displayedDate(stored), shown);
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
