#include "tools/frmImportCsv.h"

#include "exchange/CsvReader.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "store/DateText.h"
#include "store/modDBstuff.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kv {

namespace {

const QString kProcedure = QStringLiteral("bttnImport_Click of Form frmImportCsv");
const QString kNone = QStringLiteral("(none)");
constexpr int kPreviewRows = 10;

struct ColumnBox {
    const char* name;
    const char* label;
    int CsvColumns::*column;
};

// The order of frmImportCsv::columnBoxes_.
constexpr std::array<ColumnBox, 6> kColumnBoxes{
    ColumnBox{"cmbGroupColumn", "&Group:", &CsvColumns::group},
    ColumnBox{"cmbWebsiteColumn", "&Web Site (URL):", &CsvColumns::url},
    ColumnBox{"cmbTitleColumn", "&Title:", &CsvColumns::title},
    ColumnBox{"cmbUserIDColumn", "&User ID:", &CsvColumns::userId},
    ColumnBox{"cmbPasswordColumn", "&Password:", &CsvColumns::password},
    ColumnBox{"cmbDescriptionColumn", "&Description:", &CsvColumns::description},
};

void information(const QString& text) {
    desktop().message(text, {}, Buttons::Ok, Icon::Information);
}

} // namespace

frmImportCsv::frmImportCsv(ImportLink link, QWidget* parent) : QDialog(parent), link_(std::move(link)) {
    setObjectName(QStringLiteral("frmImportCsv"));
    setWindowTitle(QStringLiteral("Keyvale Import CSV File"));

    auto* lblCsvFile = new QLabel(QStringLiteral("&File:"), this);
    lblCsvFile->setObjectName(QStringLiteral("lblCsvFile"));
    txtCsvFile_ = new QLineEdit(this);
    txtCsvFile_->setObjectName(QStringLiteral("txtCsvFile"));
    lblCsvFile->setBuddy(txtCsvFile_);
    btnBrowseCsvFile_ = new QPushButton(QStringLiteral("..."), this);
    btnBrowseCsvFile_->setObjectName(QStringLiteral("btnBrowseCsvFile"));
    btnBrowseCsvFile_->setAccessibleName(QStringLiteral("Browse for the CSV file"));
    btnBrowseCsvFile_->setAutoDefault(false);
    lblLayout_ = new QLabel(this);
    lblLayout_->setObjectName(QStringLiteral("lblLayout"));

    auto* fraColumns = new QGroupBox(QStringLiteral("Columns of the file"), this);
    fraColumns->setObjectName(QStringLiteral("fraColumns"));
    auto* columnsLayout = new QFormLayout(fraColumns);
    for (std::size_t i = 0; i < kColumnBoxes.size(); ++i) {
        auto* box = new QComboBox(fraColumns);
        box->setObjectName(QString::fromLatin1(kColumnBoxes[i].name));
        auto* label = new QLabel(QString::fromLatin1(kColumnBoxes[i].label), fraColumns);
        label->setBuddy(box);
        columnsLayout->addRow(label, box);
        connect(box, &QComboBox::currentIndexChanged, this, &frmImportCsv::showPreview);
        columnBoxes_[i] = box;
    }
    chkSiteFromTitle_ =
        new QCheckBox(QStringLiteral("Web Site from the titl&e (the URL when it is empty)"), fraColumns);
    chkSiteFromTitle_->setObjectName(QStringLiteral("chkSiteFromTitle"));
    columnsLayout->addRow(chkSiteFromTitle_);
    connect(chkSiteFromTitle_, &QCheckBox::toggled, this, &frmImportCsv::showPreview);

    auto* lblDefaultGroup = new QLabel(QStringLiteral("Group for records wit&hout one:"), this);
    lblDefaultGroup->setObjectName(QStringLiteral("lblDefaultGroup"));
    txtDefaultGroup_ = new QLineEdit(kCsvDefaultGroup, this);
    txtDefaultGroup_->setObjectName(QStringLiteral("txtDefaultGroup"));
    lblDefaultGroup->setBuddy(txtDefaultGroup_);
    connect(txtDefaultGroup_, &QLineEdit::textChanged, this, &frmImportCsv::showPreview);

    auto* fraDuplicates =
        new QGroupBox(QStringLiteral("Records already in Keyvale (same group, web site and user ID)"), this);
    fraDuplicates->setObjectName(QStringLiteral("fraDuplicates"));
    optSkipDuplicates_ = new QRadioButton(QStringLiteral("&Skip them"), fraDuplicates);
    optSkipDuplicates_->setObjectName(QStringLiteral("optSkipDuplicates"));
    optSkipDuplicates_->setChecked(true);
    optAddDuplicates_ = new QRadioButton(QStringLiteral("&Add them as new records"), fraDuplicates);
    optAddDuplicates_->setObjectName(QStringLiteral("optAddDuplicates"));
    auto* duplicatesLayout = new QHBoxLayout(fraDuplicates);
    duplicatesLayout->addWidget(optSkipDuplicates_);
    duplicatesLayout->addWidget(optAddDuplicates_);
    duplicatesLayout->addStretch();

    auto* lblPreview = new QLabel(QStringLiteral("Pre&view of the first records:"), this);
    lblPreview->setObjectName(QStringLiteral("lblPreview"));
    tblPreview_ = new QTableWidget(0, 5, this);
    tblPreview_->setObjectName(QStringLiteral("tblPreview"));
    tblPreview_->setAccessibleName(QStringLiteral("Preview of the first records"));
    tblPreview_->setHorizontalHeaderLabels({QStringLiteral("Group Name"), QStringLiteral("Website"),
                                            QStringLiteral("User ID"), QStringLiteral("Password"),
                                            QStringLiteral("Description")});
    tblPreview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPreview_->horizontalHeader()->setStretchLastSection(true);
    lblPreview->setBuddy(tblPreview_);

    bttnImport_ = new QPushButton(QStringLiteral("&Import"), this);
    bttnImport_->setObjectName(QStringLiteral("bttnImport"));
    bttnImport_->setEnabled(false);
    // Enter in the file box reads the file; it must not import it before the user has seen the preview.
    bttnImport_->setAutoDefault(false);
    bttnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    bttnCancel_->setObjectName(QStringLiteral("bttnCancel"));
    bttnCancel_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bttnImport_);
    buttons->addWidget(bttnCancel_);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(lblCsvFile);
    fileRow->addWidget(txtCsvFile_, 1);
    fileRow->addWidget(btnBrowseCsvFile_);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(lblDefaultGroup);
    groupRow->addWidget(txtDefaultGroup_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(lblLayout_);
    layout->addWidget(fraColumns);
    layout->addLayout(groupRow);
    layout->addWidget(fraDuplicates);
    layout->addWidget(lblPreview);
    layout->addWidget(tblPreview_, 1);
    layout->addLayout(buttons);
    resize(760, 640);

    connect(txtCsvFile_, &QLineEdit::returnPressed, this, [this] {
        if (txtCsvFile_->text().trimmed() != path_) loadFile(txtCsvFile_->text().trimmed());
    });
    connect(btnBrowseCsvFile_, &QPushButton::clicked, this, &frmImportCsv::btnBrowseCsvFile_Click);
    connect(bttnImport_, &QPushButton::clicked, this, &frmImportCsv::bttnImport_Click);
    connect(bttnCancel_, &QPushButton::clicked, this, &QDialog::reject);

    clearFile();
    txtCsvFile_->setFocus();
}

frmImportCsv::~frmImportCsv() = default;

void frmImportCsv::clearFile() {
    path_.clear();
    preview_ = {};
    for (QComboBox* box : columnBoxes_) {
        const QSignalBlocker quiet(box);
        box->clear();
        box->setEnabled(false);
    }
    lblLayout_->setText(QStringLiteral("Choose a CSV file to import."));
    tblPreview_->setRowCount(0);
    bttnImport_->setEnabled(false);
}

void frmImportCsv::btnBrowseCsvFile_Click() {
    const QString folder = path_.isEmpty() ? QDir::homePath() : QFileInfo(path_).absolutePath();
    const QString chosen = desktop().chooseFile(this, folder, QStringLiteral("Choose a CSV file to import"),
                                                QStringLiteral("CSV files (*.csv *.txt);;All files (*)"));
    if (chosen.isEmpty()) return;
    txtCsvFile_->setText(chosen);
    loadFile(chosen);
}

bool frmImportCsv::loadFile(const QString& path) {
    clearFile();
    try {
        preview_ = previewCsv(path, kPreviewRows);
    } catch (const CsvError& e) {
        information(e.message());
        return false;
    }
    path_ = path;
    const CsvColumns& found = preview_.recognised.columns;
    for (std::size_t i = 0; i < columnBoxes_.size(); ++i) {
        QComboBox* box = columnBoxes_[i];
        const QSignalBlocker quiet(box);
        box->addItem(kNone, -1);
        for (int c = 0; c < preview_.header.size(); ++c)
            box->addItem(QStringLiteral("%1: %2").arg(c + 1).arg(preview_.header[c]), c);
        box->setCurrentIndex(found.*kColumnBoxes[i].column + 1);
        box->setEnabled(true);
    }
    lblLayout_->setText(preview_.recognised.layout.isEmpty()
                            ? QStringLiteral("The columns were not all recognised: choose them below.")
                            : QStringLiteral("Recognised layout: %1.").arg(preview_.recognised.layout));
    bttnImport_->setEnabled(true);
    showPreview();
    return true;
}

CsvColumns frmImportCsv::chosenColumns() const {
    CsvColumns columns = preview_.recognised.columns; // keeps a column the boxes do not offer (a date)
    for (std::size_t i = 0; i < columnBoxes_.size(); ++i)
        columns.*kColumnBoxes[i].column = columnBoxes_[i]->count() ? columnBoxes_[i]->currentData().toInt() : -1;
    return columns;
}

CsvImportOptions frmImportCsv::chosenOptions() const {
    CsvImportOptions options;
    options.columns = chosenColumns();
    options.siteFrom = chkSiteFromTitle_->isChecked() ? SiteFrom::Title : SiteFrom::Url;
    options.group = txtDefaultGroup_->text().trimmed();
    options.addDuplicates = optAddDuplicates_->isChecked();
    return options;
}

void frmImportCsv::showPreview() {
    if (path_.isEmpty()) return;
    const CsvImportOptions options = chosenOptions();
    tblPreview_->setRowCount(int(preview_.rows.size()));
    for (int r = 0; r < preview_.rows.size(); ++r) {
        const CsvMappedRecord m = mapCsvRecord(preview_.rows[r], *options.columns, options, {});
        // The passwords are there, not shown.
        const QString password = m.password.isEmpty() ? QString() : QStringLiteral("********");
        const QStringList cells{m.group, m.website, m.userId, password, m.description};
        for (int c = 0; c < cells.size(); ++c)
            tblPreview_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
}

void frmImportCsv::bttnImport_Click() {
    if (path_.isEmpty()) return;
    const CsvImportOptions options = chosenOptions();
    if (options.columns->password < 0) {
        information(QStringLiteral("Please choose the column that holds the passwords."));
        columnBoxes_[4]->setFocus();
        return;
    }
    if (options.group.isEmpty()) {
        information(QStringLiteral("Please enter the group for records without one."));
        txtDefaultGroup_->setFocus();
        return;
    }
    link_.setStatus(QStringLiteral("Import in process..."));
    try {
        if (!gDBConnection || !gDBConnection->isOpen()) throw noObject();
        CsvImport run;
        {
            BusyProgress busy(this, QStringLiteral("Importing records..."), QFileInfo(path_).size());
            run = importCsvFile(path_, *gDBConnection, options, storedDateNow(), busy.callback());
        }
        if (run.cancelled) {
            link_.setStatus(QStringLiteral("Import Canceled."));
            return;
        }
        if (run.error) throw *run.error;
        link_.reload({});
        information(csvImportSummary(run, options.addDuplicates));
        link_.setStatus((run.imported == 1 ? QStringLiteral("Imported 1 record from %1.")
                                           : QStringLiteral("Imported %1 records from %2.").arg(run.imported))
                            .arg(QFileInfo(path_).fileName()));
        accept();
    } catch (const CsvError& e) {
        information(e.message() + QStringLiteral("\nNothing was imported."));
        link_.setStatus(QStringLiteral("Import process failed."));
    } catch (const Error& e) {
        reportError(e, kProcedure);
        link_.setStatus(QStringLiteral("Import process failed."));
    }
}

} // namespace kv
