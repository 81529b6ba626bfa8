// keyvale_gui
#include "tools/HelpViewer.h"

#include "platform/Units.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kv {

namespace {
QPointer<HelpViewer> theViewer;
}

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Keyvale Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(twipsToPixels(9000), twipsToPixels(9000));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("txtHelp"));
    browser_->setOpenExternalLinks(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
}

HelpViewer* HelpViewer::showTopic(QWidget* owner, const QString& helpFile, int context) {
    if (!theViewer) theViewer = new HelpViewer(owner);
    theViewer->openTopic(helpFile, context);
    theViewer->show();
    theViewer->raise();
    theViewer->activateWindow();
    return theViewer;
}

HelpViewer* HelpViewer::instance() { return theViewer; }

void HelpViewer::openTopic(const QString& helpFile, int context) {
    if (!QFileInfo(helpFile).isFile()) {
        browser_->setHtml(QStringLiteral("<h2>Help is not available</h2><p>The help file <b>%1</b> could not be "
                                         "found. Reinstall Keyvale to restore it.</p>")
                              .arg(helpFile.toHtmlEscaped()));
        return;
    }
    QUrl url = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
    url.setFragment(QStringLiteral("topic%1").arg(context));
    browser_->setSource(url);
    browser_->scrollToAnchor(url.fragment());
}

QString HelpViewer::shownText() const { return browser_->toPlainText(); }

} // namespace kv
