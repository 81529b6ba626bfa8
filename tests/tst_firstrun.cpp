#include "startup/Main.h"
#include "startup/modAdmin.h"
#include "startup/modKeyvale.h"
#include "store/Cipher.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/TestClock.h"
#include "tools/HelpViewer.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

using namespace kv;
using namespace kv::test;

namespace {

const QString kInvalid = QStringLiteral("Invalid Password!");
const QString kWrongAnswer = QStringLiteral("Your question and/or answer are wrong, sorry about your luck.");

QWidget* visibleWindow(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == name) return w;
    return nullptr;
}

void set(QWidget* window, const char* box, const QString& text) {
    auto* edit = window->findChild<QLineEdit*>(QString::fromLatin1(box));
    QVERIFY2(edit, box);
    edit->setText(text);
}

void click(QWidget* window, const char* button) {
    auto* b = window->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(b, button);
    b->click();
}

// Plays the user while Main runs its windows (modal ones included): each step waits for a visible window
// with the given object name and acts on it. Records the names of the windows that showed up.
class WindowDriver : public QObject {
public:
    using Action = std::function<void(QWidget*)>;

    WindowDriver() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &WindowDriver::tick);
        timer_.start();
        clock_.start();
    }

    void then(const QString& window, Action act) { steps_.push_back({window, std::move(act)}); }
    bool done() const { return steps_.empty(); }
    bool saw(const QString& window) const { return seen_.contains(window); }

private:
    void tick() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !seen_.contains(w->objectName())) seen_.append(w->objectName());
        if (clock_.elapsed() > 20000) return giveUp();
        if (steps_.empty()) return;
        QWidget* window = visibleWindow(steps_.front().window);
        if (!window) return;
        const Action act = std::move(steps_.front().act);
        steps_.pop_front();
        act(window);
    }
    // A step that never came: close every dialog the hard way so that Main returns and the test fails.
    void giveUp() {
        timer_.stop();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
                dialog->QDialog::done(QDialog::Rejected);
    }

    struct Step {
        QString window;
        Action act;
    };
    std::deque<Step> steps_;
    QStringList seen_;
    QTimer timer_;
    QElapsedTimer clock_;
};

struct Stored {
    QStringList admin;    // pwdLength, AlphaNumeric
    QStringList password; // Question, Answer, Password
};

Stored stored(const TempAppFolder& folder) {
    Stored out;
    for (const auto& row : folder.query(QStringLiteral("select pwdLength, AlphaNumeric from tbladmin")))
        for (const QVariant& v : row) out.admin.append(decipherField(v.toString()));
    for (const auto& row : folder.query(QStringLiteral("select Question, Answer, Password from tblPassword")))
        for (const QVariant& v : row) out.password.append(decipherField(v.toString()));
    return out;
}

// The program ends and is started again on the same folder: nothing but the files is kept.
void restart(const TempAppFolder& folder) {
    resetProgramState();
    gPwdLength.clear();
    gAlphaNumeric.clear();
    gAppPath = folder.path();
}

void logOn(WindowDriver& driver, const QString& password) {
    driver.then(QStringLiteral("frmPassword"), [password](QWidget* w) {
        set(w, "txtPassword", password);
        click(w, "bttnContinue");
    });
}

} // namespace

class FirstRunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempAppFolder> folder;
    std::unique_ptr<ScriptedDesktop> desk;
    std::unique_ptr<TestClock> clock;
    bool mainShown = false;

    bool runMain() {
        mainShown = false;
        return Main([this] { mainShown = true; });
    }

    // The first run as a user goes through it: rules 7 and letters with digits, question THREE answered
    // "Green", password "Sesame12".
    void firstRun() {
        WindowDriver driver;
        bool helpShown = false;
        desk->answer(Answer::Yes);
        driver.then(QStringLiteral("frmAdmin"), [](QWidget* w) {
            set(w, "txtPasswordLength", QStringLiteral("7"));
            click(w, "btnOK");
        });
        driver.then(QStringLiteral("frmSetup"), [&helpShown](QWidget* w) {
            helpShown = HelpViewer::instance() && HelpViewer::instance()->isVisible();
            QVERIFY(!w->findChild<QLabel*>(QStringLiteral("Image1"))->isVisible());
            set(w, "txtAns3", QStringLiteral("Green"));
            set(w, "txtPassword1", QStringLiteral("Sesame12"));
            set(w, "txtPassword2", QStringLiteral("Sesame12"));
            click(w, "bttnContinue");
        });
        QVERIFY(runMain());
        QVERIFY(mainShown);
        QVERIFY(driver.done());
        QVERIFY(helpShown);
        QVERIFY(!driver.saw(QStringLiteral("frmPassword")));
        QVERIFY(!gFormOpen);
    }

private slots:
    void init() {
        folder = std::make_unique<TempAppFolder>(false);
        desk = std::make_unique<ScriptedDesktop>();
        clock = std::make_unique<TestClock>();
        gPwdLength.clear();
        gAlphaNumeric.clear();
    }
    void cleanup() {
        clock.reset();
        desk.reset();
        folder.reset();
        gPwdLength.clear();
        gAlphaNumeric.clear();
    }

    void firstRunThenLogOn() {
        firstRun();
        if (QTest::currentTestFailed()) return;
        QCOMPARE(desk->messages(),
                 QStringList{"The current administrative settings are as follows: \n"
                             "The minimum password length for Keyvale's passord is: 7\n"
                             "Alfa/Numeric characters are required for Keyvale's password.\n\n"
                             "Save the settings?"});
        const Stored s = stored(*folder);
        QCOMPARE(s.admin, (QStringList{"7", "YES"}));
        QCOMPARE(s.password, (QStringList{"THREE", "GREEN", "SESAME12"}));

        restart(*folder);
        desk->clear();
        WindowDriver driver;
        logOn(driver, QStringLiteral("sesame12"));
        QVERIFY(runMain());
        QVERIFY(mainShown);
        QVERIFY(driver.done());
        QVERIFY(desk->prompts.isEmpty());
        QVERIFY(!driver.saw(QStringLiteral("frmAdmin")));
        QVERIFY(!driver.saw(QStringLiteral("frmSetup")));
        QCOMPARE(gPwdLength, QStringLiteral("7"));
        QCOMPARE(gAlphaNumeric, QStringLiteral("YES"));
        QVERIFY(!gFormOpen);
    }

    // Three wrong passwords lead to recovery; the right answer to the wrong question is refused, the
    // right pair sets the new password, which the next start accepts.
    void recoveryAfterThreeFailures() {
        firstRun();
        if (QTest::currentTestFailed()) return;
        restart(*folder);
        desk->clear();
        WindowDriver driver;
        for (const char* guess : {"sesame1", "sesame13", "open sesame"}) logOn(driver, QString::fromLatin1(guess));
        bool recoveryMode = false;
        driver.then(QStringLiteral("frmSetup"), [&recoveryMode](QWidget* w) {
            recoveryMode = w->findChild<QLabel*>(QStringLiteral("Image1"))->isVisible();
            set(w, "txtAns1", QStringLiteral("green"));
            set(w, "txtPassword1", QStringLiteral("Newpass34"));
            set(w, "txtPassword2", QStringLiteral("Newpass34"));
            click(w, "bttnContinue");
        });
        driver.then(QStringLiteral("frmSetup"), [](QWidget* w) {
            set(w, "txtAns1", QString());
            set(w, "txtAns3", QStringLiteral("green"));
            click(w, "bttnContinue");
        });
        QVERIFY(runMain());
        QVERIFY(mainShown);
        QVERIFY(driver.done());
        QVERIFY(recoveryMode);
        QCOMPARE(desk->messages(), (QStringList{kInvalid, kInvalid, kInvalid, kWrongAnswer}));
        QCOMPARE(stored(*folder).password, (QStringList{"THREE", "GREEN", "NEWPASS34"}));
        QCOMPARE(stored(*folder).admin, (QStringList{"7", "YES"}));

        restart(*folder);
        desk->clear();
        WindowDriver again;
        logOn(again, QStringLiteral("newpass34"));
        QVERIFY(runMain());
        QVERIFY(again.done());
        QVERIFY(desk->prompts.isEmpty());
    }

    // A mismatched new password counts as a try without ending them; the fourth try does. Leaving the
    // recovery window without an answer ends the program with nothing changed.
    void mismatchThenFourthAttempt() {
        firstRun();
        if (QTest::currentTestFailed()) return;
        restart(*folder);
        desk->clear();
        WindowDriver driver;
        logOn(driver, QStringLiteral("sesame1"));
        logOn(driver, QStringLiteral("sesame2"));
        driver.then(QStringLiteral("frmPassword"), [](QWidget* w) {
            set(w, "txtPassword", QStringLiteral("sesame12"));
            w->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
            set(w, "txtNewPassword", QStringLiteral("Newpass34"));
            set(w, "txtReEnterNewPassword", QStringLiteral("Newpass43"));
            click(w, "bttnContinue");
        });
        driver.then(QStringLiteral("frmPassword"), [](QWidget* w) {
            set(w, "txtPassword", QStringLiteral("sesame3"));
            click(w, "bttnContinue");
        });
        driver.then(QStringLiteral("frmSetup"), [](QWidget* w) { w->close(); });
        QVERIFY(!runMain());
        QVERIFY(!mainShown);
        QVERIFY(driver.done());
        QCOMPARE(desk->messages(),
                 (QStringList{kInvalid, kInvalid, "New Password and Re-enter Password do not match!", kInvalid}));
        QCOMPARE(stored(*folder).password, (QStringList{"THREE", "GREEN", "SESAME12"}));
        QVERIFY(!gFormOpen);
    }

};

QTEST_MAIN(FirstRunTest)
#include "tst_firstrun.moc"
