#include "support/ScriptedDesktop.h"
#include "support/Widgets.h"
#include "tools/frmGeneratePassword.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::child;

namespace {

QSet<QChar> charsOf(const QString& text) {
    return QSet<QChar>(text.begin(), text.end());
}

// Shows the window and waits until it has the focus, so that focus moves behave as for a user.
void showActive(frmGeneratePassword& dlg) {
    dlg.show();
    dlg.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
}

bool inBox(QComboBox* box) {
    return QApplication::focusWidget() == box || box->isAncestorOf(QApplication::focusWidget());
}

} // namespace

class GeneratorTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithDefaults() {
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        QCOMPARE(dlg.windowTitle(), "Password Generator");
        auto* combo = child<QComboBox>(dlg, "cmbNumOfChar");
        QCOMPARE(combo->currentText(), "6");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, QStringList({"6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}));
        QCOMPARE(child<QLabel>(dlg, "lblNumOfChar")->buddy(), combo);
        const QList<std::pair<const char*, QString>> texts{
            {"lblNumOfChar", "Characters (6 - 15)"}, {"Option1", "Letters"},       {"Option2", "Numbers"},
            {"Option3", "Numbers and Letters"},      {"txtGeneratedPassword", ""}, {"btnGeneratePassword", "&Generate"},
            {"btnCopy", "&Copy to Clipboard"},       {"btnExit", "&Exit"}};
        for (const auto& [name, text] : texts)
            QCOMPARE(child<QWidget>(dlg, name)->property("text").toString(), text);
        QVERIFY(child<QRadioButton>(dlg, "Option3")->isChecked());
        QVERIFY(child<QPushButton>(dlg, "btnGeneratePassword")->isDefault());
    }

    // Many passwords per mode, made through the window: every one has the requested length (a fraction
    // rounds up), only characters of its set and no leading 0 for numbers, and over all of them every
    // character of the set turns up. They come from a real random source: hardly any two are alike.
    void passwordsKeepToTheirSet_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("expectedLength");
        QTest::addColumn<QString>("allowed");
        const QString letters = frmGeneratePassword::kLetters, digits = frmGeneratePassword::kDigits;
        QTest::newRow("letters, 15") << 1 << "15" << 15 << letters;
        QTest::newRow("numbers, 7.5 gives 8") << 2 << "7.5" << 8 << digits;
        QTest::newRow("numbers and letters, 6") << 3 << "6" << 6 << letters + digits;
    }
    void passwordsKeepToTheirSet() {
        QFETCH(int, option);
        QFETCH(QString, length);
        QFETCH(int, expectedLength);
        QFETCH(QString, allowed);
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        QTest::mouseClick(child<QRadioButton>(dlg, qPrintable(QString("Option%1").arg(option))), Qt::LeftButton);
        child<QComboBox>(dlg, "cmbNumOfChar")->setEditText(length);
        QSet<QChar> seen;
        QSet<QString> passwords;
        for (int draw = 0; draw < 400; ++draw) {
            child<QPushButton>(dlg, "btnGeneratePassword")->click();
            const QString password = child<QLineEdit>(dlg, "txtGeneratedPassword")->text();
            QCOMPARE(password.size(), expectedLength);
            QVERIFY2(option != 2 || password.front() != '0', qPrintable(password));
            QVERIFY2(charsOf(allowed).contains(charsOf(password)), qPrintable(password));
            seen.unite(charsOf(password));
            passwords.insert(password);
        }
        QCOMPARE(seen, charsOf(allowed));
        QVERIFY2(passwords.size() > 390, qPrintable(QString::number(passwords.size())));
        QVERIFY(desktop.prompts.isEmpty());
    }

    // The length is checked on leaving the box and on Enter, which presses Generate without leaving it:
    // an out-of-range length is refused, keeps the focus in the box and makes nothing.
    void lengthIsChecked_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        const int tab = Qt::Key_Tab, enter = Qt::Key_Return;
        QTest::newRow("5, Tab") << "5" << tab << false;
        QTest::newRow("6, Tab") << "6" << tab << true;
        QTest::newRow("15, Tab") << "15" << tab << true;
        QTest::newRow("16, Tab") << "16" << tab << false;
        QTest::newRow("99999999, Enter") << "99999999" << enter << false;
        QTest::newRow("9, Enter") << "9" << enter << true;
    }
    void lengthIsChecked() {
        QFETCH(QString, typed);
        QFETCH(int, key);
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
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        const QString password = child<QLineEdit>(dlg, "txtGeneratedPassword")->text();
        if (accepted) {
            QVERIFY(desktop.prompts.isEmpty());
            QCOMPARE(inBox(combo), key == Qt::Key_Return);
            QCOMPARE(password.size(), key == Qt::Key_Return ? typed.toInt() : 0);
            QVERIFY(dlg.isVisible());
        } else {
            QCOMPARE(desktop.messages(), QStringList{"Please select 6 to 15 characters!"});
            QCOMPARE(desktop.last().icon, Icon::Information);
            QVERIFY(inBox(combo));
            QVERIFY(password.isEmpty());
        }
    }

    // Copy puts the password shown on the clipboard and closes; Exit and Esc close without copying.
    void closing_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Copy") << int(Qt::Key_C) << int(Qt::AltModifier);
        QTest::newRow("Exit") << int(Qt::Key_E) << int(Qt::AltModifier);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier);
    }
    void closing() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const bool copies = key == Qt::Key_C;
        ScriptedDesktop desktop;
        desktop.clipboard = "left over";
        frmGeneratePassword dlg;
        showActive(dlg);
        auto* box = child<QLineEdit>(dlg, "txtGeneratedPassword");
        QTest::keyClick(&dlg, Qt::Key_G, Qt::AltModifier);
        QTRY_VERIFY(!box->text().isEmpty());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(desktop.clipboard, copies ? box->text() : "left over");
        QCOMPARE(dlg.result(), int(copies ? QDialog::Accepted : QDialog::Rejected));
    }
};

QTEST_MAIN(GeneratorTest)
#include "tst_generator.moc"
