#include "startup/WidgetRoutines.h"
#include "startup/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "tools/HelpViewer.h"

#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::TempAppFolder;

namespace {

QTextBrowser* browserOf(HelpViewer* viewer) {
    return viewer->findChild<QTextBrowser*>("txtHelp");
}

// The block that holds the named anchor, or an invalid block.
QTextBlock anchorBlock(QTextDocument* document, const QString& name) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name)) return block;
    return {};
}

// The anchor's block is on screen, and at the top unless the page cannot scroll any further.
bool showsAtTop(QTextBrowser* browser, const QString& anchor) {
    const QTextBlock block = anchorBlock(browser->document(), anchor);
    if (!block.isValid()) return false;
    const QRect line = browser->cursorRect(QTextCursor(block));
    const QRect view = browser->viewport()->rect();
    const QScrollBar* bar = browser->verticalScrollBar();
    return view.contains(line.center()) && (line.top() < view.height() / 4 || bar->value() == bar->maximum());
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        if (HelpViewer* viewer = HelpViewer::instance()) viewer->close();
        QTRY_VERIFY(!HelpViewer::instance());
    }

    // Each topic the program opens lands on its own heading, also when the window is already open at
    // another topic.
    void topicsOpenAtTheirHeading_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("heading");
        QTest::newRow("10 main window") << 10 << "The main window";
        QTest::newRow("20 first run") << 20 << "Getting started: the first run";
        QTest::newRow("110 recovery") << 110 << "Setup and recovery: when you forget the master password";
    }
    void topicsOpenAtTheirHeading() {
        QFETCH(int, context);
        QFETCH(QString, heading);
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        QWidget owner;
        owner.show();
        for (const int first : {context, context == 10 ? 110 : 10}) {
            ShowHelpTopic(&owner, first);
            HelpViewer* viewer = HelpViewer::instance();
            QVERIFY(viewer);
            QVERIFY(QTest::qWaitForWindowExposed(viewer));
            QCOMPARE(viewer->windowTitle(), "Keyvale Help");
            ShowHelpTopic(&owner, context);
            QCOMPARE(HelpViewer::instance(), viewer);
            QTextBrowser* browser = browserOf(viewer);
            const QString anchor = QStringLiteral("topic%1").arg(context);
            QCOMPARE(anchorBlock(browser->document(), anchor).text(), heading);
            QTRY_VERIFY2(showsAtTop(browser, anchor), qPrintable(anchor));
            QVERIFY(browser->verticalScrollBar()->value() > 0 || context == 20);
        }
        QVERIFY(desktop.prompts.isEmpty());
    }

    // Context numbers from 9998 on are not help topics and open nothing; a missing help file is
    // reported in the window rather than in a message box.
    void contextsAndMissingFile_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<QString>("shown"); // empty: no window
        QTest::newRow("9997") << 9997 << true << "The main window";
        QTest::newRow("9998") << 9998 << true << "";
        QTest::newRow("file missing") << 10 << false << "Help is not available";
    }
    void contextsAndMissingFile() {
        QFETCH(int, context);
        QFETCH(bool, fileThere);
        QFETCH(QString, shown);
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        if (!fileThere) QVERIFY(QFile::remove(gHelpFile));
        ShowHelpTopic(nullptr, context);
        HelpViewer* viewer = HelpViewer::instance();
        QCOMPARE(viewer != nullptr, !shown.isEmpty());
        if (viewer) {
            QVERIFY(viewer->isVisible());
            QVERIFY(viewer->shownText().contains(shown));
            QCOMPARE(viewer->shownText().contains(gHelpFile), !fileThere);
        }
        QVERIFY(desktop.prompts.isEmpty());
    }

    // Links inside the page move within the window; addresses outside it go to the user's programs.
    void linksAreFollowed() {
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        ShowHelpTopic(nullptr, 10);
        HelpViewer* viewer = HelpViewer::instance();
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QTextBrowser* browser = browserOf(viewer);
        emit browser->anchorClicked(QUrl("#topic110"));
        QTRY_VERIFY(showsAtTop(browser, "topic110"));
        emit browser->anchorClicked(QUrl("https://keyvale.example.org/"));
        QCOMPARE(desktop.openedUrls, QStringList{"https://keyvale.example.org/"});
        QTRY_VERIFY(showsAtTop(browser, "topic110"));
    }
};

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
