// CSV files: the reader over tricky input, the import of each layout other programs write, the export and
// its way back in, and the files and faults that must leave the database as it was.
#include "exchange/CsvExport.h"
#include "exchange/CsvImport.h"
#include "exchange/CsvReader.h"
#include "store/Cipher.h"
#include "store/Recordset.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"
#include "support/TempAppFolder.h"

#include <QBuffer>
#include <QTest>

using namespace kv;
using namespace kv::test;

using Records = QList<QStringList>;
Q_DECLARE_METATYPE(Records)

namespace {

const QString kNow = QStringLiteral("2026-03-14 09:26:53");

Records readAll(const QByteArray& bytes, QList<qint64>* lines = nullptr, QList<int>* bad = nullptr,
                qint64 limit = CsvReader::kMaxRecordBytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    CsvReader reader(buffer, limit);
    Records out;
    CsvRecord r;
    while (reader.next(r)) {
        if (lines) lines->append(r.line);
        if (bad && r.badText) bad->append(int(out.size()));
        out.append(r.fields);
    }
    return out;
}

QString csvFile(const TempAppFolder& folder, const QByteArray& bytes) {
    const QString path = folder.file(QStringLiteral("in.csv"));
    writeFile(path, bytes);
    return path;
}

// The records as stored: group, web site, user ID, password (deciphered), description, date; in the order
// they were added.
Records storedRecords(const TempAppFolder& folder) {
    Records out;
    for (const QVariantList& row :
         folder.query(QStringLiteral("SELECT GroupName, Website, UserID, Password, Description, DateChanged FROM "
                                     "tblChildData ORDER BY ChildAutoID")))
        out.append({row[0].toString(), row[1].toString(), row[2].toString(), decipherField(row[3].toString()),
                    row[4].toString(), row[5].toString()});
    return out;
}

QStringList storedGroups(const TempAppFolder& folder) {
    QStringList out;
    for (const QVariantList& row : folder.query(QStringLiteral("SELECT GroupName FROM tblMasterData ORDER BY 1")))
        out.append(row[0].toString());
    return out;
}

void addRecord(const TempAppFolder& folder, const QStringList& r) {
    if (!storedGroups(folder).contains(r[0]))
        folder.execute(QStringLiteral("INSERT INTO tblMasterData VALUES (?)"), {r[0]});
    folder.execute(QStringLiteral("INSERT INTO tblChildData (GroupName, Website, UserID, Password, Description, "
                                  "DateChanged) VALUES (?,?,?,?,?,?)"),
                   {r[0], r[1], r[2], encipherField(r[3]), r[4], r[5]});
}

CsvImport importBytes(const TempAppFolder& folder, const QByteArray& bytes, const CsvImportOptions& options = {},
                      const ImportProgress& progress = {}) {
    return importCsvFile(csvFile(folder, bytes), *gDBConnection, options, kNow, progress);
}

QByteArray exportAll() {
    gRsChildData->requery();
    const QString path = QDir::tempPath() + QStringLiteral("/keyvale-csv-test-export.csv");
    exportCsvRecords(*gRsChildData, ExportRows::All, {}, true, path);
    const QByteArray bytes = fileBytes(path);
    QFile::remove(path);
    return bytes;
}

} // namespace

class CsvTest : public QObject {
    Q_OBJECT
private slots:
    void readsTrickyCsv_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Records>("records");
        QTest::addColumn<QList<qint64>>("lines");
        QTest::addColumn<QList<int>>("bad");
        QTest::newRow("plain, no line end at the end")
            << QByteArray("a,b\n1,2") << Records{{"a", "b"}, {"1", "2"}} << QList<qint64>{1, 2} << QList<int>{};
        QTest::newRow("quotes doubled, separators quoted")
            << QByteArray("\"x,y\",\"say \"\"hi\"\"\",\"\"\n") << Records{{"x,y", "say \"hi\"", ""}} << QList<qint64>{1}
            << QList<int>{};
        QTest::newRow("line breaks inside quotes kept, CRLF between records")
            << QByteArray("\"l1\r\nl2\nl3\",b\r\nc,d\r\n") << Records{{"l1\r\nl2\nl3", "b"}, {"c", "d"}}
            << QList<qint64>{1, 4} << QList<int>{};
        QTest::newRow("byte order mark, semicolons")
            << QByteArray("\xEF\xBB\xBFname;pw\n1;\"2;3\"\n") << Records{{"name", "pw"}, {"1", "2;3"}}
            << QList<qint64>{1, 2} << QList<int>{};
        QTest::newRow("quoted commas do not choose the separator")
            << QByteArray("\"a,b,c\";d\n") << Records{{"a,b,c", "d"}} << QList<qint64>{1} << QList<int>{};
        QTest::newRow("tabs") << QByteArray("a\tb\n1\t\"2\t3\"\n") << Records{{"a", "b"}, {"1", "2\t3"}}
                              << QList<qint64>{1, 2} << QList<int>{};
        QTest::newRow("empty fields kept")
            << QByteArray("a,,\n,,\n") << Records{{"a", "", ""}, {"", "", ""}} << QList<qint64>{1, 2} << QList<int>{};
        QTest::newRow("blank lines passed over, numbers kept")
            << QByteArray("a\n\n\r\nb\n") << Records{{"a"}, {"b"}} << QList<qint64>{1, 4} << QList<int>{};
        QTest::newRow("ragged rows as they stand")
            << QByteArray("a,b,c\n1\n1,2,3,4\n") << Records{{"a", "b", "c"}, {"1"}, {"1", "2", "3", "4"}}
            << QList<qint64>{1, 2, 3} << QList<int>{};
        QTest::newRow("CR alone ends lines")
            << QByteArray("a,b\r1,2\r") << Records{{"a", "b"}, {"1", "2"}} << QList<qint64>{1, 2} << QList<int>{};
        QTest::newRow("stray quotes kept as text")
            << QByteArray("ab\"c,\"de\"f, \"g\"\n") << Records{{"ab\"c", "def", " \"g\""}} << QList<qint64>{1}
            << QList<int>{};
        QTest::newRow("UTF-8 text, invalid UTF-8 marked")
            << QByteArray("caf\xC3\xA9,\xE2\x82\xAC\nbad\xE9,ok\n")
            << Records{{QStringLiteral("caf\u00e9"), QStringLiteral("\u20ac")}, {QStringLiteral("bad\ufffd"), "ok"}}
            << QList<qint64>{1, 2} << QList<int>{1};
    }
    void readsTrickyCsv() {
        QFETCH(QByteArray, bytes);
        QFETCH(Records, records);
        QFETCH(QList<qint64>, lines);
        QFETCH(QList<int>, bad);
        QList<qint64> readLines;
        QList<int> readBad;
        QCOMPARE(readAll(bytes, &readLines, &readBad), records);
        QCOMPARE(readLines, lines);
        QCOMPARE(readBad, bad);
    }

    // Records, quotes and CRLF pairs that straddle the reader's chunks come out whole.
    void readsAcrossChunks() {
        QByteArray bytes;
        Records expected;
        for (int i = 0; i < 20000; ++i) {
            const QString text = QStringLiteral("row %1 \"q\"\r\nnext").arg(i);
            bytes += "x" + QByteArray::number(i) + ",\"row " + QByteArray::number(i) + " \"\"q\"\"\r\nnext\"\r\n";
            expected.append({QStringLiteral("x%1").arg(i), text});
        }
        QList<qint64> lines;
        QCOMPARE(readAll(bytes, &lines), expected);
        QCOMPARE(lines.last(), 2 * 19999 + 1);
    }

    void refusesWhatIsNotCsv_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("message");
        QTest::newRow("quote never closed") << QByteArray("a,b\n1,\"2\n3,4\n") << CsvReader::kMaxRecordBytes
                                            << "The quote that opens on line 2 is never closed.";
        QTest::newRow("binary") << QByteArray("PK\x03\x04\x00\x01", 6) << CsvReader::kMaxRecordBytes
                                << "This is not a CSV file: it holds binary data.";
        QTest::newRow("record past the limit")
            << QByteArray("a\n") + QByteArray(3 * 1024 * 1024, 'x') + "\n"
            << CsvReader::kMaxRecordBytes
            << "The record that begins on line 2 is longer than 1 MB. A quote that is never closed can cause this.";
        QTest::newRow("open quote swallowing the file")
            << QByteArray("a\n\"") + QByteArray(2 * 1024 * 1024, '\n') << qint64(1024 * 1024)
            << "The record that begins on line 2 is longer than 1 MB. A quote that is never closed can cause this.";
    }
    void refusesWhatIsNotCsv() {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, limit);
        QFETCH(QString, message);
        try {
            readAll(bytes, nullptr, nullptr, limit);
            QFAIL("read without complaint");
        } catch (const CsvError& e) {
            QCOMPARE(e.message(), message);
        }
    }

    // Each layout, written by hand as the program that writes it does, lands in the fields it should; an
    // existing group takes records whose group differs only in letter case.
    void importsEachLayout_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<Records>("stored");
        QTest::newRow("Keyvale") << QByteArray("Group,Web Site,User ID,Password,Description,Date Changed\r\n"
                                               "BANK,bank.example,joe,\"p,w\",\"two\r\nlines\",2021-05-06 07:08:09\r\n"
                                               "Mail,mail.example,,,,\r\n")
                                 << "Keyvale"
                                 << Records{
                                        {"Bank", "bank.example", "joe", "p,w", "two\r\nlines", "2021-05-06 07:08:09"},
                                        {"Mail", "mail.example", "", "", "", kNow}};
        QTest::newRow("desktop manager")
            << QByteArray("\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\"\n"
                          "\"Root/Web\",\"Shop\",\"ann\",\"s\"\"ecret\",\"https://shop.example/\",\"note\"\n"
                          "\"bank\",\"Savings\",\"ann\",\"x\",\"\",\"\"\n")
            << "Desktop password manager"
            << Records{{"Root/Web", "https://shop.example/", "ann", "s\"ecret", "note", kNow},
                       {"Bank", "Savings", "ann", "x", "", kNow}};
        QTest::newRow("desktop manager, older")
            << QByteArray("\"Account\",\"Login Name\",\"Password\",\"Web Site\",\"Comments\"\n"
                          "\"Forum\",\"bob\",\"pw\",\"forum.example\",\"old\"\n")
            << "Desktop password manager (older)" << Records{{"Imported", "forum.example", "bob", "pw", "old", kNow}};
        QTest::newRow("browser") << QByteArray("name,url,username,password,note\n"
                                               "site.example,https://site.example/login,cy,pw1,\n")
                                 << "Browser"
                                 << Records{{"Imported", "https://site.example/login", "cy", "pw1", "", kNow}};
        QTest::newRow("browser with realm")
            << QByteArray(
                   "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\","
                   "\"timeCreated\",\"timeLastUsed\",\"timePasswordChanged\"\r\n"
                   "\"https://a.example\",\"dee\",\"p\u00e4ss\",,\"https://a.example\",\"{1}\",\"1\",\"2\",\"3\"\r\n")
            << "Browser with HTTP realm"
            << Records{{"Imported", "https://a.example", "dee", QStringLiteral("p\u00e4ss"), "", kNow}};
        QTest::newRow("cloud manager")
            << QByteArray("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
                          "login_totp\n"
                          "Work,1,login,Wiki,\"a, b\",,0,https://wiki.example,eve,pw2,\n"
                          ",,login,Blog,,,0,,eve,pw3,\n")
            << "Cloud password manager"
            << Records{{"Work", "https://wiki.example", "eve", "pw2", "a, b", kNow},
                       {"Imported", "Blog", "eve", "pw3", "", kNow}};
        QTest::newRow("cloud manager with grouping")
            << QByteArray("url,username,password,totp,extra,name,grouping,fav\n"
                          "http://sn,,,,secure note,Note,Notes,0\n"
                          "https://m.example,fay,pw4,,,Mail,Email,1\n")
            << "Cloud password manager (grouping)"
            << Records{{"Notes", "http://sn", "", "", "secure note", kNow},
                       {"Email", "https://m.example", "fay", "pw4", "", kNow}};
    }
    void importsEachLayout() {
        TempAppFolder folder;
        folder.execute(QStringLiteral("INSERT INTO tblMasterData VALUES ('Bank')"));
        QFETCH(QByteArray, bytes);
        QFETCH(QString, layout);
        QCOMPARE(previewCsv(csvFile(folder, bytes)).recognised.layout, layout);
        const CsvImport run = importBytes(folder, bytes);
        QVERIFY(!run.error && !run.cancelled);
        QFETCH(Records, stored);
        QCOMPARE(run.imported, stored.size());
        QCOMPARE(storedRecords(folder), stored);
        QVERIFY(!storedGroups(folder).contains(QStringLiteral("BANK")));
        QVERIFY(!storedGroups(folder).contains(QStringLiteral("bank")));
    }

    // Records already there are skipped or added as the user says, and counted; empty lines and text the
    // field cipher cannot keep are passed over and named.
    void reportsDuplicatesAndSkips_data() {
        QTest::addColumn<bool>("add");
        QTest::addColumn<int>("imported");
        QTest::addColumn<QString>("summary");
        QTest::newRow("skip")
            << false << 3
            << "Keyvale successfully imported 3 records.\n1 record was already in Keyvale (same group, "
               "web site and user ID) and skipped.\n1 line was with nothing to import passed over.\n"
               "2 records were not imported, because Keyvale can not store their text unchanged "
               "(line numbers 5, 7).";
        QTest::newRow("add")
            << true << 4
            << "Keyvale successfully imported 4 records.\n1 record was already in Keyvale (same group, "
               "web site and user ID) and added again.\n1 line was with nothing to import passed over.\n"
               "2 records were not imported, because Keyvale can not store their text unchanged "
               "(line numbers 5, 7).";
    }
    void reportsDuplicatesAndSkips() {
        TempAppFolder folder;
        addRecord(folder, {"Mail", "m.example", "me", "old", "", "2020-01-01 00:00:00"});
        QFETCH(bool, add);
        QFETCH(int, imported);
        QFETCH(QString, summary);
        CsvImportOptions options;
        options.addDuplicates = add;
        const CsvImport run = importBytes(folder,
                                          "group,url,username,password\n"
                                          "mail,m.example,me,new\n"          // already there
                                          "Mail,m.example,you,new\n"         // another user
                                          ",,,\n"                            // nothing in it
                                          "Mail,z.example,me,\xE4\xB8\xAD\n" // a password the cipher cannot keep
                                          "Mail,t.example,me,a\n"
                                          "Mail,u.example,me,b\xFF\n" // not UTF-8
                                          "Mail,t.example,me,a\n",    // the file's own twin is not a duplicate
                                          options);
        QCOMPARE(run.imported, imported);
        QCOMPARE(csvImportSummary(run, options.addDuplicates), summary);
        QCOMPARE(folder.scalar(QStringLiteral("SELECT count(*) FROM tblChildData WHERE Website = 't.example'")).toInt(),
                 2);
    }

    // What Keyvale writes reads back into the same records, and writing those again gives the same bytes.
    void exportImportRoundTrip() {
        TempAppFolder source;
        const Records records{
            {"Bank", "bank.example", "joe", "p,w\"x", "line 1\r\nline 2", "2021-05-06 07:08:09"},
            {"Bank", "bank.example", "joe", "twin", "", "2021-05-06 07:08:10"},
            {QStringLiteral("Caf\u00e9"), QStringLiteral("\u20ac.example"), " padded ", "", ";semi",
             "2022-01-01 00:00:00"},
            {"Mail", "", "", QStringLiteral("\u00e9t\u00e9"), "\"quoted\"", "2023-02-03 04:05:06"},
        };
        for (const QStringList& r : records)
            addRecord(source, r);
        const QByteArray written = exportAll();
        QVERIFY(written.startsWith("Group,Web Site,User ID,Password,Description,Date Changed\r\n"
                                   "Bank,bank.example,joe,\"p,w\"\"x\",\"line 1\r\nline 2\",2021-05-06 07:08:09\r\n"));
        const QString path = QDir::tempPath() + QStringLiteral("/keyvale-csv-round-trip.csv");
        QVERIFY(writeFile(path, written));

        TempAppFolder target;
        const CsvImport run = importCsvFile(path, *gDBConnection, {}, kNow);
        QFile::remove(path);
        QCOMPARE(run.imported, records.size());
        QCOMPARE(storedRecords(target), records);
        QCOMPARE(exportAll(), written);
    }

    // Refusals and faults leave the records and groups as they were.
    void failuresChangeNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("cancelAfter"); // rows; -1: never
        QTest::addColumn<QString>("refusal"); // empty: the run reports an error or a cancel
        const QByteArray good = "group,url,username,password\nNew,a.example,u,p\nNew,boom.example,u,p\n";
        QTest::newRow("not CSV") << QByteArray("\x7F"
                                               "ELF\x02\x01\x00\x00",
                                               8)
                                 << -1 << "This is not a CSV file: it holds binary data.";
        QTest::newRow("empty") << QByteArray("\r\n\n") << -1 << "The file is empty.";
        QTest::newRow("no password column")
            << QByteArray("group,url,username\nNew,a.example,u\n") << -1 << "The file has no column of passwords.";
        QTest::newRow("quote never closed, after good rows")
            << QByteArray("group,url,username,password\nNew,a.example,u,p\nNew,\"b,u,p\n") << -1
            << "The quote that opens on line 3 is never closed.";
        QTest::newRow("cancelled") << good << 1 << QString();
        QTest::newRow("write fails part-way") << good << -1 << QString();
    }
    void failuresChangeNothing() {
        TempAppFolder folder;
        addRecord(folder, {"Old", "old.example", "me", "pw", "", "2020-01-01 00:00:00"});
        // The file refuses the second new record, as a full disk would.
        folder.execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tblChildData WHEN "
                                      "NEW.Website = 'boom.example' BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        const Records records = storedRecords(folder);
        const QStringList groups = storedGroups(folder);
        QFETCH(QByteArray, bytes);
        QFETCH(int, cancelAfter);
        QFETCH(QString, refusal);
        qint64 asked = 0;
        try {
            const CsvImport run =
                importBytes(folder, bytes, {}, [&](qint64) { return cancelAfter < 0 || ++asked <= cancelAfter; });
            QVERIFY(refusal.isEmpty());
            QCOMPARE(run.cancelled, cancelAfter >= 0);
            QCOMPARE(run.error.has_value(), cancelAfter < 0);
            QCOMPARE(run.imported, 0);
        } catch (const CsvError& e) {
            QCOMPARE(e.message(), refusal);
        }
        QCOMPARE(storedRecords(folder), records);
        QCOMPARE(storedGroups(folder), groups);
    }
};

QTEST_GUILESS_MAIN(CsvTest)
#include "tst_csv.moc"
