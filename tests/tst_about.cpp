#include "access/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "support/Widgets.h"
#include "tools/frmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kv;
using kv::test::child;
using kv::test::ScriptedDesktop;
using kv::test::showActive;

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        test::resetProgramState();
        BuildVersionText();
        gAppPath = gWinDir = "/opt/keyvale/";
    }

    // While the box is open the tune plays and the idle timer waits; closing it in any way ends both.
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
        QCOMPARE(about.windowTitle(), "About Keyvale");
        QCOMPARE(child<QLabel>(about, "lblOwner")->text(), gMakerNotice + " Keyvale Developers\n\n");
        QVERIFY(gFormOpen);
        QCOMPARE(desktop.tunes, QStringList{"/opt/keyvale/AboutTune.wav"});
        showActive(about);
        auto* timer = about.findChild<QTimer*>("tmrAutoClose");
        QVERIFY(timer && timer->isActive());
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
    }

    // A link opens its address when the mouse button is let go, or on Enter once tabbed to.
    void linksOpenTheirAddress() {
        ScriptedDesktop desktop;
        frmAbout about;
        about.show();
        auto* email = child<QLabel>(about, "lblEmail");
        QTest::mousePress(email, Qt::LeftButton);
        QVERIFY(desktop.openedUrls.isEmpty());
        QTest::mouseRelease(email, Qt::LeftButton);
        auto* site = child<QLabel>(about, "lblMyWebSite");
        site->setFocus(Qt::TabFocusReason);
        QTest::keyClick(site, Qt::Key_Return);
        QCOMPARE(desktop.openedUrls, QStringList({"mailto:keyvale@example.org", "https://keyvale.example.org"}));
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
