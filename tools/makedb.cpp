// Writes the delivered, empty database to the path given, unless a file is already there.
#include "platform/Error.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: keyvale-makedb DATABASE\n", stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo::exists(path)) return 0;
    try {
        kv::createDeliveredDatabase(path);
    } catch (const kv::Error& e) {
        std::fprintf(stderr, "keyvale-makedb: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
