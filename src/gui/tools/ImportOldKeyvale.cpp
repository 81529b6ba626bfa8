#include "tools/ImportOldKeyvale.h"

#include "exchange/ImportRun.h"
#include "exchange/OldKeyvaleFile.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "access/modKeyvale.h"
#include "store/DateText.h"
#include "store/modDBstuff.h"

#include <QFile>
#include <QProgressDialog>
#include <QStringList>

namespace kv {

namespace {

const QString kProcedure = QStringLiteral("ImportOldKeyvale of Module modKeyvale");

void information(const QString& text) {
    desktop().message(text, {}, Buttons::Ok, Icon::Information);
}

} // namespace

void ImportOldKeyvale(QWidget* owner, const ImportLink& link) {
    const QString path = oldKeyvaleFile(gDataFolder);
    if (path.isEmpty()) {
        desktop().beep();
        information(QStringLiteral("Keyvale can not find a Keyvale file dated version 4.x or older."));
        link.setStatus(QStringLiteral("Keyvale could not find a Keyvale file dated version 4x or older."));
        return;
    }
    if (desktop().message(QStringLiteral("Getting ready to import an older version of Keyvale data.") +
                              QStringLiteral("\n") + QStringLiteral("Continue?"),
                          {}, Buttons::YesNo, Icon::Question) != Answer::Yes) {
        link.setStatus(QStringLiteral("Import canceled."));
        return;
    }
    link.setStatus(QStringLiteral("Import in process..."));
    try {
        QFile device(path);
        if (!device.open(QIODevice::ReadOnly)) throw Error(75, QStringLiteral("Path/File access error"));
        const OldKeyvaleFile file(device);
        if (!file.hasHeader()) {
            information(QStringLiteral("The Keyvale file dated version 4.x or older is too short to hold its ") +
                        QStringLiteral("header record. Nothing was imported."));
            link.setStatus(QStringLiteral("Import process failed."));
            return;
        }
        const QString oldPassword = file.oldPassword();
        const auto typed =
            desktop().input(QStringLiteral("Please enter the old password."), {}, {}, Desktop::Echo::Masked);
        const QString answer = trimBlanks(typed.value_or(QString())).toUpper();
        if (answer.isEmpty()) {
            link.setStatus(QStringLiteral("Import Canceled."));
            return;
        }
        if (answer != oldPassword) {
            information(QStringLiteral("Invalid Password - Import Failed!"));
            link.setStatus(QStringLiteral("Import process failed."));
            return;
        }
        if (!gDBConnection || !gDBConnection->isOpen()) throw noObject();

        ImportRun run;
        {
            BusyProgress busy(owner, QStringLiteral("Importing records..."), file.recordCount() - 1);
            run = importOldRecords(file, *gDBConnection, storedDateNow(), busy.callback());
        }
        if (run.cancelled) {
            link.setStatus(QStringLiteral("Import Canceled."));
            return;
        }
        // The rows stored before an error stay: the window shows them either way.
        link.reload({});
        if (run.error) throw *run.error;
        information(QStringLiteral("Keyvale successfully imported data.") +
                    (run.skipped.isEmpty() ? QString()
                                            : QStringLiteral("\n") + unstorableText(run.skipped, QStringLiteral("record"))));
        link.setStatus(QStringLiteral("Imported old Keyvale data successfully."));
    } catch (const Error& e) {
        reportError(e, kProcedure);
    }
}

} // namespace kv
