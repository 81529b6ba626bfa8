#pragma once

// What every benchmark of keyvale-bench shares: a desktop that answers without a window, a database built
// as a user would have it, the figures' output, and the registry of suites. A suite registers itself from
// its own file with KV_BENCH_SUITE, so adding one needs no edit elsewhere.

#include "platform/QuietDesktop.h"

#include <QString>
#include <functional>
#include <vector>

namespace kv::bench {

inline constexpr int kGroups = 50;

// Answers every prompt without a window, so that nothing waits for a user: OK, No, cancel.
class SilentDesktop final : public QuietDesktop {
public:
    Answer message(const QString& text, const QString&, Buttons buttons, Icon) override;
    QString browseForFolder(QObject*, const QString&, const QString&) override { return folderAnswer; }
    QString folderAnswer; // what the folder picker returns
    Answer yesNoAnswer = Answer::No;
};

QString groupName(int g);
// A database file `keyvale.mdb` in `folder` holding `records` records in 50 groups, with realistic field
// lengths and enciphered passwords.
void buildDatabase(const QString& folder, int records);
// The date every built record has.
inline const QString kBuiltDate = QStringLiteral("2024-05-17 14:32:08");
double peakRssMegabytes();
// Every field of every record of the open database, read once in the file's order: the floor any command
// that looks at all records stands on. The seconds it took.
double plainScanSeconds();

// The master password the benchmarks give a database that needs one.
inline const QString kBenchMaster = QStringLiteral("BENCH");
// Gives the open database the master password kBenchMaster and a recovery answer, as first-run setup would.
void giveMasterPassword();
// Turns the protection of the open database's records on or off, as the Options window and keyvale-cli do;
// the seconds it took, or a negative number when it failed. New keys are made with the key derivation's
// cost as it is set (KdfParams): the benchmarks make it cheap where only the records' conversion counts.
double setProtected(bool on);
// One figure: "<measure> <records> <value> <unit>".
void report(const char* measure, int records, double value, const char* unit);

// Opens the database in `folder` as the program does at start-up (shared paths, connection, options),
// with a silent desktop installed; the destructor closes everything again.
class OpenedDatabase {
public:
    explicit OpenedDatabase(const QString& folder);
    ~OpenedDatabase();
    SilentDesktop desktop;
};

// A suite measures one area at each of its sizes; each size runs in a fresh process of its own, on a
// fresh database of that size in `folder`. It returns 0 when every measurement ran.
struct Suite {
    const char* name;
    std::vector<int> sizes;
    std::function<int(const QString& folder, int records)> measure;
};
std::vector<Suite>& suites();
struct SuiteRegistration {
    explicit SuiteRegistration(Suite suite) { suites().push_back(std::move(suite)); }
};

} // namespace kv::bench

#define KV_BENCH_CONCAT2(a, b) a##b
#define KV_BENCH_CONCAT(a, b) KV_BENCH_CONCAT2(a, b)
#define KV_BENCH_SUITE(...) \
    static const ::kv::bench::SuiteRegistration KV_BENCH_CONCAT(kvBenchSuite, __LINE__){::kv::bench::Suite{__VA_ARGS__}}
