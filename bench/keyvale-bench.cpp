// keyvale_gui
// Scale benchmark of the main window: builds databases of 1,000, 10,000 and 100,000 records and measures,
// each size in a fresh process of its own, how long the main window takes to show its first page, to
// scroll to the last record and to switch to one group, and the process's peak memory. One line per
// figure: "<measure> <records> <value> <unit>".

#include "mainwindow/RecordsGrid.h"
#include "mainwindow/frmMain.h"
#include "platform/Desktop.h"
#include "startup/modKeyvale.h"
#include "store/Cipher.h"
#include "store/Options.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "store/modDBstuff.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kGroups = 50;
const int kSizes[] = {1000, 10000, 100000};

// Answers every prompt without a window, so that nothing waits for a user.
class SilentDesktop final : public kv::Desktop {
public:
    kv::Answer message(const QString& text, const QString&, kv::Buttons buttons, kv::Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return buttons == kv::Buttons::Ok ? kv::Answer::Ok : kv::Answer::No;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override { return std::nullopt; }
    QString browseForFolder(QObject*, const QString&, const QString&) override { return {}; }
    bool openUrl(const QString&) override { return false; }
    bool openFolder(const QString&) override { return false; }
    bool startDetached(const QString&, const QStringList&) override { return false; }
    void playSound(const QString&, bool) override {}
    void playTune(const QString&) override {}
    void stopTune() override {}
    void beep() override {}
    void setClipboardText(const QString&) override {}
    void endApplication() override {}
};

QString groupName(int g) {
    static const char* const kinds[] = {"Banking", "Shopping", "Work",      "Travel",    "Email",
                                        "Forums",  "Games",    "Utilities", "Insurance", "Health"};
    return QStringLiteral("%1 %2").arg(QLatin1String(kinds[g % 10])).arg(g / 10 + 1);
}

QString randomText(QRandomGenerator& random, int minLength, int maxLength) {
    static const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    const int length = minLength + int(random.bounded(maxLength - minLength + 1));
    QString out;
    out.reserve(length);
    for (int i = 0; i < length; ++i)
        out += letters[int(random.bounded(letters.size()))];
    return out;
}

// A database as a user with `records` records in 50 groups would have it: realistic field lengths and
// enciphered passwords.
void buildDatabase(const QString& folder, int records) {
    const QString path = kv::databaseFile(folder);
    kv::createDeliveredDatabase(path);
    auto db = kv::sql::Connection::open(path, kv::kDatabasePassword);
    kv::sql::Transaction transaction(*db);
    for (int g = 0; g < kGroups; ++g)
        db->execute(QStringLiteral("INSERT INTO tblMasterData VALUES (?)"), {groupName(g)});
    QRandomGenerator random(20240102);
    kv::sql::Statement insert(*db, QStringLiteral("INSERT INTO tblChildData (GroupName, Website, UserID, Password, "
                                                  "Description, DateChanged, PriorUserID, PriorPassword) "
                                                  "VALUES (?,?,?,?,?,?,?,?)"));
    for (int r = 0; r < records; ++r) {
        insert.reset();
        insert.bindAll({groupName(int(random.bounded(kGroups))),
                        QStringLiteral("www.") + randomText(random, 6, 18) + QStringLiteral(".example.com"),
                        randomText(random, 5, 14), kv::encipherField(randomText(random, 8, 16)),
                        randomText(random, 10, 60), QStringLiteral("2024-05-17 14:32:08"), randomText(random, 5, 14),
                        kv::encipherField(randomText(random, 8, 16))});
        insert.step();
    }
    transaction.commit();
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

void report(const char* measure, int records, double value, const char* unit) {
    std::printf("%s %d %.4f %s\n", measure, records, value, unit);
    std::fflush(stdout);
}

// Shows the rows on screen now, reading whatever they need.
void paint(kv::frmMain& form) {
    QApplication::processEvents();
    form.grid()->view()->viewport()->repaint();
}

// The measurements of one size, in this process.
int measure(const QString& folder, int records) {
    SilentDesktop desktop;
    kv::setDesktop(&desktop);
    kv::gAppPath = folder;
    kv::AddBackslash(kv::gAppPath);
    kv::gDataFolder = kv::gAppPath;

    QElapsedTimer timer;
    timer.start();
    kv::gInitializeDB();
    kv::GetOptions();
    auto form = std::make_unique<kv::frmMain>();
    form->show();
    paint(*form);
    report("open_first_page", records, timer.nsecsElapsed() / 1e9, "s");
    if (form->grid()->rowCount() != records) {
        std::fprintf(stderr, "the grid shows %d rows, not %d\n", form->grid()->rowCount(), records);
        return 1;
    }

    QTableView* view = form->grid()->view();
    view->setFocus();
    timer.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(view, &end);
    paint(*form);
    report("scroll_to_end", records, timer.nsecsElapsed() / 1e9, "s");

    QComboBox* combo = form->groupCombo();
    const int index = combo->findText(groupName(kGroups / 2));
    timer.restart();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    paint(*form);
    report("group_switch", records, timer.nsecsElapsed() / 1e9, "s");

    timer.restart();
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    paint(*form);
    report("group_switch_all", records, timer.nsecsElapsed() / 1e9, "s");

    report("peak_rss", records, peakRssMegabytes(), "MB");
    form.reset();
    kv::gRsChildData.reset();
    kv::gRsMasterData.reset();
    kv::gRsOptions.reset();
    kv::gDBConnection.reset();
    kv::setDesktop(nullptr);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();

    // keyvale-bench --measure FOLDER RECORDS: one size, in this process.
    if (args.size() == 4 && args[1] == QLatin1String("--measure")) return measure(args[2], args[3].toInt());

    int failures = 0;
    for (const int records : kSizes) {
        QTemporaryDir dir;
        if (!dir.isValid()) return 1;
        buildDatabase(dir.path(), records);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QApplication::applicationFilePath(),
                    {QStringLiteral("--measure"), dir.path(), QString::number(records)});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) ++failures;
        std::fputs(child.readAllStandardOutput().constData(), stdout);
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
