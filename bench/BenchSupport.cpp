#include "BenchSupport.h"

#include "access/modKeyvale.h"
#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/Options.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdio>
#include <sys/resource.h>

namespace kv::bench {

Answer SilentDesktop::message(const QString& text, const QString&, Buttons buttons, Icon) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return buttons == Buttons::Ok ? Answer::Ok : yesNoAnswer;
}

QString groupName(int g) {
    static const char* const kinds[] = {"Banking", "Shopping", "Work",      "Travel",    "Email",
                                        "Forums",  "Games",    "Utilities", "Insurance", "Health"};
    return QStringLiteral("%1 %2").arg(QLatin1String(kinds[g % 10])).arg(g / 10 + 1);
}

namespace {
QString randomText(QRandomGenerator& random, int minLength, int maxLength) {
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    const int length = minLength + int(random.bounded(maxLength - minLength + 1));
    QString out;
    out.reserve(length);
    for (int i = 0; i < length; ++i)
        out += letters[int(random.bounded(letters.size()))];
    return out;
}
} // namespace

void buildDatabase(const QString& folder, int records) {
    const QString path = databaseFile(folder);
    createDeliveredDatabase(path);
    auto db = sql::Connection::open(path, kDatabasePassword);
    sql::Transaction transaction(*db);
    for (int g = 0; g < kGroups; ++g)
        db->execute(QStringLiteral("INSERT INTO tblMasterData VALUES (?)"), {groupName(g)});
    QRandomGenerator random(20240102);
    sql::Statement insert(*db, QStringLiteral("INSERT INTO tblChildData (GroupName, Website, UserID, Password, "
                                              "Description, DateChanged, PriorUserID, PriorPassword) "
                                              "VALUES (?,?,?,?,?,?,?,?)"));
    for (int r = 0; r < records; ++r) {
        insert.reset();
        insert.bindAll({groupName(int(random.bounded(kGroups))),
                        QStringLiteral("www.") + randomText(random, 6, 18) + QStringLiteral(".example.com"),
                        randomText(random, 5, 14), encipherField(randomText(random, 8, 16)), randomText(random, 10, 60),
                        kBuiltDate, randomText(random, 5, 14), encipherField(randomText(random, 8, 16))});
        insert.step();
    }
    transaction.commit();
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

double plainScanSeconds() {
    QElapsedTimer timer;
    timer.start();
    sql::Statement all(*gDBConnection, QStringLiteral("SELECT * FROM tblChildData"));
    qint64 characters = 0;
    while (all.step())
        for (int c = 0; c < all.columnCount(); ++c)
            characters += all.column(c).toString().size();
    return characters > 0 ? timer.nsecsElapsed() / 1e9 : 0.0;
}

void giveMasterPassword() {
    gMasterPassword = kBenchMaster;
    gRecoveryQuestion = QStringLiteral("What was the name of your first pet?");
    gRecoveryAnswer = QStringLiteral("REX");
    SaveMasterPassword();
}

double setProtected(bool on) {
    QElapsedTimer timer;
    timer.start();
    try {
        if (SetDatabaseProtected(on, kBenchMaster) == ProtectionChange::Changed) return timer.nsecsElapsed() / 1e9;
        std::fprintf(stderr, "the master password was refused\n");
    } catch (const Error& e) {
        std::fprintf(stderr, "the records were not converted: %s\n", qPrintable(e.description()));
    }
    return -1;
}

void report(const char* measure, int records, double value, const char* unit) {
    std::printf("%s %d %.4f %s\n", measure, records, value, unit);
    std::fflush(stdout);
}

OpenedDatabase::OpenedDatabase(const QString& folder) {
    setDesktop(&desktop);
    gAppPath = folder;
    AddBackslash(gAppPath);
    gDataFolder = gAppPath;
    gInitializeDB();
    GetOptions();
}

OpenedDatabase::~OpenedDatabase() {
    gRsChildData.reset();
    gRsMasterData.reset();
    gRsOptions.reset();
    gDBConnection.reset();
    setDesktop(nullptr);
}

std::vector<Suite>& suites() {
    static std::vector<Suite> all;
    return all;
}

} // namespace kv::bench
