#include "platform/BusyProgress.h"
#include "support/TestClock.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTest>

using namespace kv;

// The feedback long work gives: the busy pointer at once, the dialog only past a second, Cancel stops.
class BusyProgressTest : public QObject {
    Q_OBJECT
private slots:
    void pointerThenDialogThenCancel() {
        test::TestClock clock;
        clock.autoStep = 0;
        QWidget owner;
        {
            BusyProgress busy(&owner, QStringLiteral("Exporting records..."), 100);
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            clock.advance(BusyProgress::kShowAfterMs - 100);
            QVERIFY(busy.step(10));
            QVERIFY(!busy.dialog());
            clock.advance(200);
            QVERIFY(busy.step(20));
            QVERIFY(busy.dialog() && busy.dialog()->isVisible());
            QCOMPARE(busy.dialog()->value(), 20);
            busy.dialog()->cancel();
            clock.advance(100);
            QVERIFY(!busy.step(30));
            QVERIFY(!busy.step(40)); // stays cancelled
        }
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(BusyProgressTest)
#include "tst_busyprogress.moc"
