// The Options dialog and the colour picker driven as a user would: typing, keys, clicks.
#include "grid/GridDropDown.h"
#include "tools/ColorSwatch.h"
#include "tools/frmColorPicker.h"
#include "tools/frmOptions.h"
#include "tst_main_driver.h"

using namespace kv;
using namespace kv::test;

namespace {

qint64 bgr(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}

// Alt and a letter; a button pressed by its access key clicks a moment later, as on screen.
void accessKey(QWidget& window, Qt::Key key) {
    QTest::keyClick(&window, key, Qt::AltModifier);
    QTest::qWait(150);
}
void key(Qt::Key k) {
    QTest::keyClick(QApplication::focusWidget(), k);
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
        QTest::addColumn<QString>("message");
        row("over the most", "200", "120", "Shutdown Time can not exceed 120 seconds.");
        row("under the least", "10", "15", kLowest);
        row("no number", "soon", "15", kLowest);
        row("number and a word", "45 seconds", "45", "");
        row("a fraction", " 60.5", "60.5", "");
    }
    void shutDownTimeOnLeaving() {
        QFETCH(QString, typed);
        QFETCH(QString, left);
        QFETCH(QString, message);
        ScriptedDesktop desktop;
        TempAppFolder folder;
        frmOptions options;
        showActive(options);
        auto* box = child<QLineEdit>(options, "txtShutDownTime");
        accessKey(options, Qt::Key_T);
        QCOMPARE(box->selectedText(), QString("60"));
        QTest::keyClicks(box, typed);
        key(Qt::Key_Tab);
        QCOMPARE(box->text(), left);
        QCOMPARE(desktop.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // Save with a time over the most (Alt+S leaves the box where it is) corrects it, keeps the dialog open
    // and stores nothing; so does a time under the least. The next Save stores every option.
    void saveChecksTheTime() {
        ScriptedDesktop desktop;
        TempAppFolder folder;
        frmOptions options;
        showActive(options);
        auto* box = child<QLineEdit>(options, "txtShutDownTime");
        accessKey(options, Qt::Key_U); // Confirm &Update off
        box->setText("500");
        accessKey(options, Qt::Key_S);
        QCOMPARE(desktop.messages(), QStringList{"The maximum allowable Shutdown Time is 120 seconds."});
        QCOMPARE(box->text(), QString("120"));
        QCOMPARE(gShutDownTime, qint16(120));
        box->setText("");
        accessKey(options, Qt::Key_S);
        QCOMPARE(desktop.messages().last(), kLowest);
        QCOMPARE(box->text(), QString("15"));
        QVERIFY(options.isVisible());
        QCOMPARE(folder.option("ShutDownTime") + folder.option("ConfirmUpdate"), QString("60-1"));

        box->setText("20.5"); // halves go to the even number
        accessKey(options, Qt::Key_S);
        QVERIFY(!options.isVisible());
        QCOMPARE(folder.option("ShutDownTime") + folder.option("ConfirmUpdate"), QString("200"));
    }

    // The three show/hide boxes change the running settings at once, but only Save stores them; the main
    // window keeps its columns either way until the next start.
    void exitAfterImmediateBoxes() {
        MainWindowFixture f;
        const bool columnHidden = f.view().isColumnHidden(4);
        frmOptions options(f.form.get());
        showActive(options);
        for (Qt::Key k : {Qt::Key_M, Qt::Key_E, Qt::Key_R, Qt::Key_P}) // Colu&mn, T&ext, &Record, &Prior
            accessKey(options, k);
        QVERIFY(gShowPasswordColumn && gShowPasswordText && gShowDeletedRecord && !gShowPriorUserIDPassword);
        accessKey(options, Qt::Key_X);
        QVERIFY(!options.isVisible());
        for (const char* option :
             {"ShowPasswordColumn", "ShowPasswordText", "ShowDeletedRecord", "ShowPriorUserIDPassword"})
            QCOMPARE(f.folder.option(option), QString("0"));
        QCOMPARE(f.view().isColumnHidden(4), columnHidden);
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
        const auto backgrounds = [&] {
            std::unique_ptr<QComboBox> dropDown(f.form->groupDropDown()->createEditor(nullptr));
            QList<QColor> out;
            for (const QAbstractItemModel* m : {f.grid().model(), f.combo().model(), dropDown->model()})
                out << m->index(0, m == f.grid().model() ? 2 : 0).data(Qt::BackgroundRole).value<QBrush>().color();
            return out;
        };
        const QList<QColor> before = backgrounds();
        QCOMPARE(before, QList<QColor>(3, before[0]));

        frmOptions options(f.form.get());
        showActive(options);
        auto* swatch = child<ColorSwatch>(options, "picGridColorPick0");
        // The picker is modal: answer it from inside its loop.
        connect(
            &options, &frmOptions::colorPickerShown, &options,
            [](QDialog* picker) {
                QTest::mouseDClick(child<ColorSwatch>(*picker, "MiniPicker7"), Qt::LeftButton); // 255, 0, 0
            },
            Qt::QueuedConnection);
        swatch->setFocus();
        key(Qt::Key_Return);
        QCOMPARE(swatch->accessibleName(), QString("Back Color Odd: red 255, green 0, blue 0"));
        showActive(options); // the picker has closed
        accessKey(options, save ? Qt::Key_S : Qt::Key_X);
        QCOMPARE(backgrounds(), save ? QList<QColor>(3, QColor(255, 0, 0)) : before);
        QCOMPARE(f.folder.option("GridBackColorOdd"), save ? QString(" 255") : QString("16776960"));
    }

    // The palette: 40 swatches, each with its colour and a name a screen reader says.
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
        for (int row = 0; row < 5; ++row) {
            const QStringList cells = QString(rows[row]).split(' ');
            for (int column = 0; column < 8; ++column) {
                const QStringList rgbi = cells[column].split(QRegularExpression("[,\\[\\]]"), Qt::SkipEmptyParts);
                auto* swatch = child<ColorSwatch>(picker, qPrintable("MiniPicker" + rgbi[3]));
                QCOMPARE(swatch->color(), bgr(rgbi[0].toInt(), rgbi[1].toInt(), rgbi[2].toInt()));
                QCOMPARE(swatch->accessibleName(), QString("red %1, green %2, blue %3").arg(rgbi[0], rgbi[1], rgbi[2]));
            }
        }
    }

    // Opening shows the given colour even when it is not in the palette; pressing a swatch only shows it,
    // Return takes nothing, and Choice, a double-click or Enter from the keyboard takes the current colour.
    void pickingColours_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<qint64>("color");
        QTest::newRow("press, then Return") << "press-return" << qint64(-1);
        QTest::newRow("press, then Choice") << "press-choice" << bgr(0, 128, 0);
        QTest::newRow("keyboard: Tab, arrows and Enter") << "keys" << bgr(192, 0, 0);
    }
    void pickingColours() {
        QFETCH(QString, how);
        QFETCH(qint64, color);
        frmColorPicker picker(bgr(1, 2, 3));
        showActive(picker);
        auto* current = child<ColorSwatch>(picker, "CurColor");
        QCOMPARE(current->color(), bgr(1, 2, 3));
        if (how == "keys") {
            // The palette is one stop of Tab; the arrows move in it, showing each colour.
            for (int i = 0; i < 8 && QApplication::focusWidget()->objectName() != "MiniPicker0"; ++i)
                key(Qt::Key_Tab);
            key(Qt::Key_Right);
            key(Qt::Key_Down);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString("MiniPicker8"));
            QCOMPARE(current->color(), bgr(192, 0, 0));
            key(Qt::Key_Return);
        } else {
            QTest::mousePress(child<ColorSwatch>(picker, "MiniPicker24"), Qt::LeftButton);
            QCOMPARE(current->color(), bgr(0, 128, 0));
            child<QPushButton>(picker, how == "press-return" ? "btnReturn" : "btnPick")->click();
        }
        QVERIFY(!picker.isVisible());
        QCOMPARE(picker.colorChosen(), color >= 0);
        QCOMPARE(picker.color(), color >= 0 ? color : bgr(1, 2, 3));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "tst_optionsdialog.moc"
