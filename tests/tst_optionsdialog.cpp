// keyvale_gui
// The Options dialog and the colour picker driven as a user would: typing, keys, clicks.
#include "mainwindow/GridDropDown.h"
#include "support/Widgets.h"
#include "tools/ColorSwatch.h"
#include "tools/frmColorPicker.h"
#include "tools/frmOptions.h"
#include "tst_main_driver.h"

#include <QCheckBox>
#include <QStandardItemModel>

using namespace kv;
using namespace kv::test;

namespace {

QString stored(const TempAppFolder& folder, const char* option) {
    return folder.scalar("select OptionValue from tblOptions where OptionName = ?", {QString(option)}).toString();
}
qint64 bgr(int r, int g, int b) { return r | (g << 8) | (b << 16); }

// Answers the colour picker once it is up: `act` runs inside its modal loop.
void whenPickerShown(frmOptions& options, std::function<void(frmColorPicker&)> act) {
    QObject::connect(
        &options, &frmOptions::colorPickerShown, &options,
        [act](QDialog* picker) { act(*static_cast<frmColorPicker*>(picker)); }, Qt::QueuedConnection);
}

// Shows a window and makes it the active one, so that its access keys work.
void showActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window)) qWarning("%s did not become active", qPrintable(window.objectName()));
}

// Presses Alt and a letter; a button pressed by its access key clicks a moment later, as on screen.
void accessKey(QWidget& window, Qt::Key key) {
    QTest::keyClick(&window, key, Qt::AltModifier);
    QTest::qWait(150);
}

const QString kLowest = "Shutdown Time can not be lower then 15 seconds.";

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    // The shutdown time is read by its leading number when the user leaves the box, and kept within 15 to
    // 120 seconds with a message.
    void shutDownTimeOnLeaving_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QStringList>("messages");
        const QString highest = "Shutdown Time can not exceed 120 seconds.";
        QTest::newRow("over the most") << "200" << "120" << QStringList{highest};
        QTest::newRow("far under the least") << "3" << "15" << QStringList{kLowest};
        QTest::newRow("under the least") << "10" << "15" << QStringList{kLowest};
        QTest::newRow("number and a word") << "45 seconds" << "45" << QStringList{};
        QTest::newRow("blanks before it") << "  90" << "90" << QStringList{};
        QTest::newRow("fraction kept") << "60.5" << "60.5" << QStringList{};
        QTest::newRow("no number") << "soon" << "15" << QStringList{kLowest};
        QTest::newRow("the limits") << "120" << "120" << QStringList{};
    }
    void shutDownTimeOnLeaving() {
        QFETCH(QString, typed);
        QFETCH(QString, left);
        QFETCH(QStringList, messages);
        ScriptedDesktop desktop;
        TempAppFolder folder;
        frmOptions options;
        showActive(options);
        auto* box = child<QLineEdit>(options, "txtShutDownTime");
        QCOMPARE(box->text(), QString("60"));
        accessKey(options, Qt::Key_T);
        QVERIFY(box->hasFocus());
        QApplication::processEvents();
        QCOMPARE(box->selectedText(), QString("60"));
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->text(), left);
        QCOMPARE(desktop.messages(), messages);
    }

    // Save with a time over the most (Alt+S leaves the box where it is) corrects it, keeps the dialog open
    // and stores nothing; the second Save stores every option. A time under the least is never stored.
    void saveChecksTheTime() {
        ScriptedDesktop desktop;
        TempAppFolder folder;
        frmOptions options;
        showActive(options);
        auto* box = child<QLineEdit>(options, "txtShutDownTime");
        box->setText("500");
        child<QCheckBox>(options, "chkConfirmUpdate")->setChecked(false);
        accessKey(options, Qt::Key_S);
        QCOMPARE(desktop.messages(), QStringList{"The maximum allowable Shutdown Time is 120 seconds."});
        QCOMPARE(box->text(), QString("120"));
        QCOMPARE(gShutDownTime, qint16(120));
        QVERIFY(options.isVisible());
        QCOMPARE(stored(folder, "ShutDownTime"), QString("60"));
        QCOMPARE(stored(folder, "ConfirmUpdate"), QString("-1"));

        box->setText("");
        accessKey(options, Qt::Key_S);
        QCOMPARE(desktop.messages().last(), kLowest);
        QCOMPARE(box->text(), QString("15"));
        QVERIFY(options.isVisible());
        QCOMPARE(stored(folder, "ShutDownTime"), QString("60"));

        box->setText("20.5"); // halves go to the even number
        accessKey(options, Qt::Key_S);
        QVERIFY(!options.isVisible());
        QCOMPARE(stored(folder, "ShutDownTime"), QString("20"));
        QCOMPARE(stored(folder, "ConfirmUpdate"), QString("0"));
    }

    // The three show/hide boxes change the running settings at once, but only Save stores them; the main
    // window keeps its columns either way until the next start.
    void exitAfterImmediateBoxes() {
        MainWindowFixture f;
        const bool columnHidden = f.view().isColumnHidden(4);
        frmOptions options(f.form.get());
        showActive(options);
        accessKey(options, Qt::Key_M); // Show Password Colu&mn
        accessKey(options, Qt::Key_E); // Show Password T&ext
        accessKey(options, Qt::Key_R); // Show Deleted &Record
        accessKey(options, Qt::Key_P); // Show &Prior UserID/Password: only on Save
        QVERIFY(gShowPasswordColumn && gShowPasswordText && gShowDeletedRecord);
        QVERIFY(!gShowPriorUserIDPassword);
        accessKey(options, Qt::Key_X);
        QVERIFY(!options.isVisible());
        for (const char* option : {"ShowPasswordColumn", "ShowPasswordText", "ShowDeletedRecord", "ShowPriorUserIDPassword"})
            QCOMPARE(stored(f.folder, option), QString("0"));
        QCOMPARE(f.view().isColumnHidden(4), columnHidden);
        QVERIFY(f.desktop.prompts.isEmpty());
    }

    // A colour picked for a swatch reaches the grid and both group lists on Save, and is stored; after Exit
    // nothing changes.
    void colorsOnSave_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("Save") << true;
        QTest::newRow("Exit") << false;
    }
    void colorsOnSave() {
        QFETCH(bool, save);
        MainWindowFixture f({Rec("Bank", "a.example"), Rec("Mail", "b.example")});
        const auto gridBack = [&] {
            return f.grid().model()->index(0, 2).data(Qt::BackgroundRole).value<QBrush>().color();
        };
        const auto comboBack = [&] {
            return f.combo().model()->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color();
        };
        const auto dropDownBack = [&] {
            std::unique_ptr<QComboBox> editor(f.form->groupDropDown()->createEditor(nullptr));
            return editor->model()->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color();
        };
        const QColor before = gridBack();
        QCOMPARE(comboBack(), before);
        QCOMPARE(dropDownBack(), before);

        frmOptions options(f.form.get());
        showActive(options);
        auto* swatch = child<ColorSwatch>(options, "picGridColorPick0");
        QCOMPARE(swatch->color(), qint64(16776960));
        whenPickerShown(options, [](frmColorPicker& picker) {
            QTest::mouseDClick(child<ColorSwatch>(picker, "MiniPicker7"), Qt::LeftButton); // 255, 0, 0
        });
        swatch->setFocus();
        QTest::keyClick(swatch, Qt::Key_Return);
        QCOMPARE(swatch->color(), bgr(255, 0, 0));
        QCOMPARE(swatch->accessibleName(), QString("Back Color Odd: red 255, green 0, blue 0"));
        showActive(options); // the picker has closed
        accessKey(options, save ? Qt::Key_S : Qt::Key_X);
        const QColor expected = save ? QColor(255, 0, 0) : before;
        QCOMPARE(gridBack(), expected);
        QCOMPARE(comboBack(), expected);
        QCOMPARE(dropDownBack(), expected);
        QCOMPARE(stored(f.folder, "GridBackColorOdd"), save ? QString(" 255") : QString("16776960"));
    }

    // The palette: 40 swatches in 5 rows of 8, each in its place with its colour and a name a screen reader
    // says.
    void palette() {
        // Red, green, blue of each swatch, rows top to bottom, with the swatch's index in brackets.
        const char* rows[5] = {
            "0,0,0[0] 128,0,0[9] 128,64,0[14] 128,128,0[19] 0,128,0[24] 0,128,128[29] 0,0,128[34] 128,0,128[39]",
            "128,128,128[2] 192,0,0[8] 192,64,0[13] 192,192,0[18] 0,192,0[23] 0,192,192[28] 0,0,192[33] 192,0,192[38]",
            "192,192,192[3] 255,0,0[7] 255,128,0[12] 255,255,0[17] 0,255,0[22] 0,255,255[27] 0,0,255[32] 255,0,255[37]",
            "224,224,224[4] 255,128,128[6] 255,192,128[11] 255,255,128[16] 128,255,128[21] 128,255,255[26] "
            "128,128,255[31] 255,128,255[36]",
            "255,255,255[5] 255,192,192[1] 255,224,192[10] 255,255,192[15] 192,255,192[20] 192,255,255[25] "
            "192,192,255[30] 255,192,255[35]",
        };
        frmColorPicker picker(0);
        picker.show();
        QCOMPARE(picker.findChildren<ColorSwatch*>(QRegularExpression("^MiniPicker\\d+$")).size(), 40);
        QPoint above[8];
        for (int row = 0; row < 5; ++row) {
            int left = -1;
            for (const QString& cell : QString(rows[row]).split(' ')) {
                const QStringList parts = cell.split(QRegularExpression("[,\\[\\]]"), Qt::SkipEmptyParts);
                auto* swatch = child<ColorSwatch>(picker, qPrintable("MiniPicker" + parts[3]));
                QCOMPARE(swatch->color(), bgr(parts[0].toInt(), parts[1].toInt(), parts[2].toInt()));
                QCOMPARE(swatch->accessibleName(), QString("red %1, green %2, blue %3").arg(parts[0], parts[1], parts[2]));
                // In its row, right of the one before, and straight below the one above.
                const QPoint at = swatch->geometry().topLeft();
                const int column = int(QString(rows[row]).split(' ').indexOf(cell));
                QVERIFY(at.x() > left);
                QVERIFY(row == 0 || (at.x() == above[column].x() && at.y() > above[column].y()));
                left = at.x();
                above[column] = at;
            }
        }
    }

    // Opening shows the given colour even when it is not in the palette; pressing a swatch only shows it,
    // Return takes nothing, and a double-click, Choice, or Enter from the keyboard takes the current colour.
    void pickingColours_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<qint64>("color");
        const qint64 start = bgr(1, 2, 3);
        QTest::newRow("press, then Return") << "press-return" << false << start;
        QTest::newRow("press, then Choice") << "press-choice" << true << bgr(0, 128, 0);
        QTest::newRow("double-click a swatch") << "dclick" << true << bgr(0, 0, 255);
        QTest::newRow("double-click the current colour") << "dclick-current" << true << start;
        QTest::newRow("keyboard: arrows and Enter") << "keys" << true << bgr(192, 0, 0);
        QTest::newRow("Escape") << "escape" << false << start;
    }
    void pickingColours() {
        QFETCH(QString, how);
        QFETCH(bool, chosen);
        QFETCH(qint64, color);
        frmColorPicker picker(bgr(1, 2, 3));
        showActive(picker);
        auto* current = child<ColorSwatch>(picker, "CurColor");
        QCOMPARE(current->color(), bgr(1, 2, 3));
        QVERIFY(picker.windowTitle().isEmpty());
        if (how.startsWith("press")) {
            QTest::mousePress(child<ColorSwatch>(picker, "MiniPicker24"), Qt::LeftButton);
            QCOMPARE(current->color(), bgr(0, 128, 0));
            QVERIFY(picker.isVisible());
            child<QPushButton>(picker, how == "press-return" ? "btnReturn" : "btnPick")->click();
        } else if (how == "dclick") {
            QTest::mouseDClick(child<ColorSwatch>(picker, "MiniPicker32"), Qt::LeftButton);
        } else if (how == "dclick-current") {
            QTest::mouseDClick(current, Qt::LeftButton);
        } else if (how == "keys") {
            // Tab reaches the palette as one stop; the arrows move in it, showing each colour.
            QWidget* focus = QApplication::focusWidget();
            for (int i = 0; i < 8 && focus->objectName() != "MiniPicker0"; ++i) {
                QTest::keyClick(focus, Qt::Key_Tab);
                focus = QApplication::focusWidget();
            }
            QCOMPARE(focus->objectName(), QString("MiniPicker0"));
            QTest::keyClick(focus, Qt::Key_Right);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString("MiniPicker8"));
            QCOMPARE(current->color(), bgr(192, 0, 0));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else {
            QTest::keyClick(&picker, Qt::Key_Escape);
        }
        QVERIFY(!picker.isVisible());
        QCOMPARE(picker.colorChosen(), chosen);
        QCOMPARE(picker.color(), color);
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "tst_optionsdialog.moc"
