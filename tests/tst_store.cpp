#include "store/Recordset.h"
#include "store/Schema.h"
#include "store/modDBstuff.h"
#include "startup/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"

#include <QFile>
#include <QTest>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::TempAppFolder;

namespace {

void addGroup(const QString& name) { gDBConnection->execute(QStringLiteral("INSERT INTO tblMasterData VALUES (?)"), {name}); }

void addRecord(const QString& group, const QString& website, const QString& user = QStringLiteral("me")) {
    gDBConnection->execute(QStringLiteral("INSERT INTO tblChildData (GroupName, Website, UserID) VALUES (?, ?, ?)"),
                           {group, website, user});
}

QStringList websites(Recordset& rs) {
    QStringList out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) out.append(rs.field(QStringLiteral("Website")).toString());
    return out;
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void deliveredDatabaseHasTablesInOrder() {
        TempAppFolder app;
        QCOMPARE(gMasterFieldCount, qint16(1));
        QStringList names;
        for (int i = 0; i < gRsChildData->fieldCount(); ++i) names.append(gRsChildData->fieldName(i));
        QCOMPARE(names, (QStringList{"ChildAutoID", "GroupName", "Website", "UserID", "Password", "Description",
                                     "DateChanged", "PriorUserID", "PriorPassword"}));
        QCOMPARE(gRsOptions->recordCount(), 14);
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(app.database()) & others, QFile::Permissions());
        QVERIFY_THROWS_EXCEPTION(Error, createDeliveredDatabase(app.database()));
    }

    void navigationAtBothEnds() {
        TempAppFolder app;
        Recordset empty(gDBConnection, QStringLiteral("Select * from tblChildData"));
        QVERIFY(empty.bof() && empty.eof());
        empty.moveFirst();
        QVERIFY(empty.bof() && empty.eof());
        QVERIFY_THROWS_EXCEPTION(Error, empty.field(1));

        addGroup("G");
        for (const char* w : {"c", "a", "b"}) addRecord("G", w);
        Recordset rs(gDBConnection, kSelectChildData);
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(websites(rs), (QStringList{"a", "b", "c"}));
        rs.moveLast();
        QCOMPARE(rs.field(2).toString(), QStringLiteral("c"));
        rs.moveNext();
        QVERIFY(rs.eof() && !rs.bof());
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
        QCOMPARE(rs.field(2).toString(), QStringLiteral("a"));
    }

    // Bookmarks are positions as opened; a delete leaves a hole, an add goes to the end until requery.
    void bookmarksAcrossDeletesAndAdds() {
        TempAppFolder app;
        addGroup("G");
        for (const char* w : {"a", "b", "c", "d"}) addRecord("G", w);
        Recordset rs(gDBConnection, kSelectChildData);
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
        rs.moveLast();
        QCOMPARE(rs.field(2).toString(), QStringLiteral("0 first by name"));
        QCOMPARE(websites(rs), (QStringList{"a", "c", "d", "0 first by name"}));
        rs.requery();
        QCOMPARE(websites(rs), (QStringList{"0 first by name", "a", "c", "d"}));
        rs.moveFirst();
        QCOMPARE(rs.field(0).toLongLong(), 5); // the database numbers new rows
    }

    void findFromTheCurrentRowForwards() {
        TempAppFolder app;
        addGroup("G");
        for (const char* w : {"a", "b", "a", "c"}) addRecord("G", w, w);
        Recordset rs(gDBConnection, kSelectChildData);
        rs.moveFirst();
        QVERIFY(rs.find("UserID", "B"));
        const int b = rs.bookmark();
        QVERIFY(rs.find("UserID", "b")); // the current row counts
        QCOMPARE(rs.bookmark(), b);
        rs.moveNext();
        QVERIFY(!rs.find("UserID", "b"));
        QVERIFY(rs.eof());

        // A name is found exactly when the database takes it as the same name.
        addGroup("Ärzte");
        Recordset groups(gDBConnection, kSelectMasterData);
        for (const QString name : {"ÄRZTE", "ärzte", "Arzte"}) {
            groups.moveFirst();
            QCOMPARE(groups.find("GroupName", name),
                     app.scalar("select count(*) from tblMasterData where GroupName = ?", {name}).toInt() == 1);
        }
    }

    void updatesAreInTheFileAtOnce() {
        TempAppFolder app;
        addGroup("G");
        addRecord("G", "site");
        gRsChildData->requery();
        gRsChildData->setField(QStringLiteral("Description"), QStringLiteral("kept"));
        gRsChildData->update();
        QCOMPARE(app.scalar("select Description from tblChildData").toString(), QStringLiteral("kept"));
        gCloseDatabase();
        gInitializeDB();
        QCOMPARE(gRsChildData->field(5).toString(), QStringLiteral("kept"));
    }

    // Renaming or deleting a group carries its records along.
    void groupRelationCascades() {
        TempAppFolder app;
        addGroup("Bank");
        addGroup("Mail");
        addRecord("Bank", "one");
        addRecord("Bank", "two");
        addRecord("Mail", "three");
        Recordset rename(gDBConnection, QStringLiteral("Select GroupName from tblMasterData Where GroupName = ?"),
                         {QStringLiteral("Bank")});
        rename.setField(0, QStringLiteral("Banks"));
        rename.update();
        QCOMPARE(app.scalar("select count(*) from tblChildData where GroupName = 'Banks'").toInt(), 2);
        QCOMPARE(gDBConnection->execute(QStringLiteral("Delete from tblMasterData Where GroupName = ?"),
                                        {QStringLiteral("Banks")}),
                 1);
        QCOMPARE(app.scalar("select count(*) from tblChildData").toInt(), 1);
        try {
            addRecord("Nowhere", "x");
            QFAIL("a record without its group was stored");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(err::RelatedRecordRequired));
        }
        try {
            addGroup("mail");
            QFAIL("a duplicate group was stored");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(err::DuplicateValue));
        }
    }

    // A group name with an apostrophe goes through every statement that takes one.
    void apostropheInAGroupName() {
        TempAppFolder app;
        const QString name = QStringLiteral("Bob's ' OR '1'='1");
        addGroup(name);
        addGroup("Other");
        addRecord(name, "site");
        addRecord("Other", "elsewhere");
        Recordset master(gDBConnection, QStringLiteral("Select * from tblMasterData Where GroupName = ?"), {name});
        QCOMPARE(master.recordCount(), 1);
        Recordset group(gDBConnection,
                        QStringLiteral("Select * from tblChildData Where GroupName = ? order by  GroupName, Website"),
                        {name});
        QCOMPARE(websites(group), QStringList{"site"});
        Recordset count(gDBConnection, QStringLiteral("Select GroupName from tblChildData Where GroupName = ?"),
                        {name});
        QCOMPARE(count.recordCount(), 1);
        gRsMasterData->requery();
        QVERIFY(gRsMasterData->find("GroupName", name));
        Recordset rename(gDBConnection, QStringLiteral("Select GroupName from tblMasterData Where GroupName = ?"),
                         {name});
        rename.setField(0, name + QStringLiteral("2"));
        rename.update();
        gDBConnection->execute(QStringLiteral("Delete from tblMasterData Where GroupName = ?"), {name + "2"});
        QCOMPARE(app.scalar("select count(*) from tblChildData").toInt(), 1);
        QCOMPARE(app.scalar("select count(*) from tblMasterData").toInt(), 1);
    }

    void openingFailures_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("connected");
        QTest::newRow("missing file") << "missing"
                                      << "Error 3024 (Could not find file '%1'.) in procedure gInitializeDB of module "
                                         "modDBstuff"
                                      << false;
        QTest::newRow("wrong password") << "password"
                                        << "Error 3031 (Not a valid password.) in procedure gInitializeDB of module "
                                           "modDBstuff"
                                        << false;
        QTest::newRow("plain text") << "text"
                                    << "Error 3343 (Unrecognized database format '%1'.) in procedure gInitializeDB "
                                       "of module modDBstuff"
                                    << false;
        QTest::newRow("missing table") << "table"
                                       << "Error 3078 (The database engine cannot find the input table or query "
                                          "'tblChilDdata'.  Make sure it exists and that its name is spelled "
                                          "correctly.) in procedure gInitializeDB of module modDBstuff"
                                       << true;
    }
    void openingFailures() {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QFETCH(bool, connected);
        ScriptedDesktop desktop;
        TempAppFolder app(false);
        const QString db = app.database();
        if (damage == "missing") {
            QFile::remove(db);
        } else if (damage == "password") {
            QFile::remove(db);
            auto other = sql::Connection::create(db, "another password");
            other->executeScript("CREATE TABLE t (x);");
        } else if (damage == "text") {
            QFile::remove(db);
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("These are not the records you are looking for.\n");
        } else {
            app.execute("DROP TABLE tblChildData");
        }
        gDataFolder = app.path(); // ends in a separator, as the default does
        gInitializeDB();
        QCOMPARE(desktop.messages(), QStringList{message.contains("%1") ? message.arg(db) : message});
        QCOMPARE(desktop.last().icon, Icon::None);
        QCOMPARE(desktop.last().title, QString());
        QCOMPARE(bool(gDBConnection), connected);
        QCOMPARE(bool(gRsMasterData), connected);
        QVERIFY(!gRsChildData);
        QVERIFY(!gRsOptions);
    }

    void closeAndReopen() {
        ScriptedDesktop desktop;
        TempAppFolder app;
        gCloseDatabase();
        QVERIFY_THROWS_EXCEPTION(Error, gRsOptions->moveFirst());
        gCloseDatabase();
        QCOMPARE(desktop.messages(),
                 QStringList{"Error 3704 (Operation is not allowed when the object is closed.) in procedure "
                             "gCloseDatabase of Module modDBstuff"});
        gDataFolder.chop(1); // a folder without its separator opens all the same
        gInitializeDB();
        QVERIFY(gRsOptions->isOpen());
        QVERIFY(!gRsOptions->bof());
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
