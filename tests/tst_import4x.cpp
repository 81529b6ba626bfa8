// Import Version 4.x Data: the old fixed-record file read by the tests' own writer, through the real main
// window, and the reader run over truncated, mutated and random files.
#include "exchange/ImportRun.h"
#include "exchange/OldKeyvaleFile.h"
#include "support/OldKeyvaleWriter.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <cmath>

Q_DECLARE_METATYPE(std::optional<QString>)

using namespace kv;
using namespace kv::test;

namespace {

const QString kNotFound = QStringLiteral("Keyvale can not find a Keyvale file dated version 4.x or older.");
const QString kQuestion = QStringLiteral("Getting ready to import an older version of Keyvale data.\nContinue?");
const QString kStoredNow = QStringLiteral("2026-03-14 09:26:53"); // the test clock's time

const QList<OldLogOn> kLogOns = {
    {"www.bank.example", "joe", "Secret1"},
    {"  padded.example  ", "  spaced user ", " pw with blanks "},
    {"old.example", "gone", "x", true},
    {QString(50, 'w'), QString(50, 'u'), QString(15, 'p')},
    {QStringLiteral("caf\u00e9.example"), QStringLiteral("\u20ac-user"), QStringLiteral("\u00e9t\u00e9")},
    {"", "", ""},
};

// A web site field that deciphers to a NUL at some place: text the field cipher cannot give back.
QByteArray websiteFieldWithNul() {
    const QString zeros = decipherWith(kOldFileKey, fromWindows1252(QByteArray(50, '\0')));
    const qsizetype at = zeros.indexOf(QChar(0));
    if (at < 0) return {};
    // Blanks elsewhere, a zero byte where the key state turns it into a NUL.
    QByteArray field = toWindows1252(encipherWith(kOldFileKey, QString(50, ' ')));
    field[at] = '\0';
    return field;
}

struct ImportFixture : MainWindowFixture {
    ImportFixture() : MainWindowFixture({Rec("Bank", "www.existing.example", "me", "pw")}) {}
    QString oldFile() const { return folder.file(QStringLiteral("keyvale")); }
    void write(const QByteArray& bytes) const { QVERIFY(writeFile(oldFile(), bytes)); }
    // Runs the menu entry answering the question and the password box as given.
    void import(const std::optional<QString>& typed, Answer go = Answer::Yes, bool asked = true) {
        desktop.answer(go);
        if (go == Answer::Yes && asked) desktop.answerInput(typed);
        control<QAction>("mnuEditImport").trigger();
    }
    int imported() const { return count("SELECT count(*) FROM tblChildData WHERE GroupName = 'IMPORTED DATA'"); }
    bool groupExists() const { return count("SELECT count(*) FROM tblMasterData WHERE GroupName = 'IMPORTED DATA'"); }
};

} // namespace

class Import4xTest : public QObject {
    Q_OBJECT
private slots:
    // Every record arrives deciphered and trimmed, deleted ones marked, dated now, with its password
    // enciphered with the field key; the group list and grid show them at once, and a second run doubles them.
    // A record whose text would not come back from the field cipher unchanged is skipped, and named.
    void importsEveryRecord() {
        ImportFixture f;
        const QByteArray nul = websiteFieldWithNul();
        QVERIFY(!nul.isEmpty());
        QByteArray bytes = oldKeyvaleBytes("OLD PW", kLogOns + QList<OldLogOn>{{"", "damaged", ""}});
        bytes.replace(119 * (kLogOns.size() + 1) + 4, 50, nul);
        f.write(bytes);
        f.import(QStringLiteral("  old pw "));
        QCOMPARE(f.desktop.last().text,
                 QStringLiteral("Keyvale successfully imported data.\n1 record was not imported, because Keyvale can "
                                "not store their text unchanged (record numbers 8)."));
        QCOMPARE(f.desktop.prompts[0].text, kQuestion);
        QCOMPARE(f.desktop.prompts[0].icon, Icon::Question);
        QCOMPARE(f.desktop.prompts[1].text, QStringLiteral("Please enter the old password."));
        QVERIFY(f.desktop.prompts[1].masked);
        QCOMPARE(f.desktop.last().icon, Icon::Information);

        for (const OldLogOn& l : kLogOns) {
            if (l.website.isEmpty()) continue;
            const QVariantList r = f.stored(l.website.trimmed());
            QCOMPARE(r, (QVariantList{kImportedGroup, l.website.trimmed(), l.userID.trimmed(), l.password.trimmed(),
                                      l.deleted ? QVariant("***DELETED***") : QVariant(), kStoredNow, QVariant(),
                                      QString()}));
        }
        QCOMPARE(f.imported(), kLogOns.size());
        QVERIFY(f.combo().findText(kImportedGroup) > 0);
        QCOMPARE(f.grid().rowCount(), kLogOns.size() + 1);
        QVERIFY(f.grid().caption().endsWith(QString::number(kLogOns.size() + 1)));

        f.import(QStringLiteral("OLD PW"));
        QCOMPARE(f.imported(), 2 * kLogOns.size());
        QVERIFY(f.groupExists());
    }

    // What the user answers decides whether anything is imported; only a matching password imports.
    void answers_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<std::optional<QString>>("typed");
        QTest::addColumn<QString>("message"); // empty: none after the password box
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("imported");
        const QString ok = "Keyvale successfully imported data.";
        const QString invalid = "Invalid Password - Import Failed!";
        QTest::newRow("typed in lower case") << "OLDPW" << true << std::optional<QString>("oldpw") << ok
                                             << "Imported old Keyvale data successfully." << 2;
        QTest::newRow("stored in lower case is never matched")
            << "oldpw" << true << std::optional<QString>("oldpw") << invalid << "Import process failed." << 0;
        QTest::newRow("box cancelled") << "OLDPW" << true << std::optional<QString>() << QString() << "Import Canceled."
                                       << 0;
        QTest::newRow("No to Continue") << "OLDPW" << false << std::optional<QString>() << QString()
                                        << "Import canceled." << 0;
        // Cut within its header record: nothing to check the password against.
        QTest::newRow("header cut short") << "" << true << std::optional<QString>()
                                          << "The Keyvale file dated version 4.x or older is too short to hold its "
                                             "header record. Nothing was imported."
                                          << "Import process failed." << 0;
    }
    void answers() {
        QFETCH(QString, stored);
        QFETCH(bool, goOn);
        QFETCH(std::optional<QString>, typed);
        QFETCH(QString, message);
        QFETCH(QString, status);
        QFETCH(int, imported);
        ImportFixture f;
        QByteArray before = oldKeyvaleBytes(stored, kLogOns.mid(0, 2));
        if (stored.isEmpty()) before.truncate(118);
        f.write(before);
        f.import(typed, goOn ? Answer::Yes : Answer::No, !stored.isEmpty());
        QCOMPARE(f.desktop.prompts.size(), !goOn ? 1 : stored.isEmpty() ? 2 : 2 + !message.isEmpty());
        if (!message.isEmpty()) QCOMPARE(f.desktop.last().text, message);
        QCOMPARE(f.status(), status);
        QCOMPARE(f.imported(), imported);
        QCOMPARE(f.groupExists(), imported > 0);
        QCOMPARE(fileBytes(f.oldFile()), before); // only read
    }

    // No readable old file: the beep and both texts, nothing asked. The program's own executable, which on
    // this platform may bear the file's name in the same folder, is never taken for it.
    void noOldFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("none") << "none";
        QTest::newRow("the running program") << "program";
    }
    void noOldFile() {
        QFETCH(QString, kind);
        ImportFixture f;
        if (kind == "program") QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), f.oldFile()));
        f.control<QAction>("mnuEditImport").trigger();
        QCOMPARE(f.desktop.beeps, 1);
        QCOMPARE(f.desktop.messages(), QStringList{kNotFound});
        QCOMPARE(f.desktop.last().icon, Icon::Information);
        QCOMPARE(f.status(), QStringLiteral("Keyvale could not find a Keyvale file dated version 4x or older."));
    }

    // A file cut at any length around one and two records: too short for its header it has no old password;
    // otherwise the count is its length over 119, rounded, and a last record only partly there is read with
    // blanks for what is missing (its web site, in the first 54 bytes, is whole here).
    void truncatedFiles() {
        TempAppFolder folder;
        const QByteArray whole = oldKeyvaleBytes("PW", kLogOns.mid(0, 2));
        const QList<std::pair<int, int>> lengthsAndRecords = {{0, -1},  {59, -1}, {118, -1}, {119, 0}, {178, 0},
                                                              {179, 1}, {237, 1}, {238, 1},  {297, 1}, {298, 2}};
        for (const auto& [length, records] : lengthsAndRecords) {
            QByteArray bytes = whole.left(length);
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            const OldKeyvaleFile file(buffer);
            QCOMPARE(file.hasHeader(), records >= 0);
            QCOMPARE(file.oldPassword(), QString(records >= 0 ? "PW" : ""));
            const int before = folder.scalar("SELECT count(*) FROM tblChildData").toInt();
            QCOMPARE(importOldRecords(file, *gDBConnection, kStoredNow).imported, qMax(0, records));
            for (int i = 0; i < records; ++i)
                QCOMPARE(folder.scalar("SELECT Website FROM tblChildData WHERE ChildAutoID = ?", {before + i + 1})
                             .toString(),
                         kLogOns[i].website.trimmed());
        }
    }

    // Cancelling the progress leaves the database as it was, import group included.
    void cancelledRunChangesNothing() {
        TempAppFolder folder;
        QBuffer buffer;
        buffer.setData(oldKeyvaleBytes("PW", kLogOns));
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const ImportRun run =
            importOldRecords(OldKeyvaleFile(buffer), *gDBConnection, kStoredNow, [](qint64 done) { return done < 3; });
        QVERIFY(run.cancelled);
        QCOMPARE(folder.scalar("SELECT count(*) FROM tblChildData").toInt(), 0);
        QCOMPARE(folder.scalar("SELECT count(*) FROM tblMasterData").toInt(), 0);
    }

    // Mutated and random files, with fixed seeds: the reader never reads outside the file, counts as the
    // length says, and every record it gives can be imported or is skipped; nothing fails.
    void fuzzReader() {
        TempAppFolder folder;
        gDBConnection->executeScript("PRAGMA synchronous = OFF"); // a scratch database: speed over safety
        const QByteArray valid = oldKeyvaleBytes("PW", kLogOns);
        for (quint32 seed = 1; seed <= 300; ++seed) {
            QRandomGenerator random(seed);
            QByteArray bytes = valid;
            switch (seed % 4) {
            case 0: // random garbage of any length
                bytes = QByteArray(random.bounded(900), '\0');
                for (char& c : bytes)
                    c = char(random.bounded(256));
                break;
            case 1: // flipped bytes
                for (int i = 0; i < 20; ++i)
                    bytes[random.bounded(bytes.size())] = char(random.bounded(256));
                break;
            case 2: // cut anywhere
                bytes.truncate(random.bounded(bytes.size() + 1));
                break;
            default: // garbage appended
                for (int i = random.bounded(240); i > 0; --i)
                    bytes.append(char(random.bounded(256)));
            }
            QBuffer buffer(&bytes);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            const OldKeyvaleFile file(buffer);
            QCOMPARE(file.recordCount(), int(std::nearbyint(bytes.size() / 119.0)));
            QVERIFY(file.oldPassword().size() <= 15);
            const ImportRun run = importOldRecords(file, *gDBConnection, kStoredNow);
            QVERIFY2(!run.error, qPrintable(run.error ? run.error->description() : QString()));
            QCOMPARE(run.imported + run.skipped.size(), qMax(0, file.recordCount() - 1));
            QCOMPARE(bytes.size(), buffer.size()); // only read
        }
    }
};

QTEST_MAIN(Import4xTest)
#include "tst_import4x.moc"
