#include "support/ScriptedDesktop.h"
#include "tools/frmGeneratePassword.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

using namespace kv;
using kv::test::ScriptedDesktop;

namespace {

template <typename T> T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

QSet<QChar> charsOf(const QString& text) {
    return QSet<QChar>(text.begin(), text.end());
}

// Shows the window and waits until it has the focus, so that focus moves behave as for a user.
void showActive(frmGeneratePassword& dlg) {
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
}

} // namespace

class GeneratorTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithDefaults() {
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Password Generator"));
        auto* combo = child<QComboBox>(dlg, "cmbNumOfChar");
        QCOMPARE(combo->currentText(), QStringLiteral("6"));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, QStringList({"6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}));
        QCOMPARE(child<QLabel>(dlg, "lblNumOfChar")->text(), QStringLiteral("Characters (6 - 15)"));
        QCOMPARE(child<QLabel>(dlg, "lblNumOfChar")->buddy(), combo);
        QVERIFY(child<QRadioButton>(dlg, "Option3")->isChecked());
        QCOMPARE(dlg.iCharSet, qint16(3));
        QCOMPARE(child<QRadioButton>(dlg, "Option1")->text(), QStringLiteral("Letters"));
        QCOMPARE(child<QRadioButton>(dlg, "Option2")->text(), QStringLiteral("Numbers"));
        QCOMPARE(child<QRadioButton>(dlg, "Option3")->text(), QStringLiteral("Numbers and Letters"));
        QVERIFY(child<QLineEdit>(dlg, "txtGeneratedPassword")->text().isEmpty());
        QCOMPARE(child<QPushButton>(dlg, "btnGeneratePassword")->text(), QStringLiteral("&Generate"));
        QVERIFY(child<QPushButton>(dlg, "btnGeneratePassword")->isDefault());
        QCOMPARE(child<QPushButton>(dlg, "btnCopy")->text(), QStringLiteral("&Copy to Clipboard"));
        QCOMPARE(child<QPushButton>(dlg, "btnExit")->text(), QStringLiteral("&Exit"));
    }

    // Many passwords per mode, made through the window: every one has the requested length and only
    // characters of its set, and over all of them every character of the set turns up.
    void passwordsKeepToTheirSet_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("expectedLength");
        QTest::addColumn<QString>("allowed");
        QTest::addColumn<QString>("allowedFirst");
        const QString letters = frmGeneratePassword::kLetters, digits = frmGeneratePassword::kDigits;
        QTest::newRow("letters, 6") << "Option1"
                                    << "6" << 6 << letters << letters;
        QTest::newRow("letters, 15") << "Option1"
                                     << "15" << 15 << letters << letters;
        QTest::newRow("numbers, 6") << "Option2"
                                    << "6" << 6 << digits << "12345678";
        QTest::newRow("numbers, 15") << "Option2"
                                     << "15" << 15 << digits << "12345678";
        QTest::newRow("numbers and letters, 6") << "Option3"
                                                << "6" << 6 << letters + digits << letters + digits;
        QTest::newRow("numbers, 7.5 gives 8") << "Option2"
                                              << "7.5" << 8 << digits << "12345678";
        QTest::newRow("letters, 14.5 gives 15") << "Option1"
                                                << "14.5" << 15 << letters << letters;
    }
    void passwordsKeepToTheirSet() {
        QFETCH(QString, option);
        QFETCH(QString, length);
        QFETCH(int, expectedLength);
        QFETCH(QString, allowed);
        QFETCH(QString, allowedFirst);
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        QTest::mouseClick(child<QRadioButton>(dlg, qPrintable(option)), Qt::LeftButton);
        child<QComboBox>(dlg, "cmbNumOfChar")->setEditText(length);
        auto* generate = child<QPushButton>(dlg, "btnGeneratePassword");
        auto* box = child<QLineEdit>(dlg, "txtGeneratedPassword");
        QSet<QChar> seen;
        for (int draw = 0; draw < 400; ++draw) {
            generate->click();
            const QString password = box->text();
            QCOMPARE(password.size(), expectedLength);
            QVERIFY2(allowedFirst.contains(password.front()), qPrintable(password));
            QVERIFY2(charsOf(allowed).contains(charsOf(password)), qPrintable(password));
            seen.unite(charsOf(password));
        }
        QCOMPARE(seen, charsOf(allowed));
        QVERIFY(desktop.prompts.isEmpty());
    }

    // Each character is a letter or a digit at random: a password may be all letters or all digits.
    void mixedModeMayGiveOneKindOnly() {
        bool lettersOnly = false, digitsOnly = false, both = false;
        for (int draw = 0; draw < 3000; ++draw) {
            const QString password = frmGeneratePassword::makePassword(3, 6, *QRandomGenerator::system());
            const bool anyDigit = std::any_of(password.begin(), password.end(), [](QChar c) { return c.isDigit(); });
            const bool anyLetter = std::any_of(password.begin(), password.end(), [](QChar c) { return c.isLetter(); });
            lettersOnly |= !anyDigit;
            digitsOnly |= !anyLetter;
            both |= anyDigit && anyLetter;
        }
        QVERIFY(lettersOnly);
        QVERIFY(digitsOnly);
        QVERIFY(both);
    }

    // Characters come from a real random source: one password is not one repeated character, and two
    // in a row differ (both would fail if the source were re-seeded from the clock for every character).
    void passwordsAreNotRepeated() {
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        child<QComboBox>(dlg, "cmbNumOfChar")->setEditText(QStringLiteral("15"));
        auto* generate = child<QPushButton>(dlg, "btnGeneratePassword");
        auto* box = child<QLineEdit>(dlg, "txtGeneratedPassword");
        generate->click();
        const QString first = box->text();
        generate->click();
        QVERIFY(charsOf(first).size() > 1);
        QVERIFY(box->text() != first);
    }

    void lengthCheckedOnLeavingTheBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("5") << "5" << false;
        QTest::newRow("16") << "16" << false;
        QTest::newRow("not a number") << "abc" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("6") << "6" << true;
        QTest::newRow("15") << "15" << true;
        QTest::newRow("7.5") << "7.5" << true;
    }
    void lengthCheckedOnLeavingTheBox() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        showActive(dlg);
        auto* combo = child<QComboBox>(dlg, "cmbNumOfChar");
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo, Qt::Key_Backspace);
        QTest::keyClicks(combo, typed);
        QCOMPARE(combo->currentText(), typed);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (accepted) {
            QVERIFY(desktop.prompts.isEmpty());
            QVERIFY(!combo->isAncestorOf(QApplication::focusWidget()) && QApplication::focusWidget() != combo);
        } else {
            QCOMPARE(desktop.messages(), QStringList{QStringLiteral("Please select 6 to 15 characters!")});
            QCOMPARE(desktop.last().icon, Icon::Information);
            QVERIFY(QApplication::focusWidget() == combo || combo->isAncestorOf(QApplication::focusWidget()));
        }
    }

    // Enter presses Generate without leaving the box: an out-of-range length is refused there too and
    // makes nothing.
    void generateRefusesALengthOutOfRange() {
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        showActive(dlg);
        auto* combo = child<QComboBox>(dlg, "cmbNumOfChar");
        combo->setFocus();
        combo->setEditText(QStringLiteral("99999999"));
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(desktop.messages(), QStringList{QStringLiteral("Please select 6 to 15 characters!")});
        QVERIFY(child<QLineEdit>(dlg, "txtGeneratedPassword")->text().isEmpty());

        desktop.clear();
        combo->setEditText(QStringLiteral("9"));
        QTest::keyClick(combo, Qt::Key_Return);
        QVERIFY(desktop.prompts.isEmpty());
        QCOMPARE(child<QLineEdit>(dlg, "txtGeneratedPassword")->text().size(), 9);
        QVERIFY(dlg.isVisible());
    }

    void copyPutsTheBoxOnTheClipboardAndCloses_data() {
        QTest::addColumn<bool>("generateFirst");
        QTest::newRow("nothing generated") << false;
        QTest::newRow("after generating") << true;
    }
    void copyPutsTheBoxOnTheClipboardAndCloses() {
        QFETCH(bool, generateFirst);
        ScriptedDesktop desktop;
        desktop.clipboard = QStringLiteral("left over");
        frmGeneratePassword dlg;
        showActive(dlg);
        auto* box = child<QLineEdit>(dlg, "txtGeneratedPassword");
        if (generateFirst) {
            QTest::keyClick(&dlg, Qt::Key_G, Qt::AltModifier);
            QTRY_VERIFY(!box->text().isEmpty());
        }
        const QString shown = box->text();
        QTest::keyClick(&dlg, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(desktop.clipboard, shown);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void exitAndEscCloseWithoutCopying_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
        QTest::newRow("Alt+E") << int(Qt::Key_E) << int(Qt::AltModifier);
    }
    void exitAndEscCloseWithoutCopying() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        ScriptedDesktop desktop;
        desktop.clipboard = QStringLiteral("kept");
        frmGeneratePassword dlg;
        showActive(dlg);
        child<QPushButton>(dlg, "btnGeneratePassword")->click();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(desktop.clipboard, QStringLiteral("kept"));
    }
};

QTEST_MAIN(GeneratorTest)
#include "tst_generator.moc"
