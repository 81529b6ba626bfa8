#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace kv {

// The about box: the program's title and version, the maker's notice and contact links. It stays on
// top, plays a short tune while it is open and closes itself after 30 seconds, on OK or Esc, and when
// it loses the focus.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    static const QString kMakerEmail;
    static const QString kMakerWebSite;
    // The tune, looked for in gWinDir.
    static const QString kTuneFile;
    static constexpr int kAutoCloseMilliseconds = 30000;

    // Every way of closing ends here: the tune stops and the idle timer may go on.
    void done(int result) override;

public slots:
    void cmdOK_Click();
    void lblEmail_Click();
    void lblMyWebSite_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Stops the tune and clears the form-open flag, once.
    void unload();

    QTimer* tmrAutoClose_;
    bool wasActive_ = false;
    bool unloaded_ = false;
};

} // namespace kv
