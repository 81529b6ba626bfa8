#include "grid/GridDropDown.h"
#include "tst_main_driver.h"

using namespace kv;
using namespace kv::test;

namespace {

const QList<Rec> kRecords = {
    {"Bank", "a.example", "ann", "pw-a"},
    {"Bank", "z.example", "zed", "pw-z"},
    {"Work", "b.example", "bob", "pw-b"},
    {"Joe's", "j.example", "joe", "pw-j"},
};
const QStringList kEmptyGroup = {"Empty"};

QStringList entries(const QComboBox& combo) {
    QStringList out;
    for (int i = 0; i < combo.count(); ++i)
        out << combo.itemText(i);
    return out;
}

// Picks a group in the combo as a user's choice from its list does.
void pick(MainWindowFixture& f, const QString& group) {
    const int index = f.combo().findText(group);
    QVERIFY2(index >= 0, qPrintable(group));
    f.combo().setCurrentIndex(index);
    emit f.combo().activated(index);
}

// The line on the records of a group that the rename and delete questions begin with.
QString found(const QString& group, int records) {
    return records == 0 ? QString()
                        : QString("Keyvale has detected %1 %2 associated to Group Name '%3'\n")
                              .arg(records)
                              .arg(records == 1 ? "record" : "records", group);
}

// How many of the rename and delete buttons are enabled.
int groupButtons(MainWindowFixture& f) {
    return int(f.control<QPushButton>("btnRenameGroupName").isEnabled()) +
           int(f.control<QPushButton>("btnDeleteGroupName").isEnabled());
}

} // namespace

class GroupsTest : public QObject {
    Q_OBJECT
private slots:
    // Picking a group filters the grid; a row in edit is stored before the grid shows another group, and
    // the first row of the next group has priors of its own though it stands at the same row number.
    void pickingGroups() {
        MainWindowFixture f(kRecords, kEmptyGroup, [] { gConfirmUpdate = false; });
        QCOMPARE(entries(f.combo()), QStringList({"***All Groups", "Bank", "Empty", "Joe's", "Work"}));
        QCOMPARE(groupButtons(f), 0);

        pick(f, "Joe's");
        QCOMPARE(f.shownColumn(2), QStringList{"j.example"});
        QCOMPARE(f.status(), QString("Group Name Joe's selected."));
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Joe's: 1"));
        QCOMPARE(groupButtons(f), 2);
        QCOMPARE(f.passwordBox().text(), QString("pw-j"));

        pick(f, "Empty");
        QCOMPARE(f.grid().rowCount(), 0);
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Empty: 0"));
        QCOMPARE(f.passwordBox().text(), QString());

        pick(f, "***All Groups");
        QCOMPARE(f.shownColumn(2), QStringList({"a.example", "z.example", "j.example", "b.example"}));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 4"));
        QCOMPARE(groupButtons(f), 0);

        f.edit(3, 3, "robert"); // Work's record, in edit
        pick(f, "Bank");
        QCOMPARE(f.stored("b.example")[2].toString(), QString("robert"));
        QCOMPARE(f.shownColumn(2), QStringList({"a.example", "z.example"}));
        pick(f, "Work");
        f.edit(0, 3, "bobby");
        f.key(Qt::Key_Return);
        QCOMPARE(f.stored("b.example")[6].toString(), QString("robert"));
    }

    // A row stored under a group name not known yet asks first whether to create the group.
    void aNewGroupNameOnSave_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("create");
        QTest::newRow("yes") << "O'Brien's" << true;
        QTest::newRow("no") << "O'Brien's" << false;
        QTest::newRow("the start of another group's name") << "Ban" << true;
    }
    void aNewGroupNameOnSave() {
        QFETCH(QString, name);
        QFETCH(bool, create);
        MainWindowFixture f(kRecords, {}, [] {
            gShowPasswordColumn = true;
            gConfirmUpdate = false;
        });
        pick(f, "Work");
        f.click(1, 1);
        f.type(name);
        f.key(Qt::Key_Tab);
        f.type("o.example");
        f.key(Qt::Key_Return);
        f.desktop.answer(create ? Answer::Yes : Answer::No);
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.last().text,
                 QString("The Master Group Name does not exists.\nAre you sure you want to create it?"));
        QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ?", {name}), create ? 1 : 0);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = ?", {name}), create ? 1 : 0);
        QCOMPARE(entries(f.combo()).contains(name), create);
        // The combo still names the group whose rows the grid shows.
        QCOMPARE(f.combo().currentText(), QString("Work"));
        QCOMPARE(f.grid().isEditing(), !create);
        if (!create) return;
        pick(f, name);
        QCOMPARE(f.shownColumn(2), QStringList{"o.example"});
    }

    void theDropDownListsTheGroups() {
        MainWindowFixture f(kRecords, kEmptyGroup);
        QCOMPARE(f.form->groupDropDown()->items(), QStringList({"Bank", "Empty", "Joe's", "Work"}));
        f.click(0, 1);
        f.key(Qt::Key_F2);
        auto* editor = f.view().findChild<QComboBox*>("SSDBDropDownEditor");
        QVERIFY(editor);
        editor->setCurrentIndex(3);
        emit editor->activated(3);
        QCOMPARE(f.grid().cellValue(1).toString(), QString("Work"));
    }

    void renaming_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("after"); // the group's name afterwards
        QTest::addColumn<QString>("message");
        QTest::newRow("one record, blanks around") << "Joe's" << "  Ann's  " << "Ann's" << "";
        QTest::newRow("no records") << "Empty" << "Spare" << "Spare" << "";
        QTest::newRow("case only") << "Bank" << "BANK" << "BANK" << "";
        QTest::newRow("blanks only: no change") << "Work" << "   " << "Work" << "";
        QTest::newRow("a name taken")
            << "Work" << "BANK" << "Work"
            << "Error 3022 (The changes you requested to the table were not successful because they would create "
               "duplicate values in the index or primary key) in procedure btnRenameGroupName of Form frmMain";
    }
    void renaming() {
        QFETCH(QString, group);
        QFETCH(QString, answer);
        QFETCH(QString, after);
        QFETCH(QString, message);
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, group);
        const int records = f.grid().rowCount();
        f.desktop.answerInput(answer);
        QTest::mouseClick(&f.control<QPushButton>("btnRenameGroupName"), Qt::LeftButton);
        QCOMPARE(f.desktop.prompts.first().text, found(group, records) + "Rename Group Name '" + group + "' to...");
        QCOMPARE(f.desktop.prompts.first().title, QString("Rename Group Name"));
        QCOMPARE(f.desktop.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        const auto count = [&](const char* table, const QString& name) {
            return f.count(QString("SELECT COUNT(*) FROM %1 WHERE GroupName = ? COLLATE BINARY").arg(table), {name});
        };
        QCOMPARE(count("tblMasterData", after), 1);
        QCOMPARE(count("tblChildData", after), records);
        if (after == group) return;
        QCOMPARE(count("tblMasterData", group), 0);
        // The window shows the group under its new name.
        QCOMPARE(f.combo().currentText(), after);
        QCOMPARE(f.grid().caption(), "Total Records for Group Name - " + after + ": " + QString::number(records));
    }

    void deleting_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("question");
        const QString then = "The selected Group Name and associated %1 will be deleted.\n\n"
                             "Continue with the delete process?";
        QTest::newRow("no records") << "Empty" << "Delete Group Name 'Empty'?";
        QTest::newRow("one record") << "Joe's" << found("Joe's", 1) + then.arg("record");
        QTest::newRow("several records") << "Bank" << found("Bank", 2) + then.arg("records");
    }
    void deleting() {
        QFETCH(QString, group);
        QFETCH(QString, question);
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, group);
        const int records = f.grid().rowCount();
        const auto count = [&](const char* table) {
            return f.count(QString("SELECT COUNT(*) FROM %1 WHERE GroupName = ?").arg(table), {group});
        };
        f.desktop.answer(Answer::No);
        QTest::mouseClick(&f.control<QPushButton>("btnDeleteGroupName"), Qt::LeftButton);
        QCOMPARE(f.desktop.last().text, question);
        QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.desktop.last().icon, Icon::Question);
        QCOMPARE(count("tblMasterData"), 1);
        QCOMPARE(count("tblChildData"), records);

        f.desktop.answer(Answer::Yes);
        QTest::mouseClick(&f.control<QPushButton>("btnDeleteGroupName"), Qt::LeftButton);
        QCOMPARE(count("tblMasterData"), 0);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 4 - records);
        // Back to all groups.
        QVERIFY(!entries(f.combo()).contains(group));
        QCOMPARE(f.combo().currentText(), QString("***All Groups"));
        QCOMPARE(f.grid().caption(), "Total Records for all Groups: " + QString::number(4 - records));
        QCOMPARE(f.passwordBox().text(), QString());
    }
};

QTEST_MAIN(GroupsTest)
#include "tst_groups.moc"
