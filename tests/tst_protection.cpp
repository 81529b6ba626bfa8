#include "access/Protection.h"
#include "access/modKeyvale.h"
#include "exchange/CsvImport.h"
#include "exchange/DataFileCopy.h"
#include "store/Cipher.h"
#include "store/RecordFields.h"
#include "store/RecordStore.h"
#include "store/modDBstuff.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/Widgets.h"

#include <QFile>
#include <QTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace kv;
using namespace kv::test;

namespace {

const QString kMaster = QStringLiteral("Open1Sesame");
const QString kQuestion = QStringLiteral("What is your favorite food?");
const QString kAnswer = QStringLiteral("PIZZA");

// Records with the values that are easy to get wrong: Null and empty fields, every code-page character the
// cipher keeps, line breaks, long text, and two records whose secrets are the same.
void seedRecords(int extra = 0) {
    gMasterPassword = kMaster.toUpper();
    gRecoveryQuestion = kQuestion;
    gRecoveryAnswer = kAnswer;
    QVERIFY(SaveMasterPassword());
    gDBConnection->execute(QStringLiteral("INSERT INTO tblMasterData VALUES ('Mail'), ('Bank')"));
    const QString every = QString::fromLatin1("!\"#$%&'()*+,-./09:;<=>?@AZ[\\]^_`az{|}~") + QChar(0xE9) +
                          QChar(0x20AC) + QChar(0xFC);
    const QList<QVariantList> rows = {
        {"Mail", "mail.example", "alice", "hunter2", "first\nsecond line", "2026-01-02 03:04:05", "al", "old1"},
        {"Mail", "other.example", "alice", "hunter2", QVariant(), "2026-01-02 03:04:05", QVariant(), QVariant()},
        {"Bank", "bank.example", "", "", "", QVariant(), "", ""},
        {"Bank", QVariant(), every, every, QString(3000, QLatin1Char('x')), "2025-12-31 23:59:59", every, every},
    };
    auto insert = [](const QVariantList& r) {
        gDBConnection->execute(QStringLiteral("INSERT INTO tblChildData (GroupName, Website, UserID, Password, "
                                              "Description, DateChanged, PriorUserID, PriorPassword) VALUES (?, ?, "
                                              "?, ?, ?, ?, ?, ?)"),
                               {r[0], r[1], r[2], r[3].isNull() ? QVariant() : QVariant(encipherField(r[3].toString())),
                                r[4], r[5], r[6], r[7].isNull() ? QVariant() : QVariant(encipherField(r[7].toString()))});
    };
    sql::Transaction transaction(*gDBConnection);
    for (const QVariantList& r : rows) insert(r);
    for (int i = 0; i < extra; ++i)
        insert({"Bank", QStringLiteral("site%1").arg(i), QStringLiteral("user%1").arg(i),
                QStringLiteral("pass%1").arg(i), QStringLiteral("note %1").arg(i), "2026-01-01 00:00:00", QVariant(),
                QVariant()});
    transaction.commit();
}

// The secret tables as stored, row by row.
QList<QVariantList> storedSecrets(const TempAppFolder& app) {
    return app.query(QStringLiteral("SELECT * FROM tblChildData ORDER BY ChildAutoID")) +
           app.query(QStringLiteral("SELECT * FROM tblPassword"));
}

// Every record in clear, as the grid would show it.
QList<RecordCells> clearRecords() {
    QList<RecordCells> out;
    forEachRecord(*gDBConnection, {}, [&](const RecordCells& cells) {
        out << cells;
        return true;
    });
    return out;
}

QString protectedMarker(const TempAppFolder& app) {
    return app.option(kProtectedOption);
}

bool hasKeyTable(const TempAppFolder& app) {
    return app.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = ?"), {kKeyWrapTable}).toInt() > 0;
}

// Runs `convert` in a child process that kills itself when the conversion reports `killAt` records done.
void convertAndDie(const std::function<void(const ConversionProgress&)>& convert, qint64 killAt) {
    const pid_t child = fork();
    if (child == 0) {
        convert([killAt](qint64 done, qint64) {
            if (done >= killAt) ::kill(::getpid(), SIGKILL);
            return true;
        });
        ::_exit(0); // converted before the kill came: the caller's row says that cannot be
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, "the child was not killed mid-conversion");
}

} // namespace

class ProtectionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setKdfParams({1, 8192}); }
    void cleanup() { resetProgramState(); }

    // Plain -> protected -> plain gives the same bytes; while protected no stored secret gives an original
    // back through the field cipher, the fields that stay open are unchanged, and the records read in clear.
    void roundTrip() {
        TempAppFolder app;
        seedRecords();
        const QList<QVariantList> before = storedSecrets(app);
        const QList<RecordCells> clear = clearRecords();

        QCOMPARE(SetDatabaseProtected(true, kMaster.toLower()), ProtectionChange::Changed);
        QVERIFY(gRecordCodec.isProtected() && gRecordCodec.isUnlocked());
        QCOMPARE(protectedMarker(app), QStringLiteral("1"));
        QVERIFY(gMasterPassword.isEmpty() && gRecoveryAnswer.isEmpty());
        const QList<QVariantList> sealed = storedSecrets(app);
        QCOMPARE(sealed.size(), before.size());
        // Every secret, and its enciphered form: neither may show in a stored value or its deciphered form
        // (short ones only as the whole value, since six characters and more do not turn up by chance).
        QStringList originals;
        for (const RecordCells& r : clear)
            for (int c : {kUserIdColumn, kPasswordColumn, kDescriptionColumn, kPriorUserIdColumn, kPriorPasswordColumn})
                if (!r[c].isEmpty()) originals << r[c] << encipherField(r[c]);
        originals << kMaster.toUpper() << kAnswer;
        const auto shows = [&](const QString& text) {
            return std::any_of(originals.begin(), originals.end(), [&](const QString& original) {
                return text == original || (original.size() >= 6 && text.contains(original));
            });
        };
        for (int row = 0; row < sealed.size(); ++row) {
            for (int c = 0; c < sealed[row].size(); ++c) {
                const QVariant value = sealed[row][c];
                const bool secret = row < clear.size() ? RecordCodec::isSealedColumn(c) : true;
                if (!secret) {
                    QCOMPARE(value, before[row][c]);
                    continue;
                }
                QCOMPARE(value.isNull(), before[row][c].isNull());
                if (value.isNull()) continue;
                QVERIFY2(value.toString().startsWith(QLatin1String("kv1:")), qPrintable(value.toString()));
                QVERIFY2(!shows(value.toString()) && !shows(decipherField(value.toString())), qPrintable(value.toString()));
            }
        }
        QCOMPARE(clearRecords(), clear);

        // Both ways in open the same key; the locked program reads nothing.
        LockRecords();
        QVERIFY_THROWS_EXCEPTION(Error, clearRecords());
        QVERIFY(!MasterPasswordMatches(QStringLiteral("open1sesamE ")));
        QVERIFY(!RecoveryAnswerMatches(kQuestion, QStringLiteral("PIZZAS")));
        QVERIFY(!RecoveryAnswerMatches(QStringLiteral("What is your pet's name?"), kAnswer));
        QVERIFY(RecoveryAnswerMatches(kQuestion, QStringLiteral(" pizza ").toUpper()));
        QCOMPARE(clearRecords(), clear);
        LockRecords();
        QVERIFY(MasterPasswordMatches(kMaster));
        QCOMPARE(clearRecords(), clear);

        QCOMPARE(SetDatabaseProtected(false, QStringLiteral("wrong")), ProtectionChange::WrongPassword);
        QCOMPARE(storedSecrets(app), sealed);
        QCOMPARE(SetDatabaseProtected(false, kMaster), ProtectionChange::Changed);
        QCOMPARE(storedSecrets(app), before);
        QVERIFY(!hasKeyTable(app));
        QCOMPARE(protectedMarker(app), QStringLiteral("0"));
        QCOMPARE(gMasterPassword, kMaster.toUpper());
        QVERIFY(MasterPasswordMatches(kMaster));
        QCOMPARE(clearRecords(), clear);
    }

    // The rebuild after turning protection off may be stopped (Cancel in the progress window) or fail: the
    // records are plain all the same and the file is sound, only larger.
    void stoppedRebuildLosesNothing() {
        TempAppFolder app;
        seedRecords(5000); // enough for the rebuild to be asked whether to go on
        const QList<QVariantList> before = storedSecrets(app);
        QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        bool converted = false, stopped = false;
        const auto progress = [&](qint64 done, qint64 total) {
            if (converted) return !(stopped = true);
            converted = done == total && total > 1;
            return true;
        };
        QCOMPARE(SetDatabaseProtected(false, kMaster, progress), ProtectionChange::Changed);
        QVERIFY(stopped);
        QVERIFY(!gRecordCodec.isProtected());
        QCOMPARE(storedSecrets(app), before);
        QVERIFY(app.scalar(QStringLiteral("PRAGMA freelist_count")).toInt() > 0);
        QCOMPARE(app.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    }

    // A sealed value that was altered or moved does not open: reading says so, and turning protection off
    // stops there with nothing changed.
    void alteredValuesAreRefused_data() {
        QTest::addColumn<QString>("alteration");
        row("flipped byte", "UPDATE tblChildData SET Password = substr(Password, 1, 30) || "
                            "CASE substr(Password, 31, 1) WHEN 'A' THEN 'B' ELSE 'A' END || substr(Password, 32) "
                            "WHERE ChildAutoID = 1");
        row("swapped between records", "UPDATE tblChildData SET UserID = (SELECT UserID FROM tblChildData WHERE "
                                       "ChildAutoID = 2) WHERE ChildAutoID = 1");
        row("swapped between fields", "UPDATE tblChildData SET Description = UserID WHERE ChildAutoID = 1");
        row("plain text put in", "UPDATE tblChildData SET Password = 'plain' WHERE ChildAutoID = 1");
        row("cut short", "UPDATE tblChildData SET UserID = substr(UserID, 1, 20) WHERE ChildAutoID = 1");
    }
    void alteredValuesAreRefused() {
        QFETCH(QString, alteration);
        TempAppFolder app;
        seedRecords();
        QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        app.execute(alteration);
        const QList<QVariantList> altered = storedSecrets(app);
        try {
            clearRecords();
            QFAIL("an altered value was read");
        } catch (const Error& e) {
            QCOMPARE(e.number(), err::DatabaseDamaged);
            QVERIFY2(e.description().contains(QLatin1String("of record 1 does not open")), qPrintable(e.description()));
        }
        QVERIFY_THROWS_EXCEPTION(Error, SetDatabaseProtected(false, kMaster));
        QCOMPARE(storedSecrets(app), altered);
        QVERIFY(hasKeyTable(app));
    }

    // A file whose protection is half there is refused when opened or checked as a backup.
    void damagedProtectionIsRefused_data() {
        QTest::addColumn<QString>("alteration");
        QTest::addColumn<QString>("said");
        row("marker without keys", "DROP TABLE tblKeyWrap", "its key table tblKeyWrap is missing");
        row("keys without marker", "UPDATE tblOptions SET OptionValue = '0' WHERE OptionName = 'ProtectedRecords'",
            "is not marked as protected");
        row("a wrap missing", "DELETE FROM tblKeyWrap WHERE WrapName = 'RecoveryAnswer'",
            "the key for the RecoveryAnswer is missing");
        row("a wrap cut", "UPDATE tblKeyWrap SET WrappedKey = substr(WrappedKey, 5)", "not in a form Keyvale wrote");
        row("absurd cost", "UPDATE tblKeyWrap SET MemoryBytes = 1099511627776", "not in a form Keyvale wrote");
    }
    void damagedProtectionIsRefused() {
        QFETCH(QString, alteration);
        QFETCH(QString, said);
        TempAppFolder app;
        seedRecords();
        QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        app.execute(alteration);
        try {
            checkBackupFile(app.database());
            QFAIL("the damaged file passed the backup check");
        } catch (const Error& e) {
            QCOMPARE(e.number(), err::DatabaseDamaged);
            QVERIFY2(e.description().contains(said), qPrintable(e.description()));
        }
    }

    // A kill at any point of a conversion leaves the file wholly in the form it had, and sound.
    void killDuringConversion_data() {
        QTest::addColumn<bool>("protecting");
        QTest::addColumn<qint64>("killAt");
        for (bool protecting : {true, false}) {
            const char* way = protecting ? "protect" : "unprotect";
            QTest::addRow("%s, at the start", way) << protecting << qint64(0);
            QTest::addRow("%s, midway", way) << protecting << qint64(2000);
            QTest::addRow("%s, before the commit", way) << protecting << qint64(2504);
        }
    }
    void killDuringConversion() {
        QFETCH(bool, protecting);
        QFETCH(qint64, killAt);
        TempAppFolder app;
        seedRecords(2500);
        if (!protecting) QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        const QList<QVariantList> before = storedSecrets(app);
        const std::shared_ptr<const SecretKey> key = gRecordCodec.key();
        convertAndDie(
            [&](const ConversionProgress& progress) {
                if (protecting)
                    protectDatabase(*gDBConnection, kMaster, kQuestion, kAnswer, progress);
                else
                    unprotectDatabase(*gDBConnection, *key, progress);
            },
            killAt);
        resetProgramState();
        QCOMPARE(app.scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
        QCOMPARE(storedSecrets(app), before);
        QCOMPARE(hasKeyTable(app), !protecting);
    }

    // The master password changes by a new wrap of the same key; turning protection off then gives the plain
    // form the new password. The same file opened again keeps its key; another protected file stays locked.
    void passwordChangeAndReopening() {
        TempAppFolder app;
        seedRecords();
        QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        const QList<RecordCells> clear = clearRecords();
        QCOMPARE(ChangeMasterPassword(QStringLiteral("NewPass99")), PasswordChange::Changed);
        QVERIFY(!unwrapWithMasterPassword(*gDBConnection, kMaster));
        QVERIFY(unwrapWithMasterPassword(*gDBConnection, QStringLiteral("newpass99")));
        QVERIFY(unwrapWithRecoveryAnswer(*gDBConnection, kQuestion, kAnswer));

        openDatabase(gDataFolder);
        QVERIFY(gRecordCodec.isUnlocked());
        QCOMPARE(clearRecords(), clear);

        TempAppFolder other;
        seedRecords();
        QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        gRecordCodec = RecordCodec::protectedWith(unwrapWithMasterPassword(
            *sql::Connection::open(app.database(), kDatabasePassword), QStringLiteral("NEWPASS99")));
        openDatabase(other.path());
        QVERIFY(gRecordCodec.isProtected() && !gRecordCodec.isUnlocked());

        openDatabase(app.path());
        QVERIFY(MasterPasswordMatches(QStringLiteral("NewPass99")));
        QCOMPARE(SetDatabaseProtected(false, QStringLiteral("NewPass99")), ProtectionChange::Changed);
        QCOMPARE(gMasterPassword, QStringLiteral("NEWPASS99"));
        QCOMPARE(clearRecords(), clear);
    }

    // Writers store sealed values that read back: a new record and a change (its prior values moved), and a
    // CSV import that still knows its duplicates by user ID.
    void writersSealWhatTheyStore() {
        TempAppFolder app;
        seedRecords();
        QCOMPARE(SetDatabaseProtected(true, kMaster), ProtectionChange::Changed);
        {
            auto records = openRecordset(QStringLiteral("Select %1 from tblChildData Where ChildAutoID = ?")
                                             .arg(kRecordFieldList),
                                         {1});
            storeRecordChange(*records, {{std::nullopt, std::nullopt, std::nullopt, QString("bob"), QString("s3cret")},
                                         "alice", "hunter2"});
            RecordCells cells;
            cells[kGroupNameColumn] = "Mail";
            cells[kWebsiteColumn] = "new.example";
            cells[kUserIdColumn] = "carol";
            cells[kPasswordColumn] = "pw";
            storeNewRecord(*records, cells);
        }
        const QString csv = app.file("in.csv");
        QVERIFY(writeFile(csv, "Group,Web Site,User ID,Password,Description,Date Changed\n"
                               "Mail,new.example,carol,pw,,\nMail,new.example,dave,pw,,\n"));
        const CsvImport run = importCsvFile(csv, *gDBConnection, {}, QStringLiteral("2026-02-02 00:00:00"));
        QCOMPARE(run.imported, 1);
        QCOMPARE(run.duplicates, 1);
        QCOMPARE(app.scalar(QStringLiteral("SELECT count(*) FROM tblChildData WHERE UserID NOT LIKE 'kv1:%' OR "
                                           "Password NOT LIKE 'kv1:%'"))
                     .toInt(),
                 0);
        QCOMPARE(SetDatabaseProtected(false, kMaster), ProtectionChange::Changed);
        QCOMPARE(app.query(QStringLiteral("SELECT UserID, Password, PriorUserID, PriorPassword FROM tblChildData "
                                          "WHERE ChildAutoID IN (1, 5, 6) ORDER BY ChildAutoID")),
                 (QList<QVariantList>{{"bob", encipherField("s3cret"), "alice", encipherField("hunter2")},
                                      {"carol", encipherField("pw"), "", ""},
                                      {"dave", encipherField("pw"), QVariant(), QVariant()}}));
    }
};

QTEST_MAIN(ProtectionTest)
#include "tst_protection.moc"
