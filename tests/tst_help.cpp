#include "platform/WidgetRoutines.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "platform/HelpViewer.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

using namespace kv;
using kv::test::ScriptedDesktop;
using kv::test::TempAppFolder;

namespace {

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

    // One window shows each topic at its heading, opened fresh or from another topic; links inside the
    // page move within it and addresses outside it go to the user's programs.
    void topicsAndLinks() {
        ScriptedDesktop desktop;
        TempAppFolder folder(false);
        QWidget owner;
        owner.show();
        HelpViewer* viewer = nullptr;
        for (const auto& [context, heading] :
             {std::pair<int, QString>{110, "Setup and recovery: when you forget the master password"},
              {10, "The main window"},
              {20, "Getting started: the first run"}}) {
            ShowHelpTopic(&owner, context);
            if (!viewer) viewer = HelpViewer::instance();
            QVERIFY(viewer && QTest::qWaitForWindowExposed(viewer));
            QCOMPARE(HelpViewer::instance(), viewer);
            auto* browser = viewer->findChild<QTextBrowser*>("txtHelp");
            const QString anchor = QStringLiteral("topic%1").arg(context);
            QCOMPARE(anchorBlock(browser->document(), anchor).text(), heading);
            QTRY_VERIFY2(showsAtTop(browser, anchor), qPrintable(anchor));
            QVERIFY(browser->verticalScrollBar()->value() > 0 || context == 20);
        }
        auto* browser = viewer->findChild<QTextBrowser*>("txtHelp");
        emit browser->anchorClicked(QUrl("#topic110"));
        QTRY_VERIFY(showsAtTop(browser, "topic110"));
        emit browser->anchorClicked(QUrl("https://keyvale.example.org/"));
        QCOMPARE(desktop.openedUrls, QStringList{"https://keyvale.example.org/"});
        QTRY_VERIFY(showsAtTop(browser, "topic110"));

        viewer->close();
        QTRY_VERIFY(!HelpViewer::instance());
        ShowHelpTopic(nullptr, 9997); // the highest context that still opens the help
        QVERIFY(HelpViewer::instance());
    }
};

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
