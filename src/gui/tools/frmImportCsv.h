#pragma once

#include "exchange/CsvImport.h"
#include "tools/ImportLink.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace kv {

// Edit > Import CSV File: the user picks a CSV file written by another password manager or a browser,
// checks which column fills which field of a record (the usual layouts are recognised by their header),
// sees the first records as they will be stored, and imports them all in one go.
class frmImportCsv final : public QDialog {
    Q_OBJECT
public:
    explicit frmImportCsv(ImportLink link, QWidget* parent = nullptr);
    ~frmImportCsv() override;

    // Reads the header and the first records of `path` and shows them; false (after telling the user) when
    // the file cannot be read as CSV.
    bool loadFile(const QString& path);

public slots:
    void btnBrowseCsvFile_Click();
    void bttnImport_Click();

private:
    // The columns as the boxes say; -1 where "(none)" is chosen.
    CsvColumns chosenColumns() const;
    CsvImportOptions chosenOptions() const;
    void showPreview();
    void clearFile();

    ImportLink link_;
    QString path_; // the file shown
    CsvPreview preview_;

    QLineEdit* txtCsvFile_ = nullptr;
    QPushButton* btnBrowseCsvFile_ = nullptr;
    QLabel* lblLayout_ = nullptr;
    // Group, Web Site (URL), Title, User ID, Password, Description.
    std::array<QComboBox*, 6> columnBoxes_{};
    QCheckBox* chkSiteFromTitle_ = nullptr;
    QLineEdit* txtDefaultGroup_ = nullptr;
    QRadioButton* optSkipDuplicates_ = nullptr;
    QRadioButton* optAddDuplicates_ = nullptr;
    QTableWidget* tblPreview_ = nullptr;
    QPushButton* bttnImport_ = nullptr;
    QPushButton* bttnCancel_ = nullptr;
};

} // namespace kv
