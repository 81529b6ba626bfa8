// keyvale_gui
#include "mainwindow/GridDropDown.h"
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

// How many of the rename and delete buttons are enabled.
int groupButtons(MainWindowFixture& f) {
    return int(f.control<QPushButton>("btnRenameGroupName").isEnabled()) +
           int(f.control<QPushButton>("btnDeleteGroupName").isEnabled());
}

} // namespace

class GroupsTest : public QObject {
    Q_OBJECT
private slots:
    void pickingAGroupFiltersTheGridAndBack() {
        MainWindowFixture f(kRecords, kEmptyGroup);
        QCOMPARE(entries(f.combo()), QStringList({"***All Groups", "Bank", "Empty", "Joe's", "Work"}));
        QCOMPARE(f.combo().currentText(), QString("***All Groups"));
        QCOMPARE(groupButtons(f), 0);

        pick(f, "Joe's");
        QCOMPARE(f.shownColumn(2), QStringList{"j.example"});
        QCOMPARE(f.status(), QString("Group Name Joe's selected."));
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Joe's: 1"));
        QCOMPARE(groupButtons(f), 2);
        QCOMPARE(f.passwordBox().text(), QString("pw-j"));
        QVERIFY(f.view().hasFocus());

        pick(f, "Empty");
        QCOMPARE(f.grid().rowCount(), 0);
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Empty: 0"));
        QCOMPARE(f.passwordBox().text(), QString());

        pick(f, "***All Groups");
        QCOMPARE(f.shownColumn(2), QStringList({"a.example", "z.example", "j.example", "b.example"}));
        QCOMPARE(f.status(), QString("Group Name ***All Groups selected."));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 4"));
        QCOMPARE(groupButtons(f), 0);
    }

    // A row in edit is stored before the grid shows another group; the first row of the next group has
    // priors of its own though it stands at the same row number as the row current before.
    void switchingGroups() {
        MainWindowFixture f(kRecords, {}, [] { gConfirmUpdate = false; });
        f.edit(3, 3, "robert"); // Work's record, in edit
        pick(f, "Bank");
        QCOMPARE(f.stored("b.example")[2].toString(), QString("robert"));
        QCOMPARE(f.grid().rowCount(), 2);
        QCOMPARE(f.combo().currentText(), QString("Bank"));
        pick(f, "Work");
        f.edit(0, 3, "bobby");
        f.key(Qt::Key_Return);
        QCOMPARE(f.stored("b.example")[6].toString(), QString("robert"));
    }

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
        QCOMPARE(f.status(), QString(create ? "Saved Record" : "Add Mode"));
        if (!create) return;
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Work: 2"));
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
        QCOMPARE(editor->count(), 4);
        editor->setCurrentIndex(3);
        emit editor->activated(3);
        QCOMPARE(f.grid().cellValue(1).toString(), QString("Work"));
    }

    void renaming_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("prompt"); // after the line on the records found, if any
        QTest::addColumn<QString>("after");  // the group's name afterwards
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* group, const char* answer, const char* found,
                            const char* after, const QString& message = {}) {
            QTest::newRow(name) << QString(group) << QString(answer)
                                << QString(found) + "Rename Group Name '" + group + "' to..." << QString(after)
                                << message;
        };
        row("several records", "Bank", "Savings", "Keyvale has detected 2 records associated to Group Name 'Bank'\n",
            "Savings");
        row("one record, blanks around", "Joe's", "  Ann's  ",
            "Keyvale has detected 1 record associated to Group Name 'Joe's'\n", "Ann's");
        row("no records", "Empty", "Spare", "", "Spare");
        row("case only", "Bank", "BANK", "Keyvale has detected 2 records associated to Group Name 'Bank'\n", "BANK");
        row("blanks only: no change", "Work", "   ", "Keyvale has detected 1 record associated to Group Name 'Work'\n",
            "Work");
        row("a name taken", "Work", "BANK", "Keyvale has detected 1 record associated to Group Name 'Work'\n", "Work",
            "Error 3022 (The changes you requested to the table were not successful because they would create "
            "duplicate values in the index or primary key) in procedure btnRenameGroupName of Form frmMain");
    }
    void renaming() {
        QFETCH(QString, group);
        QFETCH(QString, answer);
        QFETCH(QString, prompt);
        QFETCH(QString, after);
        QFETCH(QString, message);
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, group);
        const int records = f.grid().rowCount();
        f.desktop.answerInput(answer);
        QTest::mouseClick(&f.control<QPushButton>("btnRenameGroupName"), Qt::LeftButton);
        QCOMPARE(f.desktop.prompts.first().text, prompt);
        QCOMPARE(f.desktop.prompts.first().title, QString("Rename Group Name"));
        QCOMPARE(f.desktop.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ? COLLATE BINARY", {after}), 1);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = ? COLLATE BINARY", {after}), records);
        if (after == group) return;
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ? COLLATE BINARY", {group}), 0);
        // The window shows the group under its new name.
        QCOMPARE(f.combo().currentText(), after);
        QCOMPARE(f.grid().caption(), "Total Records for Group Name - " + after + ": " + QString::number(records));
        QCOMPARE(groupButtons(f), 2);
    }

    void deleting_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("question");
        QTest::newRow("no records") << "Empty" << QString("Delete Group Name 'Empty'?");
        QTest::newRow("one record") << "Joe's"
                                    << QString("Keyvale has detected 1 record associated to Group Name 'Joe's'\n"
                                               "The selected Group Name and associated record will be deleted.\n\n"
                                               "Continue with the delete process?");
        QTest::newRow("several records") << "Bank"
                                         << QString(
                                                "Keyvale has detected 2 records associated to Group Name 'Bank'\n"
                                                "The selected Group Name and associated records will be deleted.\n\n"
                                                "Continue with the delete process?");
    }
    void deleting() {
        QFETCH(QString, group);
        QFETCH(QString, question);
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, group);
        const int records = f.grid().rowCount();
        auto countOf = [&](const char* table) {
            return f.count(QString("SELECT COUNT(*) FROM %1 WHERE GroupName = ?").arg(table), {group});
        };

        f.desktop.answer(Answer::No);
        QTest::mouseClick(&f.control<QPushButton>("btnDeleteGroupName"), Qt::LeftButton);
        QCOMPARE(f.desktop.last().text, question);
        QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.desktop.last().icon, Icon::Question);
        QCOMPARE(countOf("tblMasterData"), 1);
        QCOMPARE(countOf("tblChildData"), records);

        f.desktop.answer(Answer::Yes);
        QTest::mouseClick(&f.control<QPushButton>("btnDeleteGroupName"), Qt::LeftButton);
        QCOMPARE(countOf("tblMasterData"), 0);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 4 - records);
        // Back to all groups.
        QVERIFY(!entries(f.combo()).contains(group));
        QCOMPARE(f.combo().currentText(), QString("***All Groups"));
        QCOMPARE(f.grid().caption(), "Total Records for all Groups: " + QString::number(4 - records));
        QCOMPARE(groupButtons(f), 0);
        QCOMPARE(f.passwordBox().text(), QString());
    }
};

QTEST_MAIN(GroupsTest)
#include "tst_groups.moc"
