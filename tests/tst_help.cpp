#include "startup/WidgetRoutines.h"
#include "startup/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "tools/HelpViewer.h"

#include <QFile>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::TempAppFolder;

namespace {

QTextBrowser* browserOf(HelpViewer* viewer) {
    return viewer->findChild<QTextBrowser*>(QStringLiteral("txtHelp"));
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
    if (!view.contains(line.center())) return false;
    const QScrollBar* bar = browser->verticalScrollBar();
    return line.top() < view.height() / 4 || bar->value() == bar->maximum();
}

void closeViewer() {
    if (HelpViewer* viewer = HelpViewer::instance()) viewer->close();
    QTRY_VERIFY(!HelpViewer::instance());
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { closeViewer(); }

    // Each topic the program opens lands on its own heading, also when the window is already open at
    // another topic.
    void topicsOpenAtTheirHeading_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("heading");
        QTest::newRow("10 main window") << 10 << "The main window";
        QTest::newRow("20 first run") << 20 << "Getting started: the first run";
        QTest::newRow("30 log-on") << 30 << "Logging on and changing the master password";
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
            QCOMPARE(viewer->windowTitle(), QStringLiteral("Keyvale Help"));
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

    void missingFileIsReportedInTheWindow() {
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        QVERIFY(QFile::remove(gHelpFile));
        ShowHelpTopic(nullptr, 10);
        HelpViewer* viewer = HelpViewer::instance();
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->shownText().contains(QStringLiteral("Help is not available")));
        QVERIFY(viewer->shownText().contains(gHelpFile));
        QVERIFY(desktop.prompts.isEmpty());
    }

    void contextFrom9998OnOpensNothing_data() {
        QTest::addColumn<int>("context");
        QTest::newRow("9998") << 9998;
        QTest::newRow("70000") << 70000;
    }
    void contextFrom9998OnOpensNothing() {
        QFETCH(int, context);
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        ShowHelpTopic(nullptr, context);
        QVERIFY(!HelpViewer::instance());
    }

    // Links inside the page move within the window; addresses outside it go to the user's programs.
    void linksAreFollowed() {
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        ShowHelpTopic(nullptr, 10);
        HelpViewer* viewer = HelpViewer::instance();
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QTextBrowser* browser = browserOf(viewer);
        emit browser->anchorClicked(QUrl(QStringLiteral("#topic110")));
        QTRY_VERIFY(showsAtTop(browser, QStringLiteral("topic110")));
        emit browser->anchorClicked(QUrl(QStringLiteral("https://keyvale.example.org/")));
        QCOMPARE(desktop.openedUrls, QStringList{QStringLiteral("https://keyvale.example.org/")});
        QTRY_VERIFY(showsAtTop(browser, QStringLiteral("topic110")));
    }

    // Every link of the page leads to an anchor that exists, and every anchor is named once.
    void pageLinksResolve() {
        QFile page(QStringLiteral(KEYVALE_RESOURCES_DIR "/help/keyvale-help.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        QSet<QString> names;
        for (const auto& m : QRegularExpression(QStringLiteral("<a name=\"([^\"]+)\"")).globalMatch(html)) {
            QVERIFY2(!names.contains(m.captured(1)), qPrintable(m.captured(1)));
            names.insert(m.captured(1));
        }
        int links = 0;
        for (const auto& m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html)) {
            QVERIFY2(names.contains(m.captured(1)), qPrintable(m.captured(1)));
            ++links;
        }
        QVERIFY(links > 10);
    }
};

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
