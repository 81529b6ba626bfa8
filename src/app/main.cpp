#include "mainwindow/SessionLock.h"
#include "mainwindow/frmMain.h"
#include "platform/Artwork.h"
#include "platform/QtDesktop.h"
#include "startup/Main.h"
#include "access/UserFolders.h"
#include "access/modKeyvale.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keyvale"));
    QApplication::setWindowIcon(kv::appIcon());
    // The installed desktop entry, so that the desktop pairs the running windows with it.
    QGuiApplication::setDesktopFileName(QStringLiteral("keyvale"));
    // The main window ends the program itself; a log-on window closing while the main window is hidden
    // must not.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Keyvale password manager"));
    parser.addHelpOption();
    QCommandLineOption appDir(QStringLiteral("app-dir"),
                              QStringLiteral("Use DIR as the program folder (settings file, database, exports)."),
                              QStringLiteral("DIR"));
    parser.addOption(appDir);
    parser.process(app);

    QString folder = parser.value(appDir);
    if (folder.isEmpty()) folder = qEnvironmentVariable("KEYVALE_APP_DIR");
    kv::useProgramFolders(folder, QCoreApplication::applicationDirPath());

    kv::QtDesktop desktop;
    kv::setDesktop(&desktop);

    // The main window lives until the program ends; it ends the program itself when it closes.
    const bool running = kv::Main([] {
        auto* window = new kv::frmMain;
        kv::lockWithSession(window, QDBusConnection::sessionBus(), QDBusConnection::systemBus());
        window->show();
    });
    if (!running) return 0;
    return QApplication::exec();
}
