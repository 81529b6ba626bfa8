#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kv {

class ColorSwatch;
class frmMain;

// The option settings: idle shutdown, what is shown, confirmation, exports and the grid's colours, stored by
// Save and dropped by Exit. It also shows the data folder and asks where to move it, and turns the protection
// of the records on or off on Save; `main` does the move and the conversion and gets the colours at once on
// Save (may be null: then nothing can be moved or converted).
class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(frmMain* main = nullptr);

    // The value of the shutdown-time box's leading number, 0 when it has none.
    double shutDownValue() const;

public slots:
    void chkShowDeleteRecord_Click();
    void chkShowPasswordColumn_Click();
    void chkShowPasswordText_Click();
    void picGridColorPick_DblClick(int index);
    void bttnOk_Click();
    void bttnExit_Click();
    void bttnBrowseLocation_Click();

signals:
    // The colour picker is up, for tests to answer it (it is modal).
    void colorPickerShown(QDialog* picker);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void txtShutDownTime_GotFocus();
    void txtShutDownTime_LostFocus();
    // False, after correcting the box and telling the user, when the time is lower than allowed.
    bool checkLowest();

    frmMain* main_;
    QLineEdit* txtShutDownTime_ = nullptr;
    QCheckBox* chkShutDownKeyvale_ = nullptr;
    QCheckBox* chkShowDeleteRecord_ = nullptr;
    QCheckBox* chkShowPasswordText_ = nullptr;
    QCheckBox* chkShowPasswordColumn_ = nullptr;
    QCheckBox* chkShowPriorUserIDPassword_ = nullptr;
    QCheckBox* chkConfirmUpdate_ = nullptr;
    QCheckBox* chkExportPassword_ = nullptr;
    QCheckBox* chkProtectRecords_ = nullptr;
    QLineEdit* txtKeyvaleLocation_ = nullptr;
    QPushButton* bttnBrowseLocation_ = nullptr;
    std::array<ColorSwatch*, 4> picGridColorPick_{};
    QPushButton* bttnOk_ = nullptr;
    QPushButton* bttnExit_ = nullptr;
    bool checking_ = false;
};

} // namespace kv
