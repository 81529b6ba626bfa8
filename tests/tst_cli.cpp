// keyvale-cli as a user runs it: the built program on a temporary data folder, the master password on
// standard input, the database checked with the core's own reader.
#include "access/Protection.h"
#include "access/modKeyvale.h"
#include "exchange/CsvExport.h"
#include "exchange/ExportWriter.h"
#include "platform/InstanceLock.h"
#include "store/Cipher.h"
#include "store/DateText.h"
#include "store/RecordStore.h"
#include "store/Recordset.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"
#include "support/OldKeyvaleWriter.h"
#include "support/TempAppFolder.h"

#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kv;

namespace {

const QString kProgram = QStringLiteral(KEYVALE_BUILD_DIR "/keyvale-cli");
const QByteArray kMaster = "Open Sesame";

struct Result {
    int code = -1;
    QString out;
    QString err;
};

// A temporary data folder whose master password is kMaster, with the database closed again.
struct CliFolder {
    test::TempAppFolder folder;
    CliFolder() {
        gMasterPassword = QString::fromLatin1(kMaster).toUpper();
        gRecoveryQuestion = QStringLiteral("Q");
        gRecoveryAnswer = QStringLiteral("A");
        SaveMasterPassword();
        test::resetProgramState();
    }
    QString path() const { return folder.path(); }

    Result run(QStringList args, const QByteArray& input = kMaster + "\n") const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("KEYVALE_APP_DIR"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(env);
        args.replaceInStrings(QStringLiteral("%APP%"), path());
        if (!args.contains(QStringLiteral("--app-dir"))) args << QStringLiteral("--app-dir") << path();
        process.start(kProgram, args);
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000)) process.kill();
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    }

    std::vector<RecordCells> stored() const {
        auto connection = sql::Connection::open(folder.database(), kDatabasePassword);
        std::vector<RecordCells> all;
        forEachRecord(*connection, {}, [&](const RecordCells& r) {
            all.push_back(r);
            return true;
        });
        return all;
    }
};

// Protects the folder's records as the program does, with keys that open at once (see initTestCase).
void protectInPlace(const CliFolder& f) {
    QVERIFY(protectDatabase(*sql::Connection::open(f.folder.database(), kDatabasePassword),
                            QString::fromLatin1(kMaster), "Q", "A"));
}

QString listed(const RecordCells& r) {
    return QStringList{r[kGroupNameColumn], r[kWebsiteColumn], r[kUserIdColumn], r[kDescriptionColumn],
                       r[kDateChangedColumn]}
               .join(QLatin1Char('\t')) +
           QLatin1Char('\n');
}

// keyvale-cli on a terminal of its own (standard input, output and error), as a user at a shell runs it.
struct Terminal {
    explicit Terminal(const QStringList& args) {
        child = forkpty(&fd, nullptr, nullptr, nullptr);
        if (child != 0) return;
        std::vector<QByteArray> bytes{QFile::encodeName(kProgram)};
        for (const QString& a : args)
            bytes.push_back(QFile::encodeName(a));
        std::vector<char*> argv;
        for (QByteArray& b : bytes)
            argv.push_back(b.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ~Terminal() {
        if (fd >= 0) ::close(fd);
    }
    // Reads until `text` has been seen `times` times; false when the program ends or falls silent first.
    bool waitFor(const QByteArray& text, qsizetype times = 1) {
        char buffer[256];
        while (seen.count(text) < times) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 20000) != 1) return false;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) return false;
            seen.append(buffer, n);
        }
        return true;
    }
    void type(const QByteArray& text) {
        QCOMPARE(::write(fd, text.constData(), size_t(text.size())), ssize_t(text.size()));
    }
    // Reads everything the program still writes, then its exit code (-1 when it did not exit normally).
    int exitCode() {
        waitFor(QByteArray("\x01never\x01"));
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int fd = -1;
    pid_t child = -1;
    QByteArray seen;
};

} // namespace

class CliTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(kProgram), "keyvale-cli is not built");
        // The lock this test takes in place of a window listens in the user's runtime folder.
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
        // Files protected here open at once in the program too: a key's wrap keeps the cost it was made with.
        setKdfParams({1, 8192});
    }

    void addListShowSearchEditExportRemove() {
        CliFolder f;
        // A record typed on standard input, in a group made for it; another with a generated password.
        Result r = f.run({"add", "--group", "Bank", "--create-group", "--site", "www.bank.example", "--user-id", "ann",
                          "--description", "Main\taccount", "--password-prompt", "--password-stdin"},
                         kMaster + "\nhunter2\n");
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty() && r.out.isEmpty(), qPrintable(r.err));
        r = f.run({"add", "--group", "Mail", "--create-group", "--site", "mail.example", "--user-id", "bob",
                   "--generate", "--length", "8", "--letters", "--password-stdin"});
        QCOMPARE(r.code, 0);
        const QString generated = r.out.trimmed();
        QVERIFY2(QRegularExpression("^[a-y]{8}$").match(generated).hasMatch(), qPrintable(generated));

        std::vector<RecordCells> rows = f.stored();
        QCOMPARE(rows.size(), std::size_t(2));
        QCOMPARE(rows[0][kPasswordColumn], QStringLiteral("hunter2"));
        QCOMPARE(rows[1][kPasswordColumn], generated);

        // Listing and search never show a password; a tab inside a value keeps the record on one line.
        r = f.run({"ls", "--password-stdin"});
        QCOMPARE(r.code, 0);
        QString bankLine = listed(rows[0]);
        bankLine.replace(QStringLiteral("Main\taccount"), QStringLiteral("Main\\taccount"));
        QCOMPARE(r.out, bankLine + listed(rows[1]));
        r = f.run({"search", "BANK", "--match", "any", "--password-stdin"});
        QCOMPARE(r.out, bankLine);
        r = f.run({"search", "hunter", "--field", "password", "--password-stdin"});
        QCOMPARE(r.out, bankLine);
        r = f.run({"search", "hunter", "--password-stdin"});
        QCOMPARE(r.code, 4);
        QCOMPARE(r.err, QStringLiteral("keyvale-cli: Text not found!\n"));

        r = f.run({"show", "www.bank.example", "--show-password", "--password-stdin"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.endsWith(QStringLiteral("password\thunter2\n")), qPrintable(r.out));
        r = f.run({"show", "www.bank.example", "--json", "--password-stdin"});
        const QJsonObject shown = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(shown.value("user-id").toString(), QStringLiteral("ann"));
        QVERIFY(!shown.contains("password") && !r.out.contains("hunter2"));

        // A change keeps the user ID and password it replaces, and is dated.
        r = f.run({"edit", "www.bank.example", "--user-id", "ann.b", "--password-prompt", "--password-stdin"},
                  kMaster + "\nsw0rdfish\n");
        QCOMPARE(r.code, 0);
        rows = f.stored();
        QCOMPARE(rows[0][kUserIdColumn], QStringLiteral("ann.b"));
        QCOMPARE(rows[0][kPriorUserIdColumn], QStringLiteral("ann"));
        QCOMPARE(rows[0][kPasswordColumn], QStringLiteral("sw0rdfish"));
        QCOMPARE(rows[0][kPriorPasswordColumn], QStringLiteral("hunter2"));
        QCOMPARE(rows[0][kDescriptionColumn], QStringLiteral("Main\taccount"));
        QVERIFY(!rows[0][kDateChangedColumn].isEmpty());

        // The export is the window's export of every row, with the Password column only when asked for.
        QTemporaryDir out;
        const QString exported = out.filePath("all.txt"), expected = out.filePath("expected.txt");
        r = f.run({"export", "--text", "--with-passwords", "-o", exported, "--password-stdin"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.count('\n') == 1 && !r.err.contains('\r'), qPrintable(r.err)); // no progress on a pipe
        QList<QStringList> cells;
        for (const RecordCells& c : rows)
            cells.append({c[kGroupNameColumn], c[kWebsiteColumn], c[kUserIdColumn], c[kPasswordColumn],
                          c[kDescriptionColumn], displayedDate(c[kDateChangedColumn])});
        writeExport(ExportFormat::Text, expected, {},
                    {"Group Name", "Website", "User ID", "Password", "Description", "Date Changed"}, cells);
        QCOMPARE(test::fileBytes(exported), test::fileBytes(expected));
        QCOMPARE(QFile::permissions(exported) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
                 QFileDevice::Permissions());
        // The CSV export is the window's, and leaves the passwords out unless asked for.
        const QString csv = out.filePath("all.csv"), expectedCsv = out.filePath("expected.csv");
        r = f.run({"export", "--csv", "-o", csv, "--password-stdin"});
        QCOMPARE(r.code, 0);
        {
            Recordset records(sql::Connection::open(f.folder.database(), kDatabasePassword), kSelectChildData);
            QVERIFY(exportCsvRecords(records, ExportRows::All, {}, false, expectedCsv));
        }
        QCOMPARE(test::fileBytes(csv), test::fileBytes(expectedCsv));
        QVERIFY(!test::fileBytes(csv).contains("sw0rdfish"));

        r = f.run({"rm", "mail.example", "--password-stdin"});
        QCOMPARE(r.code, 0);
        r = f.run({"ls", "--json", "--password-stdin"});
        const QJsonArray left = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QCOMPARE(left.size(), 1);
        QCOMPARE(left[0].toObject().value("site").toString(), QStringLiteral("www.bank.example"));
        // The options every command takes may stand before its name too.
        r = f.run({"--app-dir", "%APP%", "--password-stdin", "groups"});
        QCOMPARE(r.out, QStringLiteral("Bank\t1\nMail\t0\n"));
    }

    // On a protected file every command reads and writes the same records as on a plain copy; turned back,
    // the file holds what the copy holds, byte for byte. The file is protected here first, with keys that open
    // at once; then the program protects and unprotects it itself, at the real cost.
    void protectedRecords() {
        CliFolder f, twin;
        QCOMPARE(f.run({"add", "--group", "Bank", "--create-group", "--site", "www.bank.example", "--user-id", "ann",
                        "--description", "Main account", "--password-prompt", "--password-stdin"},
                       kMaster + "\nhunter2\n")
                     .code,
                 0);
        QCOMPARE(f.run({"add", "--group", "Mail", "--create-group", "--site", "mail.example", "--user-id", "bob",
                        "--description", "Shared with Ann", "--password-prompt", "--password-stdin"},
                       kMaster + "\nletmein\n")
                     .code,
                 0);
        QCOMPARE(f.run({"add", "--group", "Bank", "--site", "www.card.example", "--password-stdin"}).code, 0);
        QVERIFY(test::writeFile(twin.folder.database(), test::fileBytes(f.folder.database())));
        const QString records = "select * from tblChildData order by ChildAutoID";
        const QList<QVariantList> before = twin.folder.query(records);
        protectInPlace(f);

        // Reading by user ID and by description, exporting, then changing, adding and removing.
        QTemporaryDir out;
        const QList<QPair<QStringList, QByteArray>> commands{
            {{"ls"}, kMaster + "\n"},
            {{"show", "www.bank.example", "--show-password"}, kMaster + "\n"},
            {{"search", "ann", "--match", "any"}, kMaster + "\n"},
            {{"export", "--csv", "--with-passwords", "-o", out.filePath("%NAME%.csv")}, kMaster + "\n"},
            {{"edit", "www.bank.example", "--user-id", "ann.b", "--password-prompt"}, kMaster + "\nsw0rdfish\n"},
            {{"add", "--group", "Mail", "--site", "new.example", "--user-id", "carl", "--password-prompt"},
             kMaster + "\npw3\n"},
            {{"rm", "mail.example"}, kMaster + "\n"},
        };
        for (const auto& [args, input] : commands) {
            Result results[2];
            for (int i = 0; i < 2; ++i) {
                QStringList named = args;
                named.replaceInStrings("%NAME%", i == 0 ? "protected" : "plain");
                results[i] = (i == 0 ? f : twin).run(named << "--password-stdin", input);
                results[i].err.replace(out.filePath(i == 0 ? "protected" : "plain"), "FILE");
            }
            QVERIFY2(results[0].code == 0 && results[1].code == 0, qPrintable(results[0].err + results[1].err));
            QCOMPARE(results[0].out, results[1].out);
            QCOMPARE(results[0].err, results[1].err);
        }
        QCOMPARE(test::fileBytes(out.filePath("protected.csv")), test::fileBytes(out.filePath("plain.csv")));
        QVERIFY(test::fileBytes(out.filePath("plain.csv")).contains("hunter2"));

        // The two files' records alike, stored values and all; a date stamped by a change may differ by the
        // seconds between the two commands.
        const QList<QVariantList> plain = twin.folder.query(records);
        const auto unprotect = [&] {
            const Result r = f.run({"unprotect", "--password-stdin"});
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, QStringLiteral("The records are no longer protected.\n"));
            const QList<QVariantList> unprotected = f.folder.query(records);
            QCOMPARE(unprotected.size(), plain.size());
            for (qsizetype i = 0; i < plain.size(); ++i) {
                QVariantList a = unprotected[i], b = plain[i];
                const QDateTime dateA = QDateTime::fromString(a[kDateChangedColumn].toString(), "yyyy-MM-dd HH:mm:ss");
                const QDateTime dateB = QDateTime::fromString(b[kDateChangedColumn].toString(), "yyyy-MM-dd HH:mm:ss");
                QVERIFY(dateA.isValid() && dateB.isValid());
                QVERIFY(before.contains(b) ? dateA == dateB : qAbs(dateA.secsTo(dateB)) <= 10);
                a.removeAt(kDateChangedColumn);
                b.removeAt(kDateChangedColumn);
                QCOMPARE(a, b);
            }
            const QString secrets = "select Password, Question, Answer from tblPassword";
            QCOMPARE(f.folder.query(secrets), twin.folder.query(secrets));
            QCOMPARE(f.folder.scalar("select count(*) from sqlite_master where name = 'tblKeyWrap'").toInt(), 0);
            // Rebuilt at the plain size, not left at the protected one.
            QVERIFY(QFileInfo(f.folder.database()).size() <= QFileInfo(twin.folder.database()).size());
        };
        unprotect();
        if (QTest::currentTestFailed()) return;

        Result r = f.run({"protect", "--password-stdin"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("The records are now protected.\n"));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        for (const QVariantList& row : f.folder.query("select UserID, Password, Description from tblChildData"))
            for (const QVariant& sealed : row)
                QVERIFY2(sealed.toString().startsWith("kv1:"), qPrintable(sealed.toString()));
        r = f.run({"db-info", "--json", "--password-stdin"});
        QCOMPARE(r.code, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("protected"), QJsonValue(true));
        QVERIFY2(twin.run({"db-info", "--password-stdin"}).out.contains("\nprotected\tno\n"), "plain file");
        unprotect();
    }

    // Every refusal is one clear line and a non-zero exit, and leaves the database as it was.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("line");
        const QByteArray master = kMaster + "\n";
        QTest::newRow("wrong password") << QStringList{"ls", "--password-stdin"} << QByteArray("open sesame!\n")
                                        << "" << 3 << "Invalid Password!";
        QTest::newRow("no password") << QStringList{"ls", "--password-stdin"} << QByteArray() << "" << 2
                                     << "No master password on standard input";
        QTest::newRow("window holds the lock")
            << QStringList{"rm", "www.one.example", "--password-stdin"} << master << "lock" << 5
            << "Keyvale is open on this data folder; close it or use the window";
        QTest::newRow("ambiguous site")
            << QStringList{"rm", "www.twice.example", "--password-stdin"} << master << "twice" << 5
            << "Web site 'www.twice.example' is in 2 records: 'Bank' (user ID 'a'), 'Work' (user ID 'b'); name "
               "the group with --group";
        QTest::newRow("unknown site") << QStringList{"show", "nowhere.example", "--password-stdin"} << master << ""
                                      << 4 << "No record for web site 'nowhere.example'";
        QTest::newRow("unstorable password")
            << QStringList{"edit", "www.one.example", "--password-prompt", "--password-stdin"}
            << QByteArray(kMaster + "\nsnow\xE2\x98\x83man\n") << "" << 5
            << QString("The password contains characters that Keyvale can not store (only Western European text can be "
                    "stored)");
        QTest::newRow("group not there")
            << QStringList{"add", "--group", "Nope", "--site", "x.example", "--password-stdin"} << master << "" << 4
            << "The Master Group Name does not exists. Give --create-group to create 'Nope'";
        QTest::newRow("empty group") << QStringList{"add", "--group", " ", "--site", "x.example", "--password-stdin"}
                                     << master << "" << 5 << "Please enter a Group Name!";
        QTest::newRow("not a Keyvale folder")
            << QStringList{"ls", "--app-dir", "%APP%empty", "--password-stdin"} << master << "empty" << 4
            << "No Keyvale database in %APP%empty/ (start Keyvale once, or name the folder with --app-dir)";
        QTest::newRow("damaged backup") << QStringList{"restore", "%APP%bad/keyvale.bak", "--password-stdin"} << master
                                        << "badbackup" << 5
                                        << "%APP%bad/keyvale.bak is not a sound Keyvale backup";
        QTest::newRow("short master password")
            << QStringList{"passwd", "--password-stdin"} << QByteArray(kMaster + "\nab1\nab1\n") << "rules" << 5
            << "The minimum length for a password is a length of 6";
        QTest::newRow("clipboard without a display")
            << QStringList{"show", "www.one.example", "--copy", "--password-stdin"} << master << "" << 1
            << "No display to put the password on the clipboard (DISPLAY is not set)";
        QTest::newRow("move onto another data file")
            << QStringList{"move", "%APP%other", "--password-stdin"} << master << "occupied" << 5
            << "The folder '%APP%other' already holds a Keyvale data file; give --replace to replace it with the "
               "data being moved";
        QTest::newRow("move to where it is") << QStringList{"move", "%APP%.", "--password-stdin"} << master << "" << 5
                                             << "Cannot move Keyvale data file to the same location.";
        QTest::newRow("move where a window runs")
            << QStringList{"move", "%APP%other", "--password-stdin"} << master << "otherlock" << 5
            << "Keyvale is already running with the data folder %APP%other. Close it before moving Keyvale's data "
               "there.";
        QTest::newRow("import of a file that is not CSV")
            << QStringList{"import-csv", "%APP%import.csv", "--password-stdin"} << master << "binary" << 5
            << "This is not a CSV file: it holds binary data. Nothing was imported.";
        // A file without a header line: its first record is not repeated back, password and all.
        QTest::newRow("import without a password column")
            << QStringList{"import-csv", "%APP%import.csv", "--password-stdin"} << master << "headerless" << 5
            << "The file has no column of passwords. Nothing was imported; name its columns with --map (see --help).";
        QTest::newRow("generator length") << QStringList{"generate", "--length", "16"} << QByteArray() << "" << 2
                                          << "Please select 6 to 15 characters!";
        QTest::newRow("protect twice") << QStringList{"protect", "--password-stdin"} << master << "protected" << 5
                                       << "The records are protected already; nothing was changed";
        QTest::newRow("unprotect a plain file") << QStringList{"unprotect", "--password-stdin"} << master << "" << 5
                                                << "The records are not protected; nothing was changed";
        QTest::newRow("protect with a wrong password")
            << QStringList{"protect", "--password-stdin"} << QByteArray("Open Sesame?\n") << "" << 3
            << "Invalid Password!";
        QTest::newRow("unprotect with a wrong password")
            << QStringList{"unprotect", "--password-stdin"} << QByteArray("Open Sesame?\n") << "protected" << 3
            << "Invalid Password!";
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, setUp);
        QFETCH(int, code);
        QFETCH(QString, line);
        CliFolder f;
        QCOMPARE(f.run({"add", "--group", "Bank", "--create-group", "--site", "www.one.example", "--password-stdin"}).code,
                 0);
        InstanceLock window;
        if (setUp == "lock") QCOMPARE(window.lock(f.path(), 0), InstanceLock::Outcome::Locked);
        if (setUp == "twice") {
            QCOMPARE(f.run({"add", "--group", "Bank", "--site", "www.twice.example", "--user-id", "a", "--password-stdin"}).code, 0);
            QCOMPARE(f.run({"add", "--group", "Work", "--create-group", "--site", "www.twice.example", "--user-id", "b",
                            "--password-stdin"})
                         .code,
                     0);
        }
        if (setUp == "empty") QVERIFY(QDir(f.path()).mkdir("empty"));
        if (setUp == "occupied" || setUp == "otherlock") QVERIFY(QDir(f.path()).mkdir("other"));
        if (setUp == "occupied") QVERIFY(test::writeFile(f.path() + "other/keyvale.mdb", "another installation's"));
        if (setUp == "otherlock") QCOMPARE(window.lock(f.path() + "other", 0), InstanceLock::Outcome::Locked);
        if (setUp == "badbackup") {
            QVERIFY(QDir(f.path()).mkdir("bad"));
            QByteArray damaged = test::fileBytes(f.folder.database());
            damaged.replace(1024, 4096, QByteArray(4096, '\x5a'));
            QVERIFY(test::writeFile(f.path() + "bad/keyvale.bak", damaged));
        }
        if (setUp == "binary")
            QVERIFY(test::writeFile(f.path() + "import.csv", QByteArray("name,url\0\x01\x02\n", 12)));
        if (setUp == "headerless")
            QVERIFY(test::writeFile(f.path() + "import.csv", "www.bank.example,ann," + kMaster + "\n"));
        if (setUp == "protected") protectInPlace(f);
        if (setUp == "rules") {
            auto db = sql::Connection::open(f.folder.database(), kDatabasePassword);
            db->execute("delete from tbladmin");
            db->execute("insert into tbladmin (pwdLength, AlphaNumeric) values (?, ?)",
                        {encipherField("6"), encipherField("NOS")});
        }
        // Nothing a refusal might touch changes: the database, the settings file, a folder it names.
        const QStringList touched{f.folder.database(), f.path() + "keyvale.ini", f.path() + "other/keyvale.mdb"};
        QList<QByteArray> before;
        for (const QString& file : touched)
            before << test::fileBytes(file);
        const Result r = f.run(args, input);
        QCOMPARE(r.code, code);
        line.replace("%APP%", f.path());
        QVERIFY2(r.err.startsWith("keyvale-cli: " + line), qPrintable(r.err));
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!r.err.contains(QString::fromLatin1(kMaster), Qt::CaseInsensitive));
        for (qsizetype i = 0; i < touched.size(); ++i)
            QCOMPARE(test::fileBytes(touched[i]), before[i]);
    }

    // The data goes to the new folder whole, the settings file names it, and the next command works there;
    // the old file goes unless it is to be kept.
    void move_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("occupied");
        QTest::addColumn<bool>("oldKept");
        QTest::addColumn<QString>("line");
        const QString deleted = "Moved Keyvale to the new location and deleted data from the old location.";
        QTest::newRow("old deleted") << QStringList{} << false << false << deleted;
        QTest::newRow("old kept") << QStringList{"--keep-old"} << false << true
                                  << "Moved Keyvale to the new location and kept the data in the old location for "
                                     "backup purposes.";
        QTest::newRow("other data replaced") << QStringList{"--replace"} << true << false << deleted;
    }
    void move() {
        QFETCH(QStringList, options);
        QFETCH(bool, occupied);
        QFETCH(bool, oldKept);
        QFETCH(QString, line);
        CliFolder f;
        QCOMPARE(
            f.run({"add", "--group", "Bank", "--create-group", "--site", "www.one.example", "--password-stdin"}).code,
            0);
        QTemporaryDir target;
        if (occupied) QVERIFY(test::writeFile(target.filePath("keyvale.mdb"), "another installation's"));
        const QByteArray data = test::fileBytes(f.folder.database());

        const Result r = f.run(QStringList{"move", target.path(), "--password-stdin"} + options);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, "keyvale-cli: " + line + "\n");
        QCOMPARE(readDataFolderSetting(f.path() + "keyvale.ini"), target.path() + "/");
        QCOMPARE(test::fileBytes(target.filePath("keyvale.mdb")), data);
        QCOMPARE(QFileInfo::exists(f.folder.database()), oldKept);
        QVERIFY(!QFileInfo::exists(InstanceLock::lockFile(target.path()))); // let go when the command ended

        const Result listed = f.run({"ls", "--password-stdin"});
        QCOMPARE(listed.code, 0);
        QVERIFY2(listed.out.contains("www.one.example"), qPrintable(listed.out));
    }

    // Both imports append to the records that are there, under the rules of the windows' imports.
    void imports() {
        CliFolder f, other;
        QCOMPARE(f.run({"add", "--group", "Bank", "--create-group", "--site", "www.one.example", "--password-stdin"}).code, 0);
        for (const char* site : {"www.two.example", "www.three.example"})
            QCOMPARE(other.run({"add", "--group", "Work", "--create-group", "--site", site, "--password-prompt",
                                "--password-stdin"},
                               kMaster + "\npw-" + site + "\n")
                         .code,
                     0);
        QVERIFY(QDir(f.path()).mkdir("old"));
        QVERIFY(test::writeOldKeyvaleFile(f.path() + "old/keyvale", "OLDPW", {{"old.example", "carl", "pw1"}}));

        // The other database's own master password is asked after ours; a site it lacks imports nothing.
        Result r = f.run({"import-db", other.path(), "--site", "www.nowhere.example", "--password-stdin"},
                         kMaster + "\n" + kMaster + "\n");
        QCOMPARE(r.code, 4);
        r = f.run({"import-db", other.path(), "--site", "WWW.THREE.example", "--password-stdin"}, kMaster + "\nwrong\n");
        QCOMPARE(r.code, 3);
        QCOMPARE(f.stored().size(), std::size_t(1));
        r = f.run({"import-db", other.path(), "--site", "WWW.THREE.example", "--password-stdin"},
                  kMaster + "\n" + kMaster + "\n");
        QCOMPARE(r.code, 0);
        r = f.run({"import-4x", f.path() + "old/keyvale", "--password-stdin"}, kMaster + "\noldpw\n");
        QCOMPARE(r.code, 0);

        std::vector<RecordCells> rows = f.stored();
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[1][kGroupNameColumn], QStringLiteral("IMPORTED DATA"));
        QCOMPARE(rows[1][kPasswordColumn], QStringLiteral("pw1"));
        QCOMPARE(rows[2][kWebsiteColumn], QStringLiteral("www.three.example"));
        QCOMPARE(rows[2][kPasswordColumn], QStringLiteral("pw-www.three.example"));

        // A browser's export, into a group that differs in letter case from the one there: the record already
        // stored is skipped, the other is added under the existing group, quoting undone.
        const QString browser = f.path() + "browser.csv";
        QVERIFY(test::writeFile(browser,
                                "name,url,username,password,note\r\n"
                                "One,www.one.example,,dup,\r\n"
                                "Shop,https://shop.example/login,\"carl, jr\",\"s3\"\"cret\",\"two\nlines\"\r\n"));
        r = f.run({"import-csv", browser, "--group", "BANK", "--password-stdin"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QStringLiteral("keyvale-cli: Keyvale successfully imported 1 record.\n"
                                       "keyvale-cli: 1 record was already in Keyvale (same group, web site and user "
                                       "ID) and skipped.\n"));
        // The same file by title into the default group; then columns a file names its own way, chosen by
        // name and by number.
        QCOMPARE(f.run({"import-csv", browser, "--title-as-site", "--password-stdin"}).code, 0);
        const QString own = f.path() + "own.csv";
        QVERIFY(test::writeFile(own, "Site;Login;Secret\nmap.example;dan;pw9\n"));
        QCOMPARE(f.run({"import-csv", own, "--password-stdin"}).code, 5);
        r = f.run({"import-csv", own, "--map", "url=site,user-id=2", "--map", "password=SECRET", "--password-stdin"});
        QCOMPARE(r.code, 0);

        qint64 lastBefore = 0;
        for (const RecordCells& c : rows)
            lastBefore = qMax(lastBefore, c[kChildAutoIdColumn].toLongLong());
        QList<QStringList> imported;
        for (const RecordCells& c : f.stored())
            if (c[kChildAutoIdColumn].toLongLong() > lastBefore)
                imported.append({c[kGroupNameColumn], c[kWebsiteColumn], c[kUserIdColumn], c[kPasswordColumn],
                                 c[kDescriptionColumn]});
        std::sort(imported.begin(), imported.end());
        const QList<QStringList> expected{
            {"Bank", "https://shop.example/login", "carl, jr", "s3\"cret", "two\nlines"},
            {"Imported", "One", "", "dup", ""},
            {"Imported", "Shop", "carl, jr", "s3\"cret", "two\nlines"},
            {"Imported", "map.example", "dan", "pw9", ""},
        };
        QCOMPARE(imported, expected);
    }

    // On a terminal the master password is asked three times without echo, then the command gives up.
    void threeWrongPasswordsOnATerminal() {
        CliFolder f;
        Terminal t({"ls", "--app-dir", f.path()});
        for (int attempt = 1; attempt <= 3; ++attempt) {
            QVERIFY2(t.waitFor("Enter Password: ", attempt), t.seen.constData());
            t.type("not it\n");
        }
        QCOMPARE(t.exitCode(), 3);
        QVERIFY2(!t.seen.contains("not it"), t.seen.constData()); // never echoed
        QCOMPARE(t.seen.count("Invalid Password!"), 3);
    }

    // A long command shows how far it has got on a terminal, and wipes the line when done; on a pipe (every
    // other test) standard error carries only the outcome.
    void progressOnATerminal() {
        CliFolder f;
        QCOMPARE(
            f.run({"add", "--group", "Bank", "--create-group", "--site", "www.one.example", "--password-stdin"}).code,
            0);
        QTemporaryDir out;
        Terminal t({"export", "--text", "-o", out.filePath("all.txt"), "--app-dir", f.path()});
        QVERIFY2(t.waitFor("Enter Password: "), t.seen.constData());
        t.type(kMaster + "\n");
        QCOMPARE(t.exitCode(), 0);
        QVERIFY2(t.seen.contains("\rkeyvale-cli: Exporting... 100%\r"), t.seen.constData());
        QVERIFY2(t.seen.endsWith("keyvale-cli: 1 record exported to " + QFile::encodeName(out.filePath("all.txt")) +
                                 "\r\n"),
                 t.seen.constData());
    }

private:
    QTemporaryDir runtime_;
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
