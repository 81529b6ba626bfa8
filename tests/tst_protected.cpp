// The protected database through the windows: the Options check box turning protection on and off, and the
// main window, log-on, recovery, import, export and backup doing on a protected file what they do on a plain one.
#include "access/modAdmin.h"
#include "mainwindow/ExportFlow.h"
#include "mainwindow/MainToolbar.h"
#include "platform/BusyProgress.h"
#include "startup/frmSetup.h"
#include "store/RecordCodec.h"
#include "store/RecordFields.h"
#include "store/Schema.h"
#include "store/Sqlite.h"
#include "tools/frmFind.h"
#include "tools/frmImportSelect.h"
#include "tools/frmOptions.h"
#include "tst_main_driver.h"

#include <QAction>
#include <QCheckBox>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

using namespace kv;
using namespace kv::test;

namespace {

const QString kPassword = QStringLiteral("secret1"); // the master password as typed
const QString kInvalid = QStringLiteral("Invalid Password!");

const QList<Rec> kRecords = {
    Rec("Bank", "a.example", "ann", "pa", "cheque", "2024-01-02 10:00:00", "ann0", "pa0"),
    Rec("Mail", "b.example", "bob", "pb", "mail box"),
    Rec("Mail", "c.example", "cat", "pc", "third"),
};

// Everything of the records and keys the file holds, as stored, in a fixed order.
QList<QVariantList> storedState(const QString& database) {
    const auto connection = sql::Connection::open(database, kDatabasePassword);
    QList<QVariantList> rows;
    for (const char* sql :
         {"SELECT * FROM tblChildData ORDER BY ChildAutoID", "SELECT * FROM tblPassword",
          "SELECT * FROM tblOptions ORDER BY OptionName", "SELECT * FROM sqlite_master WHERE name = 'tblKeyWrap'"}) {
        sql::Statement st(*connection, QString::fromLatin1(sql));
        while (st.step()) {
            QVariantList row;
            for (int i = 0; i < st.columnCount(); ++i)
                row << st.column(i);
            rows << row;
        }
    }
    return rows;
}

// The secret fields of every record as stored.
QStringList storedSecrets(const TempAppFolder& folder) {
    QStringList values;
    for (const QVariantList& row :
         folder.query("SELECT UserID, Password, Description, PriorUserID, PriorPassword FROM tblChildData"))
        for (const QVariant& v : row)
            values << v.toString();
    return values;
}

// A record's fields as the user sees them, read from the file with the open database's codec.
QStringList clearRecord(const TempAppFolder& folder, const QString& website) {
    const auto rows =
        folder.query(QStringLiteral("SELECT ") + kRecordFieldList + " FROM tblChildData WHERE Website = ?", {website});
    if (rows.size() != 1) return {};
    QStringList clear;
    for (int c = kGroupNameColumn; c <= kPriorPasswordColumn; ++c)
        clear << gRecordCodec.clearText(rows[0][0].toLongLong(), c, rows[0][c]);
    return clear;
}

// The main window over `records`, the master password "SECRET1" with question TWO answered "REX", protected
// when asked. `plainForm` gets the file as it was before protection.
std::unique_ptr<MainWindowFixture> openWindow(bool protect, QList<QVariantList>* plainForm = nullptr,
                                              const QList<Rec>& records = kRecords) {
    return std::make_unique<MainWindowFixture>(records, QStringList{}, [=] {
        gConfirmUpdate = false;
        gShowPasswordColumn = true;
        gMasterPassword = kPassword.toUpper();
        gRecoveryQuestion = QStringLiteral("TWO");
        gRecoveryAnswer = QStringLiteral("REX");
        QVERIFY(SaveMasterPassword());
        if (plainForm) *plainForm = storedState(gDataFolder + "keyvale.mdb");
        if (protect) QCOMPARE(SetDatabaseProtected(true, kPassword), ProtectionChange::Changed);
    });
}

void showGroup(MainWindowFixture& w, const QString& group) {
    const int index = w.combo().findText(group);
    w.combo().setCurrentIndex(index);
    emit w.combo().activated(index);
}

// Another data folder with the master password "OTHER1PW" and two records, protected when asked.
struct OtherFolder {
    explicit OtherFolder(bool protect) {
        createDeliveredDatabase(dir.filePath("keyvale.mdb"));
        auto db = sql::Connection::open(dir.filePath("keyvale.mdb"), kDatabasePassword);
        db->execute("INSERT INTO tblPassword (Password, Question, Answer) VALUES (?, ?, ?)",
                    {encipherField("OTHER1PW"), encipherField("ONE"), encipherField("SOUP")});
        insertRecords([&db](const QString& sql, const QVariantList& p) { db->execute(sql, p); }, records);
        if (protect) QVERIFY(protectDatabase(*db, "other1pw", "ONE", "SOUP"));
    }
    QTemporaryDir dir;
    const QList<Rec> records{Rec("Travel", "t.example", "tom", "pt", "trip", "2021-01-01 00:00:00", "tom0", "pt0"),
                             Rec("Travel", "u.example", "uma", "pu", "tour")};
};

} // namespace

class ProtectedTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setKdfParams({1, 8192}); }
    void cleanup() { qDeleteAll(logOnWindows()); }

    // Save with the box changed asks for the master password and converts every record, the window reading
    // its rows again at the group it showed. A wrong password, a cancelled box or conversion, or a failed write
    // changes nothing in the file and keeps the dialog open; turned off again, the records are byte for byte
    // what they were before they were ever protected.
    void optionsToggle_data() {
        QTest::addColumn<bool>("from");   // protected when the dialog opens
        QTest::addColumn<QString>("how"); // what the user does after Save
        QTest::addColumn<QString>("message");
        for (const bool from : {false, true}) {
            const char* form = from ? "off" : "on";
            QTest::addRow("%s, wrong password", form) << from << "wrong" << kInvalid;
            QTest::addRow("%s, password box cancelled", form) << from << "no password" << QString();
            QTest::addRow("%s, conversion cancelled", form)
                << from << "cancel"
                << (from ? "Cancelled: the records are still protected and stored as they were."
                         : "Cancelled: the records were not protected and are stored as they were.");
            QTest::addRow("%s, a record cannot be written", form)
                << from << "fails"
                << "Error 3146 (disk full) in setRecordsProtected of Form frmMain";
            QTest::addRow("%s", form) << from << "right"
                                      << (from ? "The records are no longer protected with the master password."
                                               : "The records are now protected with the master password.");
        }
    }
    void optionsToggle() {
        QFETCH(bool, from);
        QFETCH(QString, how);
        QFETCH(QString, message);
        QList<QVariantList> plainForm;
        auto w = openWindow(from, &plainForm);
        showGroup(*w, "Mail");
        const auto before = storedState(w->folder.database());
        frmOptions options(w->form.get());
        showActive(options);
        auto* box = child<QCheckBox>(options, "chkProtectRecords");
        QCOMPARE(box->isChecked(), from);
        QTest::keyClick(&options, Qt::Key_B, Qt::AltModifier);
        QTest::qWait(150); // a check box pressed by its access key clicks a moment later, as on screen
        QCOMPARE(box->isChecked(), !from);
        child<QLineEdit>(options, "txtShutDownTime")->setText("90");
        if (how == "fails")
            w->folder.execute(
                "CREATE TRIGGER full BEFORE UPDATE ON tblChildData BEGIN SELECT RAISE(ABORT, 'disk full'); "
                "END");

        w->desktop.answerInput(how == "no password" ? std::nullopt
                                                    : std::optional<QString>(how == "wrong" ? "secret2" : kPassword));
        QTimer stopper;
        if (how == "cancel") {
            w->clock.autoStep = BusyProgress::kShowAfterMs;
            connect(&stopper, &QTimer::timeout, [&] {
                if (auto* busy = options.findChild<QProgressDialog*>("BusyProgress")) busy->cancel();
            });
            stopper.start(0);
        }
        child<QPushButton>(options, "bttnOk")->click();

        QCOMPARE(w->desktop.prompts.first().kind, Prompt::Kind::Input);
        QVERIFY(w->desktop.prompts.first().masked);
        QCOMPARE(w->desktop.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) QCOMPARE(w->desktop.last().icon, how == "fails" ? Icon::None : Icon::Information);
        const bool changed = how == "right";
        QCOMPARE(options.isVisible(), !changed);
        QCOMPARE(gRecordCodec.isProtected(), changed != from);
        QCOMPARE(w->folder.option("ShutDownTime"), QString(changed ? "90" : "60"));
        if (!changed) {
            QCOMPARE(storedState(w->folder.database()), before);
        } else if (from) {
            QCOMPARE(storedState(w->folder.database()).mid(0, kRecords.size() + 1),
                     plainForm.mid(0, kRecords.size() + 1));
            // Rebuilt at the plain records' size: the key table's and the sealed records' pages are gone.
            QCOMPARE(w->folder.scalar("PRAGMA freelist_count").toInt(), 0);
        } else {
            for (const QString& value : storedSecrets(w->folder))
                QVERIFY2(value.startsWith("kv1:"), qPrintable(value));
        }
        QCOMPARE(w->combo().currentText(), QString("Mail"));
        QCOMPARE(w->shownColumn(kUserIdColumn), QStringList({"bob", "cat"}));
        QCOMPARE(w->shownColumn(kPasswordColumn), QStringList({"pb", "pc"}));
        QVERIFY(!QApplication::overrideCursor());
    }

    // The same work on the plain and on the protected file shows and gives the same: the grid, an edit and an
    // added record read back, what Find finds, and the text and CSV exports byte for byte. On the protected
    // file the edited and added records' secrets are stored sealed.
    void sameWorkOnBothForms() {
        QMap<QString, QVariant> seen[2];
        for (const bool protect : {false, true}) {
            auto w = openWindow(protect);
            QMap<QString, QVariant>& saw = seen[protect];
            saw["grid"] = w->shownColumn(kUserIdColumn) + w->shownColumn(kPasswordColumn) +
                          w->shownColumn(kDescriptionColumn) + w->shownColumn(kPriorUserIdColumn);

            w->edit(0, kUserIdColumn, "anna");
            QVERIFY(w->grid().commitRow());
            w->click(w->grid().rowCount(), kGroupNameColumn);
            for (const char* cell : {"Mail", "d.example", "dan", "pd", "new one"}) {
                w->type(cell);
                w->key(Qt::Key_Tab);
            }
            QVERIFY(w->grid().commitRow());
            QCOMPARE(w->grid().rowCount(), kRecords.size() + 1);
            saw["edited"] = clearRecord(w->folder, "a.example").mid(0, 5);
            saw["added"] = clearRecord(w->folder, "d.example").mid(0, 5);
            if (protect)
                for (const QString& value : storedSecrets(w->folder))
                    QVERIFY2(value.isEmpty() || value.startsWith("kv1:"), qPrintable(value));

            for (const QString text : {"dan", "mail box"}) {
                w->grid().moveFirst();
                QApplication::setActiveWindow(w->form.get());
                QTimer::singleShot(0, w->form.get(), [&] {
                    auto* find = w->form->findChild<frmFind*>();
                    QVERIFY(find);
                    child<QComboBox>(*find, "cmbFieldToLookIn")->setCurrentText("All Fields");
                    child<QLineEdit>(*find, "txtFindContent")->setText(text);
                    QTest::mouseClick(child<QPushButton>(*find, "btnFind"), Qt::LeftButton);
                    if (find->isVisible()) find->reject();
                });
                QTest::keyClick(w->form.get(), Qt::Key_F, Qt::ControlModifier);
                saw["found " + text] = w->grid().cellText(kWebsiteColumn);
            }

            for (const char* key : {"AsciiAll", "CSVall"}) {
                w->form->toolbar()->Toolbar_ButtonMenuClick(key);
                saw[key] = fileBytes(ExportFlow::exportFolder() + "/Export" + key + (key[0] == 'A' ? ".txt" : ".csv"));
            }
            QCOMPARE(w->desktop.messages(), QStringList());
        }
        QCOMPARE(seen[0]["edited"].toStringList(), (QStringList{"Bank", "a.example", "anna", "pa", "cheque"}));
        QCOMPARE(seen[0]["added"].toStringList(), (QStringList{"Mail", "d.example", "dan", "pd", "new one"}));
        QCOMPARE(seen[0]["found dan"].toString(), QString("d.example"));
        QCOMPARE(seen[0]["found mail box"].toString(), QString("b.example"));
        QVERIFY(seen[0]["CSVall"].toByteArray().contains("anna"));
        for (auto it = seen[0].cbegin(); it != seen[0].cend(); ++it)
            QCOMPARE(seen[1][it.key()], it.value());
    }

    // Locked, the program forgets the data key and the grid holds no row; the log-on window refuses a wrong
    // password as ever, counting it, and the right one brings the records back and empties its box.
    void lockOutForgetsTheKey() {
        auto w = openWindow(true);
        w->desktop.answer(Answer::Yes); // Continue with Lock out?
        w->control<QAction>("mnuLockOut").trigger();
        QVERIFY(!gRecordCodec.isUnlocked());
        QCOMPARE(w->grid().rowCount(), 0);
        QCOMPARE(logOnWindows().size(), 1);
        frmPassword* logOn = logOnWindows().first();
        auto* typed = child<QLineEdit>(*logOn, "txtPassword");
        typed->setText("secret2");
        child<QPushButton>(*logOn, "bttnContinue")->click();
        QCOMPARE(w->desktop.last().text, kInvalid);
        QCOMPARE(w->desktop.last().icon, Icon::Information);
        QCOMPARE(logOn->attempts(), 1);
        QVERIFY(!gRecordCodec.isUnlocked());
        typed->setText(kPassword);
        child<QPushButton>(*logOn, "bttnContinue")->click();
        QTRY_VERIFY(w->form->isVisible());
        QVERIFY(gRecordCodec.isUnlocked());
        QCOMPARE(typed->text(), QString());
        QCOMPARE(w->shownColumn(kUserIdColumn), QStringList({"ann", "bob", "cat"}));
        QCOMPARE(w->shownColumn(kPasswordColumn), QStringList({"pa", "pb", "pc"}));
    }

    // Recovery on a protected file: the right answer unwraps the key and wraps it under the new password,
    // which then logs on while the old one no longer does; a wrong answer changes nothing.
    void recoveryRewrapsTheKey_data() {
        QTest::addColumn<QString>("answer");
        QTest::newRow("right answer") << "rex";
        QTest::newRow("wrong answer") << "max";
    }
    void recoveryRewrapsTheKey() {
        QFETCH(QString, answer);
        const bool right = answer == "rex";
        auto w = openWindow(true);
        LockRecords();
        gPwdLength = QStringLiteral("6");
        gAlphaNumeric = QStringLiteral("YES");
        frmSetup setup;
        setup.show();
        child<QLineEdit>(setup, "txtAns2")->setText(answer);
        child<QLineEdit>(setup, "txtPassword1")->setText("newpass7");
        child<QLineEdit>(setup, "txtPassword2")->setText("newpass7");
        child<QPushButton>(setup, "bttnContinue")->click();
        QCOMPARE(w->desktop.messages(),
                 right ? QStringList() : QStringList{"Your question and/or answer are wrong, sorry about your luck."});
        QCOMPARE(gSetupDone, right);
        QCOMPARE(gRecordCodec.isUnlocked(), right);
        QCOMPARE(child<QLineEdit>(setup, "txtPassword1")->text(), QString(right ? "" : "newpass7"));

        LockRecords();
        w->desktop.clear();
        frmPassword logOn;
        logOn.show();
        QStringList refused;
        for (const QString& typed : {kPassword, QStringLiteral("newpass7")}) {
            child<QLineEdit>(logOn, "txtPassword")->setText(typed);
            child<QPushButton>(logOn, "bttnContinue")->click();
            if (gLoggedOn) break;
            refused << typed;
        }
        QVERIFY(gLoggedOn);
        QCOMPARE(refused, right ? QStringList{kPassword} : QStringList());
        QCOMPARE(w->desktop.messages(), right ? QStringList{kInvalid} : QStringList());
        QCOMPARE(clearRecord(w->folder, "a.example").mid(2, 2), (QStringList{"ann", "pa"}));
    }

    // Import Selected Data between the two forms: a protected other database opens with its own master
    // password, and records imported into a protected database are stored sealed. Either way they arrive as
    // they were.
    void importBetweenForms_data() {
        QTest::addColumn<bool>("otherProtected");
        QTest::addColumn<bool>("mineProtected");
        QTest::newRow("from a protected database") << true << false;
        QTest::newRow("into a protected database") << false << true;
        QTest::newRow("both protected") << true << true;
    }
    void importBetweenForms() {
        QFETCH(bool, otherProtected);
        QFETCH(bool, mineProtected);
        OtherFolder other(otherProtected);
        auto w = openWindow(mineProtected);
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<frmImportSelect*>(QApplication::activeModalWidget());
            if (!(opened = window)) return;
            QApplication::setActiveWindow(window);
            auto* path = child<QLineEdit>(*window, "txtKeyvaleImportPath");
            path->setFocus();
            path->setText(other.dir.path());
            QTest::keyClick(path, Qt::Key_Tab);
            QApplication::processEvents(); // the path is taken once the focus has moved on
            child<QLineEdit>(*window, "txtPassword")->setText("wrong1");
            child<QPushButton>(*window, "btnGetData")->click();
            child<QLineEdit>(*window, "txtPassword")->setText("other1pw");
            child<QPushButton>(*window, "btnGetData")->click();
            GridDriver rows{child<RecordsGrid>(*window, "SSDBGrid")};
            rows.clickSelector(0);
            rows.clickSelector(1, Qt::ShiftModifier);
            w->desktop.answer(Answer::Yes);
            child<QPushButton>(*window, "btnImport")->click();
            window->reject();
        });
        w->control<QAction>("mnuEditImportSelectData").trigger();
        QVERIFY(opened);
        QCOMPARE(w->desktop.messages(), (QStringList{kInvalid, "Do you really want to import 2 rows of data?",
                                                     "Keyvale successfully imported 2 rows of data."}));
        for (const Rec& r : other.records)
            QCOMPARE(clearRecord(w->folder, r.website),
                     (QStringList{r.group, r.website, r.user, r.password, r.description, r.date, r.priorUser,
                                  r.priorPassword}));
        const auto sealed = w->folder.query("SELECT UserID, Password FROM tblChildData WHERE GroupName = 'Travel'");
        for (const QVariantList& row : sealed)
            for (const QVariant& v : row)
                QCOMPARE(v.toString().startsWith("kv1:"), mineProtected);
    }

    // A backup of a protected file passes the restore's check (the restore is then declined); one whose key
    // table was altered is refused before anything is asked.
    void restoreChecksTheKeys_data() {
        QTest::addColumn<QString>("alter"); // SQL run on the backup
        QTest::addColumn<QString>("refusal");
        QTest::newRow("intact") << QString() << QString();
        QTest::newRow("wrapped key cut short")
            << "UPDATE tblKeyWrap SET WrappedKey = substr(WrappedKey, 9) WHERE WrapName = 'MasterPassword'"
            << "The key table tblKeyWrap is damaged: the key for the MasterPassword is not in a form Keyvale wrote.";
        QTest::newRow("recovery wrap gone") << "DELETE FROM tblKeyWrap WHERE WrapName = 'RecoveryAnswer'"
                                            << "The key table tblKeyWrap is damaged: the key for the RecoveryAnswer "
                                               "is missing.";
    }
    void restoreChecksTheKeys() {
        QFETCH(QString, alter);
        QFETCH(QString, refusal);
        auto w = openWindow(true);
        QTemporaryDir backups;
        w->desktop.answerFolder(backups.path());
        w->control<QAction>("mnuFileBackup").trigger();
        QVERIFY(w->desktop.last().text.startsWith("Backup was Successful."));
        const QString backup = backups.filePath("keyvale.bak");
        if (!alter.isEmpty()) sql::Connection::open(backup, kDatabasePassword)->execute(alter);
        const QByteArray database = fileBytes(w->folder.database());
        w->desktop.clear();
        if (refusal.isEmpty()) w->desktop.answer(Answer::No); // About to restore?
        w->control<QAction>("mnuFileRestore").trigger();
        QCOMPARE(w->desktop.messages(),
                 QStringList{refusal.isEmpty() ? "About to restore Keyvale's backup data!\nThis process can not be "
                                                 "reversed!\nContinue with the restore process?"
                                               : refusal + "\nRestore did not complete!"});
        QCOMPARE(fileBytes(w->folder.database()), database);
        QCOMPARE(w->desktop.ended, 0);
    }
};

QTEST_MAIN(ProtectedTest)
#include "tst_protected.moc"
