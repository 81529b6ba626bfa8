#include "platform/Units.h"
#include "startup/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/Widgets.h"
#include "tools/frmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::child;

namespace {

QColor textColour(QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

void showActive(QWidget& w) {
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        test::resetProgramState();
        BuildVersionText();
        gAppPath = gWinDir = "/opt/keyvale/";
    }
    void cleanup() { test::resetProgramState(); }

    void showsTheProgramAndItsMaker() {
        ScriptedDesktop desktop;
        frmAbout about;
        QCOMPARE(about.windowTitle(), "About Keyvale");
        QVERIFY(about.windowFlags() & Qt::WindowStaysOnTopHint);
        auto* title = child<QLabel>(about, "lblTitle");
        QCOMPARE(title->text(), "Keyvale");
        QVERIFY(title->font().bold());
        QCOMPARE(child<QLabel>(about, "lblVersion")->text(), gVersionText);
        QVERIFY(gVersionText.startsWith("v "));
        QCOMPARE(child<QLabel>(about, "lblOwner")->text(), gMakerNotice + " Keyvale Developers\n\n");
        QCOMPARE(child<QLabel>(about, "lblEmail")->text(), "keyvale@example.org");
        QCOMPARE(child<QLabel>(about, "lblMyWebSite")->text(), "https://keyvale.example.org");
        QVERIFY(!child<QLabel>(about, "Image1")->pixmap().isNull());
        auto* ok = child<QPushButton>(about, "cmdOK");
        QCOMPARE(ok->text(), "OK");
        QVERIFY(ok->isDefault());
        // The background runs from turquoise at the top to orange at the bottom.
        const QImage background = about.palette().brush(QPalette::Window).texture().toImage();
        QVERIFY(!background.isNull());
        QCOMPARE(QColor(background.pixel(0, 0)), QColor(30, 190, 200));
        const QColor bottom(background.pixel(0, background.height() - 1));
        QVERIFY(qAbs(bottom.red() - 255) <= 2 && qAbs(bottom.green() - 170) <= 2 && qAbs(bottom.blue() - 90) <= 2);
    }

    // While the box is open the idle timer waits and the tune plays; every way of closing it stops the
    // tune and lets the idle timer go on.
    void closes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "ok";
        QTest::newRow("30 seconds") << "timeout";
        QTest::newRow("focus lost") << "deactivate";
    }
    void closes() {
        QFETCH(QString, how);
        ScriptedDesktop desktop;
        frmAbout about;
        QVERIFY(gFormOpen);
        QCOMPARE(desktop.tunes, QStringList{"/opt/keyvale/AboutTune.wav"});
        showActive(about);
        auto* timer = about.findChild<QTimer*>("tmrAutoClose");
        QVERIFY(timer && timer->isActive() && timer->isSingleShot());
        QCOMPARE(timer->interval(), 30000);
        QWidget other;
        if (how == "ok")
            QTest::mouseClick(child<QPushButton>(about, "cmdOK"), Qt::LeftButton);
        else if (how == "timeout")
            QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        else
            showActive(other);
        QTRY_VERIFY(!about.isVisible());
        QVERIFY(!gFormOpen);
        QCOMPARE(desktop.tuneStops, 1);
        QVERIFY(!timer->isActive());
        QVERIFY(desktop.prompts.isEmpty());
    }

    // A link is lit while pressed and opens its address on release, or on Enter once tabbed to.
    void linksOpenTheirAddress_data() {
        QTest::addColumn<QString>("url"); // rows are named by the link's label
        QTest::newRow("lblEmail") << "mailto:keyvale@example.org";
        QTest::newRow("lblMyWebSite") << "https://keyvale.example.org";
    }
    void linksOpenTheirAddress() {
        QFETCH(QString, url);
        ScriptedDesktop desktop;
        frmAbout about;
        about.show();
        auto* link = child<QLabel>(about, QTest::currentDataTag());
        const QColor normal = colorFromBgr(0xC00000), pressed = colorFromBgr(0xFFFF00);
        QCOMPARE(textColour(link), normal);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mousePress(link, Qt::LeftButton);
        QCOMPARE(textColour(link), pressed);
        QVERIFY(desktop.openedUrls.isEmpty());
        QTest::mouseRelease(link, Qt::LeftButton);
        QCOMPARE(textColour(link), normal);
        QCOMPARE(desktop.openedUrls, QStringList{url});

        desktop.openedUrls.clear();
        link->setFocus(Qt::TabFocusReason);
        QTest::keyClick(link, Qt::Key_Return);
        QCOMPARE(desktop.openedUrls, QStringList{url});
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
