#pragma once

#include <QDialog>
#include <QString>
#include <QVariant>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

class GridOperations;

// Searches the records grid for a piece of text, in every field or in one, and leaves the grid on the first
// match. The main window keeps one instance for the whole run and shows it modally; it only hides, so the
// field list, the search text and the check boxes keep what the user left in them.
class frmFind : public QDialog {
    Q_OBJECT
public:
    explicit frmFind(GridOperations& grid, QWidget* parent = nullptr);

    // Esc and the window manager's close both behave as the Cancel button.
    void reject() override;

public slots:
    void btnFind_Click();
    void btnCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Fills the field list (first time) or focuses it, then selects the entry of the grid's current column.
    void SetComboBox(bool bInitial);
    // True when the combo's text is none of the list entries (exact, case-sensitive).
    bool ComboboxDataNotFound() const;
    // Puts the grid back where it was unless a search succeeded, restores the pointer, optionally hides.
    void ResetGridPointer(bool bHide);

    void txtFindContent_Change();
    void cmbFieldToLookIn_Change();
    // Refuses to let the focus leave the combo while its text is not one of the entries.
    void cmbFieldToLookIn_Validate();

    // Where the grid stands: the bookmark, and the display row for when there is no current data row (an
    // empty grid, or the add-new row).
    struct GridPlace {
        QVariant bookmark;
        int row = -1;
        int column = 0;
    };

    void runSearch();
    void restoreGrid(const GridPlace& place);

    GridOperations& grid_;

    QLabel* lblSearch;
    QComboBox* cmbFieldToLookIn;
    QLabel* lblFindContent;
    QLineEdit* txtFindContent;
    QCheckBox* chkAnyPartOfField;
    QCheckBox* chkWholeFieldOnly;
    QPushButton* btnFind;
    QPushButton* btnCancel;

    // Where the grid stood when the window was last shown.
    QVariant vSavedBookmark;
    int iSavedRow = -1;
    qint16 iSavedColumn = 0;
    bool bFound = false;
    bool bGridMoved = false;
    bool validationPending_ = false;
};

} // namespace kv
