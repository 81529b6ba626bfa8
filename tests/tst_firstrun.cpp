#include "startup/Main.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/TestClock.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

const QString kInvalid = QStringLiteral("Invalid Password!");
const QString kOpened = QStringLiteral("main window opened");
const QString kEnded = QStringLiteral("ended without it");

// Plays the next step once its window is up: "window|box=text|control|..." fills the window's boxes and
// clicks its buttons or check boxes in order ("close" closes it). Past the deadline every dialog is closed, so
// that a step that never comes lets Main return; `forced` tells.
void play(QStringList& steps, bool& forced, const QDeadlineTimer& deadline) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(w);
        if (deadline.hasExpired() && dialog && dialog->isVisible()) {
            forced = true;
            dialog->QDialog::done(QDialog::Rejected);
        }
        if (steps.isEmpty() || !w->isVisible() || w->objectName() != steps.front().section(u'|', 0, 0)) continue;
        const QStringList parts = steps.takeFirst().split(u'|').mid(1);
        for (const QString& part : parts) {
            const qsizetype eq = part.indexOf(u'=');
            if (part == QLatin1String("close"))
                w->close();
            else if (auto* box = w->findChild<QLineEdit*>(part.left(eq)); eq > 0 && box)
                box->setText(part.mid(eq + 1));
            else if (auto* button = w->findChild<QAbstractButton*>(part))
                button->click();
        }
        return;
    }
}

QString logOn(const QString& password) {
    return QStringLiteral("frmPassword|txtPassword=%1|bttnContinue").arg(password);
}

} // namespace

class FirstRunTest : public QObject {
    Q_OBJECT
private slots:
    // Starts of the program on one folder, each with nothing but the files kept from the ones before.
    void firstRunThenLaterStarts() {
        TempAppFolder folder(false);
        ScriptedDesktop desk;
        TestClock clock;
        // kOpened or kEnded, or what went wrong.
        const auto start = [&](QStringList steps) {
            resetProgramState();
            gPwdLength.clear();
            gAlphaNumeric.clear();
            gAppPath = folder.path();
            desk.prompts.clear();
            bool forced = false, shown = false;
            const QDeadlineTimer deadline(20000);
            QTimer player;
            QObject::connect(&player, &QTimer::timeout, [&] { play(steps, forced, deadline); });
            player.start(5);
            const bool answered = Main([&shown] { shown = true; });
            if (!steps.isEmpty()) return QStringLiteral("steps not played: ") + steps.join(u',');
            if (forced) return QStringLiteral("a window came that no step was for");
            if (answered != shown) return QStringLiteral("Main's answer differs from what it did");
            return shown ? kOpened : kEnded;
        };
        // The rules, question, answer and password as stored (one row in each table expected).
        const auto stored = [&] {
            QStringList out;
            for (const auto& row : folder.query(QStringLiteral("select pwdLength, AlphaNumeric, Question, Answer, "
                                                               "Password from tbladmin, tblPassword")))
                for (const QVariant& v : row)
                    out.append(decipherField(v.toString()));
            return out;
        };

        desk.answer(Answer::Yes);
        QCOMPARE(start({"frmAdmin|txtPasswordLength=7|btnOK",
                        "frmSetup|txtAns3=Green|txtPassword1=Sesame12|txtPassword2=Sesame12|bttnContinue"}),
                 kOpened);
        QCOMPARE(desk.messages(), QStringList{"The current administrative settings are as follows: \n"
                                              "The minimum password length for Keyvale's passord is: 7\n"
                                              "Alfa/Numeric characters are required for Keyvale's password.\n\n"
                                              "Save the settings?"});
        QCOMPARE(stored(), (QStringList{"7", "YES", "THREE", "GREEN", "SESAME12"}));

        // Three failures lead to recovery: the right answer to the wrong question is refused, the right pair
        // sets the new password, which the next start takes typed in lower case.
        QCOMPARE(start({logOn("sesame1"), logOn("sesame13"), logOn("open sesame"),
                        "frmSetup|txtAns1=green|txtPassword1=Newpass34|txtPassword2=Newpass34|bttnContinue",
                        "frmSetup|txtAns1=|txtAns3=green|bttnContinue"}),
                 kOpened);
        QCOMPARE(desk.messages(), (QStringList{kInvalid, kInvalid, kInvalid,
                                               "Your question and/or answer are wrong, sorry about your luck."}));
        QCOMPARE(gPwdLength, QStringLiteral("7")); // the rules were read back
        QCOMPARE(start({logOn("newpass34")}), kOpened);
        QVERIFY(desk.prompts.isEmpty());

        // A new password re-entered in another case counts as a try without ending them; the fourth does.
        // Leaving the recovery window ends the program with nothing changed.
        QCOMPARE(start({logOn("newpass3"), logOn("newpass35"),
                        "frmPassword|txtPassword=newpass34|Check1|txtNewPassword=Other567|"
                        "txtReEnterNewPassword=OTHER567|bttnContinue",
                        logOn("newpass36"), "frmSetup|close"}),
                 kEnded);
        QCOMPARE(desk.messages(),
                 (QStringList{kInvalid, kInvalid, "New Password and Re-enter Password do not match!", kInvalid}));
        QCOMPARE(stored(), (QStringList{"7", "YES", "THREE", "GREEN", "NEWPASS34"}));
    }
};

QTEST_MAIN(FirstRunTest)
#include "tst_firstrun.moc"
