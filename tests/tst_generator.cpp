#include "support/ScriptedDesktop.h"
#include "support/Widgets.h"
#include "tools/frmGeneratePassword.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTest>

using namespace kv;
using kv::test::child;
using kv::test::ScriptedDesktop;
using kv::test::showActive;

namespace {

QSet<QChar> charsOf(const QString& text) {
    return QSet<QChar>(text.begin(), text.end());
}

bool inBox(QComboBox* box) {
    return QApplication::focusWidget() == box || box->isAncestorOf(QApplication::focusWidget());
}

} // namespace

class GeneratorTest : public QObject {
    Q_OBJECT
private slots:
    // Every password has the length asked for (a fraction rounds up), only characters of its set and no
    // leading 0 for numbers; over many, the whole set turns up and hardly any two are alike. An option
    // chosen without the mouse (as a screen reader sets it) counts as much as a click.
    void passwordsKeepToTheirSet_data() {
        QTest::addColumn<int>("option"); // 0: as the window opens; below 0: checked without a click
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("expectedLength");
        QTest::addColumn<QString>("allowed");
        const QString letters = frmGeneratePassword::kLetters, digits = frmGeneratePassword::kDigits;
        QTest::newRow("letters, 15") << 1 << "15" << 15 << letters;
        QTest::newRow("numbers set without a click, 7.5 gives 8") << -2 << "7.5" << 8 << digits;
        QTest::newRow("as opened: numbers and letters, 6") << 0 << "" << 6 << letters + digits;
    }
    void passwordsKeepToTheirSet() {
        QFETCH(int, option);
        QFETCH(QString, length);
        QFETCH(int, expectedLength);
        QFETCH(QString, allowed);
        ScriptedDesktop desktop;
        frmGeneratePassword dlg;
        if (option) {
            auto* button = child<QRadioButton>(dlg, qPrintable(QString("Option%1").arg(qAbs(option))));
            if (option > 0)
                QTest::mouseClick(button, Qt::LeftButton);
            else
                button->setChecked(true);
            child<QComboBox>(dlg, "cmbNumOfChar")->setEditText(length);
        }
        QCOMPARE(child<QLineEdit>(dlg, "txtGeneratedPassword")->accessibleName(), QString("Generated Password"));
        QSet<QChar> seen;
        QSet<QString> passwords;
        for (int draw = 0; draw < 400; ++draw) {
            child<QPushButton>(dlg, "btnGeneratePassword")->click();
            const QString password = child<QLineEdit>(dlg, "txtGeneratedPassword")->text();
            QCOMPARE(password.size(), expectedLength);
            QVERIFY2(option != 2 || password.front() != '0', qPrintable(password));
            seen.unite(charsOf(password));
            passwords.insert(password);
        }
        QCOMPARE(seen, charsOf(allowed)); // nothing from outside the set, and all of it
        QVERIFY2(passwords.size() > 390, qPrintable(QString::number(passwords.size())));
    }

    // Leaving the box and Enter (Generate) check the length: a bad one makes nothing and keeps the focus.
    // Copy then puts the password shown on the clipboard and closes; Exit and Esc close without copying.
    void keyboard_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("close"); // pressed afterwards, with Alt but for Esc; 0: none
        const int tab = Qt::Key_Tab, enter = Qt::Key_Return;
        QTest::newRow("5, Tab, Esc") << "5" << tab << false << int(Qt::Key_Escape);
        QTest::newRow("15, Tab, Exit") << "15" << tab << true << int(Qt::Key_E);
        QTest::newRow("99999999, Enter") << "99999999" << enter << false << 0;
        QTest::newRow("9, Enter, Copy") << "9" << enter << true << int(Qt::Key_C);
    }
    void keyboard() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, accepted);
        QFETCH(int, close);
        ScriptedDesktop desktop;
        desktop.clipboard = "left over";
        frmGeneratePassword dlg;
        showActive(dlg);
        auto* combo = child<QComboBox>(dlg, "cmbNumOfChar");
        combo->clearEditText();
        QTest::keyClicks(combo, typed);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        const bool enter = key == Qt::Key_Return;
        const QString password = child<QLineEdit>(dlg, "txtGeneratedPassword")->text();
        QCOMPARE(desktop.messages(), accepted ? QStringList() : QStringList{"Please select 6 to 15 characters!"});
        if (!accepted) QCOMPARE(desktop.last().icon, Icon::Information);
        QCOMPARE(inBox(combo), !accepted || enter);
        QCOMPARE(password.size(), accepted && enter ? typed.toInt() : 0);
        if (!close) return;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(close),
                        close == Qt::Key_Escape ? Qt::NoModifier : Qt::AltModifier);
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(desktop.clipboard, close == Qt::Key_C ? password : "left over");
    }
};

QTEST_MAIN(GeneratorTest)
#include "tst_generator.moc"
