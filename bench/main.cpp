// Scale benchmark: for every registered suite and each of its sizes, builds a database of that many
// records and measures it in a fresh process. One line per figure: "<measure> <records> <value> <unit>".
//   keyvale-bench                 every suite at its default sizes
//   keyvale-bench SUITE...        only the named suites
//   keyvale-bench --sizes 1000,10000 [SUITE...]   other sizes
//   keyvale-bench --build FOLDER RECORDS          only the database, to try or profile a program on

#include "BenchSupport.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);

    // keyvale-bench --measure SUITE FOLDER RECORDS: one size of one suite, in this process.
    if (args.size() == 4 && args[0] == QLatin1String("--measure")) {
        for (const auto& suite : kv::bench::suites())
            if (args[1] == QLatin1String(suite.name)) return suite.measure(args[2], args[3].toInt());
        return 2;
    }

    if (args.size() == 3 && args[0] == QLatin1String("--build")) {
        kv::bench::buildDatabase(args[1], args[2].toInt());
        return 0;
    }

    std::vector<int> sizes;
    if (args.size() >= 2 && args[0] == QLatin1String("--sizes")) {
        for (const QString& size : args[1].split(QLatin1Char(','), Qt::SkipEmptyParts))
            sizes.push_back(size.toInt());
        args = args.mid(2);
    }

    int failures = 0;
    for (const auto& suite : kv::bench::suites()) {
        if (!args.isEmpty() && !args.contains(QLatin1String(suite.name))) continue;
        for (const int records : sizes.empty() ? suite.sizes : sizes) {
            QTemporaryDir dir;
            if (!dir.isValid()) return 1;
            kv::bench::buildDatabase(dir.path(), records);
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QApplication::applicationFilePath(), {QStringLiteral("--measure"), QLatin1String(suite.name),
                                                              dir.path(), QString::number(records)});
            if (!child.waitForFinished(1800000) || child.exitCode() != 0) ++failures;
            std::fputs(child.readAllStandardOutput().constData(), stdout);
            std::fflush(stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}
