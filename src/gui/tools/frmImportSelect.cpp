#include "tools/frmImportSelect.h"

#include "exchange/ImportRun.h"
#include "exchange/OtherDatabase.h"
#include "grid/RecordColumns.h"
#include "grid/RecordsGrid.h"
#include "store/RecordsetRows.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/RecordFields.h"
#include "store/Recordset.h"
#include "store/modDBstuff.h"

#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>

namespace kv {

namespace {

constexpr int kFormWidth = 12000;
constexpr int kTallHeight = 10000;
constexpr int kShortHeight = 2190;

const QString kNoValidPath = QStringLiteral("Please enter a valid path where a Keyvale database resides!");
const QString kGridCaption = QStringLiteral("Select Rows To Import");

void information(const QString& text) {
    desktop().message(text, {}, Buttons::Ok, Icon::Information);
}

} // namespace

frmImportSelect::frmImportSelect(const ViewFlags& view, ImportLink link, QWidget* parent)
    : QDialog(parent), view_(view), link_(std::move(link)) {
    setObjectName(QStringLiteral("frmImportSelect"));
    setWindowTitle(QStringLiteral("Keyvale Import Data Select"));

    Frame_ = new QGroupBox(QStringLiteral("Keyvale Data to Import"), this);
    Frame_->setObjectName(QStringLiteral("Frame"));
    Label1_ = new QLabel(QStringLiteral("Keyvale Database to Import:"), Frame_);
    Label1_->setObjectName(QStringLiteral("Label1"));
    txtKeyvaleImportPath_ = new QLineEdit(Frame_);
    txtKeyvaleImportPath_->setObjectName(QStringLiteral("txtKeyvaleImportPath"));
    txtKeyvaleImportPath_->installEventFilter(this);
    Label1_->setBuddy(txtKeyvaleImportPath_);
    btnGetKeyvaleImportPath_ = new QPushButton(QStringLiteral("..."), Frame_);
    btnGetKeyvaleImportPath_->setObjectName(QStringLiteral("btnGetKeyvaleImportPath"));
    btnGetKeyvaleImportPath_->setAccessibleName(QStringLiteral("Browse for the data folder"));
    btnGetKeyvaleImportPath_->setAutoDefault(false);
    Label2_ = new QLabel(QStringLiteral("&Password"), Frame_);
    Label2_->setObjectName(QStringLiteral("Label2"));
    txtPassword_ = new QLineEdit(Frame_);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    MaskWithStars(txtPassword_);
    txtPassword_->setEnabled(false);
    txtPassword_->installEventFilter(this);
    Label2_->setBuddy(txtPassword_);
    btnGetData_ = new QPushButton(QStringLiteral("&Get Data"), Frame_);
    btnGetData_->setObjectName(QStringLiteral("btnGetData"));
    btnGetData_->setEnabled(false);
    btnImport_ = new QPushButton(QStringLiteral("&Import"), Frame_);
    btnImport_->setObjectName(QStringLiteral("btnImport"));
    btnImport_->setEnabled(false);

    auto* frameLayout = new QGridLayout(Frame_);
    frameLayout->addWidget(Label1_, 0, 0);
    frameLayout->addWidget(txtKeyvaleImportPath_, 0, 1, 1, 3);
    frameLayout->addWidget(btnGetKeyvaleImportPath_, 0, 4);
    frameLayout->addWidget(Label2_, 1, 0);
    frameLayout->addWidget(txtPassword_, 1, 1);
    frameLayout->addWidget(btnGetData_, 1, 2);
    frameLayout->addWidget(btnImport_, 1, 3);
    frameLayout->setColumnStretch(1, 1);

    SSDBGrid_ = new RecordsGrid(this);
    SSDBGrid_->setObjectName(QStringLiteral("SSDBGrid"));
    SSDBGrid_->setAccessibleName(QStringLiteral("Records to import"));
    SSDBGrid_->setAllowAddNew(false);
    SSDBGrid_->setAllowDelete(false);
    SSDBGrid_->setDataSource(this);
    SSDBGrid_->setCaption(kGridCaption);
    const QString tip = QStringLiteral("Select rows to import by clicking the far left side of a row.");
    SSDBGrid_->setToolTip(tip);
    SSDBGrid_->view()->verticalHeader()->setToolTip(tip);

    setTabOrder(txtKeyvaleImportPath_, btnGetKeyvaleImportPath_);
    setTabOrder(btnGetKeyvaleImportPath_, txtPassword_);
    setTabOrder(txtPassword_, btnGetData_);
    setTabOrder(btnGetData_, btnImport_);
    setTabOrder(btnImport_, SSDBGrid_);

    connect(txtKeyvaleImportPath_, &QLineEdit::textChanged, this, &frmImportSelect::txtKeyvaleImportPath_Change);
    connect(txtPassword_, &QLineEdit::textChanged, this, &frmImportSelect::txtPassword_Change);
    connect(btnGetKeyvaleImportPath_, &QPushButton::clicked, this, &frmImportSelect::btnGetKeyvaleImportPath_Click);
    connect(btnGetData_, &QPushButton::clicked, this, &frmImportSelect::btnGetData_Click);
    connect(btnImport_, &QPushButton::clicked, this, &frmImportSelect::btnImport_Click);

    // Loading
    gFormOpen = true;
    txtKeyvaleImportPath_->setText(gImportSelectPath);
    // Without rows the window keeps to its frame.
    resize(twipsToPixels(kFormWidth, this), height());
    setFormHeight(kShortHeight);
    if (ValidPath()) {
        sImportPath = typedFolder();
        txtPassword_->setEnabled(true);
    }
    txtKeyvaleImportPath_->setFocus();
}

frmImportSelect::~frmImportSelect() {
    closing_ = true;
    CloseDatabase_ImportSelect();
}

void frmImportSelect::done(int result) {
    closing_ = true;
    CloseDatabase_ImportSelect();
    gFormOpen = false;
    QDialog::done(result);
}

// ---- The path box

QString frmImportSelect::typedFolder() const {
    QString text = txtKeyvaleImportPath_->text().trimmed();
    if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/"))) text = QDir::homePath() + text.mid(1);
    // A relative path would depend on where the program was started from.
    if (text.isEmpty() || QDir::isRelativePath(text)) return {};
    return text;
}

bool frmImportSelect::ValidPath() {
    if (txtKeyvaleImportPath_->text().contains(QChar(0))) {
        information(kNoValidPath);
        return false;
    }
    const QString folder = typedFolder();
    return !folder.isEmpty() && QFileInfo(databaseFile(folder)).isFile();
}

void frmImportSelect::txtKeyvaleImportPath_Change() {
    txtPassword_->setEnabled(ValidPath());
}

void frmImportSelect::txtKeyvaleImportPath_LostFocus() {
    const QString text = txtKeyvaleImportPath_->text();
    if (text.trimmed().isEmpty()) return;
    if (!ValidPath()) {
        information(kNoValidPath);
        txtKeyvaleImportPath_->setFocus();
        return;
    }
    sImportPath = typedFolder();
    openOtherDatabase();
    if (other_) rememberImportPath(text);
}

void frmImportSelect::rememberImportPath(const QString& text) {
    try {
        Recordset& options = opened(gRsOptions);
        options.moveFirst();
        if (!options.find(QStringLiteral("OptionName"), QStringLiteral("ImportSelectPath"))) return;
        options.setField(QStringLiteral("OptionValue"), text);
        options.update();
        gImportSelectPath = text;
    } catch (const Error& e) {
        if (gRsOptions) gRsOptions->cancelUpdate();
        reportError(e, QStringLiteral("txtKeyvaleImportPath_LostFocus of Form frmImportSelect"));
    }
}

void frmImportSelect::btnGetKeyvaleImportPath_Click() {
    const QString chosen = BrowseForFolder(this, txtKeyvaleImportPath_->text(),
                                           QStringLiteral("Selected a folder where Keyvale data exists..."))
                               .first.trimmed();
    if (!chosen.isEmpty() && sameFolder(chosen, gDataFolder)) {
        information(QStringLiteral("Cannot select the current Keyvale database."));
        return;
    }
    if (chosen.isEmpty()) return;
    if (!QFileInfo(databaseFile(chosen)).isFile()) {
        information(kNoValidPath);
        return;
    }
    txtKeyvaleImportPath_->setText(chosen);
    sImportPath = chosen;
    openOtherDatabase();
}

// ---- The other database

void frmImportSelect::openOtherDatabase() {
    // The database already open stays open, with the rows it shows.
    if (other_ && sameFolder(sImportPath, openFolder_)) return;
    CloseDatabase_ImportSelect();
    const bool opened = InitializeDB_ImportSelect();
    txtPassword_->setEnabled(opened);
    txtPassword_Change();
}

bool frmImportSelect::InitializeDB_ImportSelect() {
    try {
        other_ = std::make_unique<OtherDatabase>(sImportPath);
        if (!other_->hasMasterPassword()) {
            other_.reset();
            sImportPassword.clear();
            information(QStringLiteral("The Keyvale database in '") + sImportPath +
                        QStringLiteral("' has no master password yet: it was never set up, and nothing can be "
                                       "imported from it."));
            return false;
        }
        openFolder_ = sImportPath;
        sImportPassword = other_->masterPassword();
        return true;
    } catch (const Error& e) {
        other_.reset();
        sImportPassword.clear();
        if (OtherDatabase::isNotKeyvaleDatabase(e))
            information(QStringLiteral("The file ") + databaseFile(sImportPath) +
                        QStringLiteral(" is not a Keyvale database, or not one Keyvale can open.") +
                        (e.number() == err::ItemNotFound ? QStringLiteral("\n") + e.description() : QString()));
        else
            reportError(e, QStringLiteral("InitializeDB_ImportSelect of module frmImportSelect"));
        return false;
    }
}

void frmImportSelect::CloseDatabase_ImportSelect() {
    if (!other_) return;
    // The rows shown came from the database being closed: the grid lets them go with it, so that no row of
    // one database is taken for a row of another.
    other_.reset();
    if (closing_) return;
    SSDBGrid_->removeAllColumns();
    SSDBGrid_->reread();
    SSDBGrid_->setCaption(kGridCaption);
    btnImport_->setEnabled(false);
    setFormHeight(kShortHeight);
}

// ---- Password and rows

void frmImportSelect::txtPassword_Change() {
    const bool typed = !txtPassword_->text().trimmed().isEmpty() && txtPassword_->isEnabled();
    btnGetData_->setEnabled(typed);
    btnGetData_->setDefault(typed);
}

void frmImportSelect::btnGetData_Click() {
    ++bytAttempts;
    if (!other_ && !sImportPath.isEmpty()) openOtherDatabase();
    if (other_ && other_->opensWith(txtPassword_->text())) {
        InitialGrid_ImportSelect();
        if (SSDBGrid_->rowCount() > 0) {
            if (height() <= twipsToPixels(kShortHeight, this)) setFormHeight(kTallHeight);
            btnImport_->setEnabled(true);
            btnImport_->setFocus();
            btnImport_->setDefault(true);
            btnGetData_->setEnabled(false);
            txtPassword_->setEnabled(false);
        } else {
            setFormHeight(kShortHeight);
            information(QStringLiteral("There are no records in the selected Keyvale database."));
        }
    } else {
        information(QStringLiteral("Invalid Password!"));
        txtPassword_->setFocus();
    }
    if (bytAttempts >= 3) {
        information(QStringLiteral("Three attempts were made to gain access to another Keyvale database!") +
                    QStringLiteral("\n") + QStringLiteral("The Select Import form will close now!"));
        close();
    }
}

void frmImportSelect::InitialGrid_ImportSelect() {
    try {
        if (!other_) throw noObject();
        Recordset& records = other_->records();
        setUpRecordColumns(*SSDBGrid_, records, view_);
        // Nothing in the selection grid is written back.
        for (int c = 0; c < SSDBGrid_->columnCount(); ++c)
            SSDBGrid_->setColumnLocked(c, true);
        SSDBGrid_->setRowColors(gGridBackColorOdd, gGridForeColorOdd, gGridBackColorEven, gGridForeColorEven);
        iColumnCount = qint16(records.fieldCount());
        SSDBGrid_->reread();
        SSDBGrid_->setCaption(
            QStringLiteral("Total Selectable Records: ") + QString::number(records.recordCount()) +
            QStringLiteral(" --- Select Rows To Import by holding the Shift key to select in line rows or the Control "
                           "key to select random out of sequence rows while clicking a row."));
    } catch (const Error& e) {
        reportError(e, QStringLiteral("InitialGrid_ImportSelect of Form frmImportSelect"));
    }
}

void frmImportSelect::readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) {
    if (!other_) return;
    try {
        readRecordsetRows(other_->records(), buffer, start, readBackwards, &other_->codec());
    } catch (const Error& e) {
        readFailure_.report(e);
    }
}

QVariant frmImportSelect::position(const QVariant& start, int rows) {
    return other_ ? positionRecordset(other_->records(), start, rows) : QVariant();
}

QString frmImportSelect::skippedText(const QList<int>& bookmarks) const {
    if (bookmarks.isEmpty()) return {};
    // Each row by its group and web site, as the grid shows it; more are counted, not listed.
    constexpr int kListed = 10;
    QStringList rows;
    for (qsizetype i = 0; i < bookmarks.size() && i < kListed; ++i) {
        Recordset& records = other_->records();
        records.setBookmark(bookmarks[i]);
        rows.append(records.field(kGroupNameColumn).toString() + QStringLiteral(" / ") +
                    records.field(kWebsiteColumn).toString());
    }
    if (bookmarks.size() > kListed) rows.append(QStringLiteral("..."));
    return QStringLiteral("\n") + QString::number(bookmarks.size()) +
           (bookmarks.size() == 1 ? QStringLiteral(" row was") : QStringLiteral(" rows were")) +
           QStringLiteral(" not imported, because Keyvale can not store their passwords unchanged: ") +
           rows.join(QStringLiteral("; ")) + QStringLiteral(".");
}

void frmImportSelect::btnImport_Click() {
    const QList<QVariant> selected = SSDBGrid_->selectedBookmarks();
    const qsizetype n = selected.size();
    const QString unit = n < 2 ? QStringLiteral(" row") : QStringLiteral(" rows");
    if (n == 0) {
        information(QStringLiteral("Please select at least one row to begin the import process!"));
        return;
    }
    if (desktop().message(QStringLiteral("Do you really want to import ") + QString::number(n) + unit +
                              QStringLiteral(" of data?"),
                          {}, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return;
    try {
        if (!other_ || !gDBConnection || !gDBConnection->isOpen()) throw noObject();
        QList<int> bookmarks;
        bookmarks.reserve(n);
        for (const QVariant& b : selected)
            bookmarks.append(b.toInt());
        ImportRun run;
        {
            BusyProgress busy(this, QStringLiteral("Importing records..."), n);
            run = importSelectedRows(other_->records(), other_->codec(), bookmarks, *gDBConnection, busy.callback());
        }
        if (run.cancelled) {
            link_.setStatus(QStringLiteral("Import Canceled."));
            return;
        }
        // The rows stored before an error stay: the main window shows them either way, in its group.
        link_.reload(link_.shownGroup());
        if (run.error) throw *run.error;
        const int imported = run.imported;
        information(QStringLiteral("Keyvale successfully imported ") + QString::number(imported) +
                    (imported < 2 ? QStringLiteral(" row") : QStringLiteral(" rows")) + QStringLiteral(" of data.") +
                    skippedText(run.skipped));
        link_.setStatus(QStringLiteral("Imported ") + QString::number(imported) +
                        QStringLiteral(" rows of Keyvale's data successfully."));
        accept();
    } catch (const Error& e) {
        reportError(e, QStringLiteral("btnImport_Click of Form frmImportSelect"));
    }
}

// ---- Events and layout

bool frmImportSelect::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == txtKeyvaleImportPath_ || watched == txtPassword_)) {
        auto* box = static_cast<QLineEdit*>(watched);
        SelectAllText(box);
        // After a click the mouse release would undo the selection; select again once it is through.
        QTimer::singleShot(0, box, [box] {
            if (box->hasFocus()) SelectAllText(box);
        });
    } else if (event->type() == QEvent::FocusOut && watched == txtKeyvaleImportPath_ && !closing_) {
        // Only a move within the window counts, not the window losing the focus to another one; and a click
        // on the browse button is no moment to complain about a half-typed path: the user is about to pick one.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            QTimer::singleShot(0, this, [this, reason] {
                if (closing_ || (reason == Qt::MouseFocusReason && focusWidget() == btnGetKeyvaleImportPath_))
                    return;
                txtKeyvaleImportPath_LostFocus();
            });
    }
    return QDialog::eventFilter(watched, event);
}

void frmImportSelect::setFormHeight(int twips) {
    // At least the frame shows whole, whatever the font.
    int pixels = qMax(twipsToPixels(twips, this), Frame_->sizeHint().height() + twipsToPixels(160, this));
    const QScreen* s = screen();
    // The whole window stays on the screen: no taller than it, moved up when it grows past its bottom.
    if (s) pixels = qMin(pixels, s->availableGeometry().height() * 9 / 10);
    resize(width(), pixels);
    if (s && isVisible() && frameGeometry().bottom() > s->availableGeometry().bottom())
        move(x(), qMax(s->availableGeometry().top(), s->availableGeometry().bottom() - frameGeometry().height()));
}

void frmImportSelect::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    auto px = [this](int twips) { return twipsToPixels(twips, this); };
    const int left = px(25);
    const int innerWidth = width() - px(200);
    Frame_->setGeometry(left, px(60), innerWidth, Frame_->sizeHint().height());
    const int gridTop = Frame_->geometry().bottom() + px(200);
    const int gridHeight = height() - gridTop - px(100);
    // The short window shows the frame alone.
    const bool room = gridHeight >= px(1000);
    SSDBGrid_->setVisible(room);
    if (room) SSDBGrid_->setGeometry(left, gridTop, innerWidth, gridHeight);
}

} // namespace kv
