#pragma once

#include "tools/ImportLink.h"
#include "store/GridDataSource.h"
#include "store/RecordsetRows.h"
#include "store/ViewFlags.h"

#include <QDialog>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kv {

class OtherDatabase;
class RecordsGrid;

// Edit > Import Selected Data: the user names another data folder, gives its database's master password,
// selects rows of its records in the selection grid and imports them into the open database. Three clicks
// on Get Data at most per opening of the window.
class frmImportSelect final : public QDialog, private GridDataSource {
    Q_OBJECT
public:
    // `view` says which columns the selection grid shows, as in the main window.
    frmImportSelect(const ViewFlags& view, ImportLink link, QWidget* parent = nullptr);
    ~frmImportSelect() override;

    RecordsGrid* grid() const { return SSDBGrid_; }
    void done(int result) override;

public slots:
    void btnGetKeyvaleImportPath_Click();
    void btnGetData_Click();
    void btnImport_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool ValidPath();
    // The folder the path box names: blanks trimmed, "~" for the home folder; empty when it names none.
    QString typedFolder() const;
    bool InitializeDB_ImportSelect();
    void CloseDatabase_ImportSelect();
    void InitialGrid_ImportSelect();
    void txtKeyvaleImportPath_Change();
    void txtKeyvaleImportPath_LostFocus();
    void txtPassword_Change();
    void rememberImportPath(const QString& text);
    // Opens the other database of sImportPath and lets the password be typed.
    void openOtherDatabase();
    void setFormHeight(int twips);

    // The selection grid's rows, from the other database; nothing is written back.
    void readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) override;
    QVariant position(const QVariant& start, int rows) override;
    // The rows an import skipped, for its closing message.
    QString skippedText(const QList<int>& bookmarks) const;
    AddResult addRow(const RowBuffer&) override { return {StoreResult::Refused, {}}; }
    StoreResult writeRow(const RowBuffer&, const QVariant&) override { return StoreResult::Refused; }
    bool deleteRow(const QVariant&) override { return false; }

    ViewFlags view_;
    ImportLink link_;

    QGroupBox* Frame_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLineEdit* txtKeyvaleImportPath_ = nullptr;
    QPushButton* btnGetKeyvaleImportPath_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QPushButton* btnGetData_ = nullptr;
    QPushButton* btnImport_ = nullptr;
    RecordsGrid* SSDBGrid_ = nullptr;

    QString sImportPath;
    QString sImportPassword;
    quint8 bytAttempts = 0;
    qint16 iColumnCount = 0;
    std::unique_ptr<OtherDatabase> other_; // the other database's connection and records
    QString openFolder_;                   // the folder other_ was opened on
    bool closing_ = false;
    RowReadFailure readFailure_{QStringLiteral("SSDBGrid_UnboundReadData of Form frmImportSelect")};
};

} // namespace kv
