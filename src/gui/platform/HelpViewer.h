#pragma once

#include <QDialog>

class QTextBrowser;
class QUrl;

namespace kv {

// The help window, titled "Keyvale Help": the delivered help pages, opened at a topic's context number
// (anchor "topic<number>"). A missing help file is reported in the window itself.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows the one help window (creating it on first use) at the topic.
    static HelpViewer* showTopic(QWidget* owner, const QString& helpFile, int context);
    // The window, if it is open.
    static HelpViewer* instance();

    void openTopic(const QString& helpFile, int context);
    QString shownText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void followLink(const QUrl& link);
    // Brings the topic's heading to the top once the page is laid out at the window's size.
    void scrollToTopic();

    QTextBrowser* browser_;
    QString anchor_;
};

} // namespace kv
