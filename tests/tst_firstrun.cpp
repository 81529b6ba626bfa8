#include "startup/Main.h"
#include "startup/modAdmin.h"
#include "startup/modKeyvale.h"
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

// Plays the user while Main runs its windows: a step "window|box=text|control|..." waits for a visible
// window of that name, fills its boxes and clicks its buttons or check boxes in order ("close" closes it).
// After 20 seconds every dialog is closed, so that a step that never comes makes Main return.
class WindowDriver : public QObject {
public:
    explicit WindowDriver(QStringList steps) : steps_(std::move(steps)) {
        connect(&timer_, &QTimer::timeout, this, &WindowDriver::tick);
        timer_.start(5);
    }
    QStringList left() const { return steps_; }
    bool forced = false; // a window no step was for had to be closed

private:
    void tick() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (deadline_.hasExpired() && dialog && dialog->isVisible()) {
                forced = true;
                dialog->QDialog::done(QDialog::Rejected);
            }
            if (steps_.isEmpty() || !w->isVisible() || w->objectName() != steps_.front().section(u'|', 0, 0)) continue;
            const QStringList parts = steps_.takeFirst().split(u'|').mid(1);
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
    QStringList steps_;
    QTimer timer_;
    QDeadlineTimer deadline_{20000};
};

QString logOn(const QString& password) {
    return QStringLiteral("frmPassword|txtPassword=%1|bttnContinue").arg(password);
}

} // namespace

class FirstRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<TestClock> clock;

    // One start of the program on the folder, nothing but the files kept from an earlier one: kOpened or
    // kEnded, or what went wrong.
    QString start(const QStringList& steps) {
        resetProgramState();
        gPwdLength.clear();
        gAlphaNumeric.clear();
        gAppPath = folder->path();
        desk->prompts.clear();
        WindowDriver driver(steps);
        bool shown = false;
        const bool answered = Main([&shown] { shown = true; });
        if (!driver.left().isEmpty()) return QStringLiteral("steps not played: ") + driver.left().join(u',');
        if (driver.forced) return QStringLiteral("a window came that no step was for");
        return answered != shown ? QStringLiteral("Main's answer differs from what it did") : shown ? kOpened : kEnded;
    }
    // The rules, question, answer and password as stored (one row in each table expected).
    QStringList stored() {
        QStringList out;
        for (const auto& row : folder->query(QStringLiteral("select pwdLength, AlphaNumeric, Question, Answer, "
                                                            "Password from tbladmin, tblPassword")))
            for (const QVariant& v : row)
                out.append(decipherField(v.toString()));
        return out;
    }

private slots:
    void init() {
        folder = std::make_unique<TempAppFolder>(false);
        desk = std::make_unique<ScriptedDesktop>();
        clock = std::make_unique<TestClock>();
    }
    void cleanup() {
        clock.reset();
        desk.reset();
        folder.reset();
    }

    // After a first run (rules 7 with letters and digits, question THREE answered "Green", password
    // "Sesame12"), the second start as the steps play it; when it opens the main window, the stored
    // password logs on, typed in lower case, at the third.
    void laterStarts_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("password"); // as stored afterwards
        const QString mismatch = QStringLiteral("New Password and Re-enter Password do not match!");
        QTest::newRow("lower case logs on") << QStringList{logOn("sesame12")} << QStringList{} << true << "SESAME12";
        // The right answer to the wrong question is refused, the right pair sets the new password.
        QTest::newRow("three failures, then recovery")
            << QStringList{logOn("sesame1"), logOn("sesame13"), logOn("open sesame"),
                           "frmSetup|txtAns1=green|txtPassword1=Newpass34|txtPassword2=Newpass34|bttnContinue",
                           "frmSetup|txtAns1=|txtAns3=green|bttnContinue"}
            << QStringList{kInvalid, kInvalid, kInvalid,
                           "Your question and/or answer are wrong, sorry about your luck."}
            << true << "NEWPASS34";
        // A mismatched new password counts as a try without ending them; the fourth does. Leaving the
        // recovery window ends the program with nothing changed.
        QTest::newRow("mismatch, then a fourth try")
            << QStringList{logOn("sesame1"), logOn("sesame2"),
                           "frmPassword|txtPassword=sesame12|Check1|txtNewPassword=Newpass34|"
                           "txtReEnterNewPassword=Newpass43|bttnContinue",
                           logOn("sesame3"), "frmSetup|close"}
            << QStringList{kInvalid, kInvalid, mismatch, kInvalid} << false << "SESAME12";
    }
    void laterStarts() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, messages);
        QFETCH(bool, shown);
        QFETCH(QString, password);
        desk->answer(Answer::Yes);
        QCOMPARE(start({"frmAdmin|txtPasswordLength=7|btnOK",
                        "frmSetup|txtAns3=Green|txtPassword1=Sesame12|txtPassword2=Sesame12|bttnContinue"}),
                 kOpened);
        QCOMPARE(desk->messages(), QStringList{"The current administrative settings are as follows: \n"
                                               "The minimum password length for Keyvale's passord is: 7\n"
                                               "Alfa/Numeric characters are required for Keyvale's password.\n\n"
                                               "Save the settings?"});
        QCOMPARE(stored(), (QStringList{"7", "YES", "THREE", "GREEN", "SESAME12"}));
        QVERIFY(!gFormOpen);

        QCOMPARE(start(steps), shown ? kOpened : kEnded);
        QCOMPARE(desk->messages(), messages);
        QCOMPARE(gPwdLength, QStringLiteral("7")); // the rules were read back
        QCOMPARE(stored(), (QStringList{"7", "YES", "THREE", "GREEN", password}));
        QVERIFY(!gFormOpen);

        if (!shown) return;
        QCOMPARE(start({logOn(password.toLower())}), kOpened);
        QVERIFY(desk->prompts.isEmpty());
    }
};

QTEST_MAIN(FirstRunTest)
#include "tst_firstrun.moc"
