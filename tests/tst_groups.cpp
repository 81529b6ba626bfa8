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

bool groupButtonsEnabled(MainWindowFixture& f) {
    const bool rename = f.control<QPushButton>("btnRenameGroupName").isEnabled();
    const bool remove = f.control<QPushButton>("btnDeleteGroupName").isEnabled();
    if (rename != remove) qWarning("the two group buttons disagree");
    return rename && remove;
}

QStringList shownWebsites(MainWindowFixture& f) {
    QStringList out;
    for (int r = 0; r < f.grid().rowCount(); ++r)
        out << f.grid().model()->index(r, 2).data().toString();
    return out;
}

} // namespace

class GroupsTest : public QObject {
    Q_OBJECT
private slots:
    void theComboListsAllGroupsFirst() {
        MainWindowFixture f(kRecords, kEmptyGroup);
        QCOMPARE(entries(f.combo()), QStringList({"***All Groups", "Bank", "Empty", "Joe's", "Work"}));
        QCOMPARE(f.combo().currentText(), QString("***All Groups"));
        QVERIFY(!groupButtonsEnabled(f));
        QCOMPARE(shownWebsites(f), QStringList({"a.example", "z.example", "j.example", "b.example"}));
    }

    void pickingAGroupFiltersTheGridAndBack() {
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, "Work");
        QCOMPARE(shownWebsites(f), QStringList{"b.example"});
        QCOMPARE(f.status(), QString("Group Name Work selected."));
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Work: 1"));
        QVERIFY(groupButtonsEnabled(f));
        QCOMPARE(f.passwordBox().text(), QString("pw-b"));
        QVERIFY(f.grid().view()->hasFocus());

        pick(f, "Empty");
        QCOMPARE(f.grid().rowCount(), 0);
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Empty: 0"));
        QCOMPARE(f.passwordBox().text(), QString());

        pick(f, "***All Groups");
        QCOMPARE(f.grid().rowCount(), 4);
        QCOMPARE(f.status(), QString("Group Name ***All Groups selected."));
        QCOMPARE(f.grid().caption(), QString("Total Records for all Groups: 4"));
        QVERIFY(!groupButtonsEnabled(f));
    }

    void theArrowKeysPickTooAndOtherKeysDoNot() {
        MainWindowFixture f(kRecords);
        f.combo().setFocus();
        QTest::keyClick(&f.combo(), Qt::Key_Down);
        QCOMPARE(f.status(), QString("Group Name Bank selected."));
        QCOMPARE(f.grid().rowCount(), 2);
        f.combo().setFocus();
        QTest::keyClick(&f.combo(), Qt::Key_Down);
        QCOMPARE(f.grid().rowCount(), 1);
        QCOMPARE(f.combo().currentText(), QString("Joe's"));
        f.combo().setFocus();
        QTest::keyClick(&f.combo(), Qt::Key_Up);
        QCOMPARE(f.grid().rowCount(), 2);
    }

    void aRowInEditIsStoredBeforeTheGridShowsAnotherGroup() {
        MainWindowFixture f(kRecords, {}, [] { gConfirmUpdate = false; });
        f.edit(3, 3, "robert"); // Work's record, in edit
        pick(f, "Bank");
        QCOMPARE(f.stored("b.example")[2].toString(), QString("robert"));
        QCOMPARE(f.grid().rowCount(), 2);
        QCOMPARE(f.combo().currentText(), QString("Bank"));
    }

    void aNewGroupNameOnSave_data() {
        QTest::addColumn<bool>("create");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void aNewGroupNameOnSave() {
        QFETCH(bool, create);
        MainWindowFixture f(kRecords, {}, [] {
            gShowPasswordColumn = true;
            gConfirmUpdate = false;
        });
        pick(f, "Work");
        f.click(1, 1);
        f.type("Travel");
        f.key(Qt::Key_Tab);
        f.type("t.example");
        f.key(Qt::Key_Return);
        f.desktop.answer(create ? Answer::Yes : Answer::No);
        f.key(Qt::Key_Return);
        QCOMPARE(f.desktop.last().text,
                 QString("The Master Group Name does not exists.\nAre you sure you want to create it?"));
        QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.desktop.last().icon, Icon::Question);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = 'Travel'"), create ? 1 : 0);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = 'Travel'"), create ? 1 : 0);
        QCOMPARE(entries(f.combo()).contains("Travel"), create);
        // The combo still names the group whose rows the grid shows.
        QCOMPARE(f.combo().currentText(), QString("Work"));
        QVERIFY(groupButtonsEnabled(f));
        QCOMPARE(f.grid().isEditing(), !create);
        QCOMPARE(f.status(), QString(create ? "Saved Record" : "Add Mode"));
        if (create) QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Work: 2"));
    }

    void anExistingGroupNameIsNotAskedAbout() {
        MainWindowFixture f(kRecords, {}, [] { gConfirmUpdate = false; });
        f.edit(2, 1, "bank"); // a group name is the same group whatever its capitals
        f.key(Qt::Key_Return);
        QCOMPARE(f.status(), QString("Saved Changes"));
        QVERIFY(f.desktop.prompts.isEmpty());
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData"), 3);
    }

    void theDropDownListsTheGroups() {
        MainWindowFixture f(kRecords, kEmptyGroup);
        GridDropDown* list = f.form->groupDropDown();
        QCOMPARE(list->items(), QStringList({"Bank", "Empty", "Joe's", "Work"}));
        QCOMPARE(list->columnCaption(0), QString("GroupName"));
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
        QTest::addColumn<QVariant>("answer"); // null: cancelled
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<QString>("after"); // the group's name afterwards
        QTest::addColumn<QString>("message");
        QTest::newRow("two records")
            << "Bank" << QVariant("Savings")
            << "Keyvale has detected 2 records associated to Group Name 'Bank'\nRename Group Name 'Bank' to..."
            << "Savings"
            << "";
        QTest::newRow("one record, blanks around")
            << "Work" << QVariant("  Office  ")
            << "Keyvale has detected 1 record associated to Group Name 'Work'\nRename Group Name 'Work' to..."
            << "Office"
            << "";
        QTest::newRow("no records") << "Empty" << QVariant("Spare") << "Rename Group Name 'Empty' to..."
                                    << "Spare"
                                    << "";
        QTest::newRow("blanks only: no change") << "Work" << QVariant("   ")
                                                << "Keyvale has detected 1 record associated to Group Name 'Work'\n"
                                                   "Rename Group Name 'Work' to..."
                                                << "Work"
                                                << "";
        QTest::newRow("cancelled") << "Work" << QVariant()
                                   << "Keyvale has detected 1 record associated to Group Name 'Work'\n"
                                      "Rename Group Name 'Work' to..."
                                   << "Work"
                                   << "";
        QTest::newRow("apostrophes") << "Joe's" << QVariant("Ann's")
                                     << "Keyvale has detected 1 record associated to Group Name 'Joe's'\n"
                                        "Rename Group Name 'Joe's' to..."
                                     << "Ann's"
                                     << "";
        QTest::newRow("a name taken") << "Work" << QVariant("BANK")
                                      << "Keyvale has detected 1 record associated to Group Name 'Work'\n"
                                         "Rename Group Name 'Work' to..."
                                      << "Work"
                                      << "Error 3022 (The changes you requested to the table were not successful "
                                         "because they would create duplicate values in the index or primary key) in "
                                         "procedure btnRenameGroupName of Form frmMain";
    }
    void renaming() {
        QFETCH(QString, group);
        QFETCH(QVariant, answer);
        QFETCH(QString, prompt);
        QFETCH(QString, after);
        QFETCH(QString, message);
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, group);
        const int records = f.grid().rowCount();
        f.desktop.answerInput(answer.isValid() ? std::optional<QString>(answer.toString()) : std::nullopt);
        QTest::mouseClick(&f.control<QPushButton>("btnRenameGroupName"), Qt::LeftButton);
        QCOMPARE(f.desktop.prompts.first().kind, Prompt::Kind::Input);
        QCOMPARE(f.desktop.prompts.first().text, prompt);
        QCOMPARE(f.desktop.prompts.first().title, QString("Rename Group Name"));
        QCOMPARE(f.desktop.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ?", {after}), 1);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = ?", {after}), records);
        if (after != group) {
            QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ?", {group}), 0);
            // The window shows the group under its new name.
            QCOMPARE(f.combo().currentText(), after);
            QCOMPARE(f.grid().rowCount(), records);
            QCOMPARE(f.grid().caption(), "Total Records for Group Name - " + after + ": " + QString::number(records));
            QCOMPARE(f.status(), "Group Name " + after + " selected.");
            QVERIFY(groupButtonsEnabled(f));
        }
    }

    void deleting_data() {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("question");
        QTest::newRow("no records") << "Empty"
                                    << "Delete Group Name 'Empty'?";
        QTest::newRow("one record") << "Work"
                                    << "Keyvale has detected 1 record associated to Group Name 'Work'\n"
                                       "The selected Group Name and associated record will be deleted.\n\n"
                                       "Continue with the delete process?";
        QTest::newRow("several records") << "Bank"
                                         << "Keyvale has detected 2 records associated to Group Name 'Bank'\n"
                                            "The selected Group Name and associated records will be deleted.\n\n"
                                            "Continue with the delete process?";
        QTest::newRow("apostrophe") << "Joe's"
                                    << "Keyvale has detected 1 record associated to Group Name 'Joe's'\n"
                                       "The selected Group Name and associated record will be deleted.\n\n"
                                       "Continue with the delete process?";
    }
    void deleting() {
        QFETCH(QString, group);
        QFETCH(QString, question);
        MainWindowFixture f(kRecords, kEmptyGroup);
        pick(f, group);
        const int records = f.grid().rowCount();

        f.desktop.answer(Answer::No);
        QTest::mouseClick(&f.control<QPushButton>("btnDeleteGroupName"), Qt::LeftButton);
        QCOMPARE(f.desktop.last().text, question);
        QCOMPARE(f.desktop.last().buttons, Buttons::YesNo);
        QCOMPARE(f.desktop.last().icon, Icon::Question);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ?", {group}), 1);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = ?", {group}), records);

        f.desktop.answer(Answer::Yes);
        QTest::mouseClick(&f.control<QPushButton>("btnDeleteGroupName"), Qt::LeftButton);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblMasterData WHERE GroupName = ?", {group}), 0);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = ?", {group}), 0);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData"), 4 - records);
        // Back to all groups.
        QVERIFY(!entries(f.combo()).contains(group));
        QCOMPARE(f.combo().currentText(), QString("***All Groups"));
        QCOMPARE(f.grid().rowCount(), 4 - records);
        QCOMPARE(f.grid().caption(), "Total Records for all Groups: " + QString::number(4 - records));
        QVERIFY(!groupButtonsEnabled(f));
        QCOMPARE(f.passwordBox().text(), QString());
    }

    void groupNamesWithApostrophesWorkEverywhere() {
        MainWindowFixture f(kRecords, {}, [] {
            gConfirmUpdate = false;
            gShowPasswordColumn = true;
        });
        pick(f, "Joe's");
        QCOMPARE(shownWebsites(f), QStringList{"j.example"});
        QCOMPARE(f.grid().caption(), QString("Total Records for Group Name - Joe's: 1"));
        f.click(1, 1);
        f.type("O'Brien's");
        f.key(Qt::Key_Tab);
        f.type("o.example");
        f.key(Qt::Key_Return);
        f.desktop.answer(Answer::Yes);
        f.key(Qt::Key_Return);
        QCOMPARE(f.count("SELECT COUNT(*) FROM tblChildData WHERE GroupName = ?", {"O'Brien's"}), 1);
        pick(f, "O'Brien's");
        QCOMPARE(shownWebsites(f), QStringList{"o.example"});
    }
};

QTEST_MAIN(GroupsTest)
#include "tst_groups.moc"
