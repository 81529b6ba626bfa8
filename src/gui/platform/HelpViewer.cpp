#include "platform/HelpViewer.h"

#include "platform/Desktop.h"
#include "platform/Units.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
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
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(twipsToPixels(10500, this), twipsToPixels(9000, this));

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("txtHelp"));
    // Links are followed here: pages of the help in this window, anything else in the user's browser.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpViewer::followLink);

    auto* buttons = new QDialogButtonBox(this);
    auto* contents = buttons->addButton(QStringLiteral("C&ontents"), QDialogButtonBox::ActionRole);
    contents->setObjectName(QStringLiteral("btnContents"));
    contents->setAutoDefault(false);
    connect(contents, &QPushButton::clicked, this, [this] {
        anchor_ = QStringLiteral("contents");
        browser_->scrollToAnchor(anchor_);
    });
    auto* close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    browser_->setFocus();
}

HelpViewer* HelpViewer::showTopic(QWidget* owner, const QString& helpFile, int context) {
    if (!theViewer) theViewer = new HelpViewer(owner);
    theViewer->openTopic(helpFile, context);
    // Help opened together with a window that is not on screen yet (the first-run setup) comes up beside
    // it without taking the keyboard: the user types into that window, not into the help.
    const bool alongside = owner && !owner->isVisible();
    theViewer->setAttribute(Qt::WA_ShowWithoutActivating, alongside);
    theViewer->show();
    if (alongside) return theViewer;
    theViewer->raise();
    theViewer->activateWindow();
    return theViewer;
}

HelpViewer* HelpViewer::instance() {
    return theViewer;
}

void HelpViewer::openTopic(const QString& helpFile, int context) {
    const QFileInfo file(helpFile);
    if (!file.isFile()) {
        anchor_.clear();
        browser_->setHtml(QStringLiteral("<h2>Help is not available</h2>"
                                         "<p>The help file <b>%1</b> could not be found.</p>"
                                         "<p>Keyvale itself works normally without it. To get the help back, "
                                         "reinstall Keyvale; your data is kept in its own folder and is not "
                                         "touched by a reinstall.</p>")
                              .arg(helpFile.toHtmlEscaped()));
        return;
    }
    anchor_ = QStringLiteral("topic%1").arg(context);
    QUrl url = QUrl::fromLocalFile(file.absoluteFilePath());
    url.setFragment(anchor_);
    browser_->setSource(url);
    scrollToTopic();
}

QString HelpViewer::shownText() const {
    return browser_->toPlainText();
}

void HelpViewer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The page is laid out again at the window's real width once it is on screen; scroll after that.
    QTimer::singleShot(0, this, &HelpViewer::scrollToTopic);
}

void HelpViewer::scrollToTopic() {
    if (anchor_.isEmpty()) return;
    browser_->scrollToAnchor(anchor_);
}

void HelpViewer::followLink(const QUrl& link) {
    const QUrl target = browser_->source().resolved(link);
    if (!target.isLocalFile()) {
        desktop().openUrl(link.toString());
        return;
    }
    anchor_ = target.fragment();
    browser_->setSource(target);
    scrollToTopic();
}

} // namespace kv
