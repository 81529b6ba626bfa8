#include "startup/Main.h"

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "startup/frmAdmin.h"
#include "startup/frmPassword.h"
#include "startup/frmSetup.h"
#include "startup/SingleInstance.h"
#include "access/UserFolders.h"
#include "startup/frmSplash.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/modDBstuff.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <memory>

namespace kv {

namespace {

// Errors that start-up steps past: a file that is not there, a window already gone or already shown.
bool isIgnorable(const Error& e) {
    return e.number() == 53 || e.number() == 364 || e.number() == 400;
}

// Runs one start-up step; answers false when the program must end.
template <typename Step> bool runStep(Step&& step) {
    try {
        step();
        return true;
    } catch (const Error& e) {
        if (isIgnorable(e)) return true;
        desktop().message(errorText(e, QStringLiteral("Main of Module modKeyvale")));
        desktop().endApplication();
        return false;
    }
}

} // namespace

bool Main(const std::function<void()>& showMainWindow) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BuildVersionText();
    // gAppPath is set by the program entry (it honours --app-dir); make sure it ends in a separator.
    if (gAppPath.isEmpty()) gAppPath = QCoreApplication::applicationDirPath();
    AddBackslash(gAppPath);
    gWinDir = GetWinDir();
    gHelpFile = deliveredFile(gAppPath, QStringLiteral("help/keyvale-help.html"));

    auto splash = std::make_unique<frmSplash>();
    splash->show();
    QCoreApplication::processEvents();

    // Each step below reports its own failure; the steps after it would only fail again on what it left
    // undone, so start-up ends at the first.
    bool iniRead = false;
    if (!runStep([&iniRead] { iniRead = InitializeINIfile(); }) || !iniRead) return false;
    // One instance per data folder; an installed copy's first start gets its empty database here.
    if (!claimDataFolder()) return false;
    if (!runStep([] { provideUserDatabase(QCoreApplication::applicationDirPath() + QStringLiteral("/keyvale.mdb")); }))
        return false;
    const auto end = [] {
        desktop().endApplication();
        return false;
    };
    if (!gInitializeDB()) return end();
    bool optionsRead = false;
    if (!runStep([&optionsRead] { optionsRead = GetOptions(); })) return false;
    if (!optionsRead) return end();
    bool loaded = false;
    if (!runStep([&loaded] { loaded = LoadMasterPassword(); })) return false;
    if (!loaded) return end();

    // Keep the splash up for two seconds after loading, staying responsive.
    const qint64 start = clock().tickCount();
    while (clock().tickCount() - start < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    splash.reset();
    QApplication::restoreOverrideCursor();

    bool mainShown = false;
    const auto openMainWindow = [&] {
        showMainWindow();
        mainShown = true;
    };
    if (gFirstRun) {
        // A new installation: the password rules first, then the question and the master password.
        frmAdmin().exec();
        frmSetup().exec();
        if (gSetupDone) openMainWindow();
    } else {
        GetAdminInfo();
        {
            // The log-on window is not modal; wait here until it closes, keeping the program responsive.
            frmPassword logOn;
            QEventLoop waiting;
            QObject::connect(&logOn, &QDialog::finished, &waiting, &QEventLoop::quit);
            logOn.show();
            if (logOn.isVisible()) waiting.exec();
        }
        if (gLoggedOn) {
            openMainWindow();
        } else {
            // Three failed tries: the recovery question decides.
            gSetupDone = false;
            frmSetup().exec();
            if (gSetupDone) openMainWindow();
        }
    }
    gFormOpen = false;
    return mainShown;
}

} // namespace kv
