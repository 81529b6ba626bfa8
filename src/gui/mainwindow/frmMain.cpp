#include "mainwindow/frmMain.h"

#include "mainwindow/ExportFlow.h"
#include "grid/GridDropDown.h"
#include "grid/RecordColumns.h"
#include "grid/RecordsGrid.h"
#include "platform/BusyProgress.h"
#include "platform/Desktop.h"
#include "platform/Clock.h"
#include "platform/Error.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/RecordFields.h"
#include "store/modDBstuff.h"
#include "tools/frmFind.h"
#include "tools/frmGeneratePassword.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

namespace kv {

namespace {

// Where the controls under the toolbar stand, in twips from the left, and how wide they are at least.
struct DesignPlace {
    int left;
    int width;
};
constexpr DesignPlace kComboPlace{120, 2900};
constexpr DesignPlace kRenamePlace{3150, 1900};
constexpr DesignPlace kDeletePlace{5150, 1900};
constexpr DesignPlace kLabelPlace{7250, 900};
constexpr DesignPlace kPasswordPlace{8150, 2100};
constexpr DesignPlace kUpdatePlace{10350, 1700};
constexpr DesignPlace kGeneratorPlace{12150, 1900};
constexpr int kFormWidth = 14800;
constexpr int kFormHeight = 8400;

QLabel* statusPanel(const QString& name, QWidget* parent) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setTextFormat(Qt::PlainText); // the status quotes the user's records
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setMargin(1);
    return panel;
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kAppTitle);
    createControls();
    Form_Load();
}

frmMain::~frmMain() {
    if (mainWindow() == this) setMainWindow(nullptr);
}

void frmMain::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(client);

    SSDBCombo_ = new QComboBox(client);
    SSDBCombo_->setObjectName(QStringLiteral("SSDBCombo"));
    SSDBCombo_->setAccessibleName(QStringLiteral("Group Name"));
    groupList_ = new QStandardItemModel(0, 1, this);
    auto* groupView = new QTableView(SSDBCombo_);
    groupView->setSelectionBehavior(QAbstractItemView::SelectRows);
    groupView->verticalHeader()->hide();
    groupView->horizontalHeader()->setStretchLastSection(true);
    groupView->setShowGrid(false);
    SSDBCombo_->setModel(groupList_);
    SSDBCombo_->setView(groupView);
    SSDBCombo_->setMinimumContentsLength(18);

    btnRenameGroupName_ = new QPushButton(QStringLiteral("&Rename Group Name"), client);
    btnRenameGroupName_->setObjectName(QStringLiteral("btnRenameGroupName"));
    btnDeleteGroupName_ = new QPushButton(QStringLiteral("&Delete Group Name"), client);
    btnDeleteGroupName_->setObjectName(QStringLiteral("btnDeleteGroupName"));
    // Nothing to rename or delete until a group is picked.
    setGroupButtons(false);

    lblPassword_ = new QLabel(QStringLiteral("&Password:"), client);
    lblPassword_->setObjectName(QStringLiteral("lblPassword"));
    txtPassword_ = new QLineEdit(client);
    txtPassword_->setObjectName(QStringLiteral("txtPassword"));
    MaskWithStars(txtPassword_);
    txtPassword_->installEventFilter(this);
    lblPassword_->setBuddy(txtPassword_);
    btnUpdatePassword_ = new QPushButton(QStringLiteral("&Update Password"), client);
    btnUpdatePassword_->setObjectName(QStringLiteral("btnUpdatePassword"));
    btnUpdatePassword_->setAutoDefault(false);
    btnPasswordGenerator_ = new QPushButton(QStringLiteral("Password &Generator"), client);
    btnPasswordGenerator_->setObjectName(QStringLiteral("btnPasswordGenerator"));
    btnPasswordGenerator_->setAutoDefault(false);

    SSDBGrid_ = new RecordsGrid(client);
    SSDBGrid_->setObjectName(QStringLiteral("SSDBGrid"));
    SSDBGrid_->setAccessibleName(QStringLiteral("Records"));
    SSDBGrid_->setDataSource(this);

    SSDBDropDown_ = new GridDropDown(this);
    SSDBDropDown_->setObjectName(QStringLiteral("SSDBDropDown"));
    SSDBDropDown_->setDataSource(&groupListSource_);

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(true);
    panelMessage_ = statusPanel(QStringLiteral("StatusPanel1"), bar);
    panelMessage_->setText(QStringLiteral("Messages"));
    panelVersion_ = statusPanel(QStringLiteral("StatusPanel2"), bar);
    panelDate_ = statusPanel(QStringLiteral("sDate"), bar);
    panelTime_ = statusPanel(QStringLiteral("sTime"), bar);
    bar->addWidget(panelMessage_, 1);
    bar->addPermanentWidget(panelVersion_);
    bar->addPermanentWidget(panelDate_);
    bar->addPermanentWidget(panelTime_);
    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(1000);
    connect(clockTimer_, &QTimer::timeout, this, &frmMain::updateDateAndTime);
    updateDateAndTime();
    clockTimer_->start();

    setTabOrder(SSDBCombo_, btnRenameGroupName_);
    setTabOrder(btnRenameGroupName_, btnDeleteGroupName_);
    setTabOrder(btnDeleteGroupName_, txtPassword_);
    setTabOrder(txtPassword_, btnUpdatePassword_);
    setTabOrder(btnUpdatePassword_, btnPasswordGenerator_);
    setTabOrder(btnPasswordGenerator_, SSDBGrid_);

    connect(SSDBCombo_, &QComboBox::activated, this, &frmMain::SSDBCombo_Click);
    connect(btnRenameGroupName_, &QPushButton::clicked, this, &frmMain::btnRenameGroupName_Click);
    connect(btnDeleteGroupName_, &QPushButton::clicked, this, &frmMain::btnDeleteGroupName_Click);
    connect(btnUpdatePassword_, &QPushButton::clicked, this, &frmMain::btnUpdatePassword_Click);
    connect(btnPasswordGenerator_, &QPushButton::clicked, this, &frmMain::btnPasswordGenerator_Click);
    // Enter in the password box stores the password.
    connect(txtPassword_, &QLineEdit::returnPressed, this, &frmMain::btnUpdatePassword_Click);

    connect(SSDBGrid_, &RecordsGrid::beforeInsert, this, &frmMain::SSDBGrid_BeforeInsert);
    connect(SSDBGrid_, &RecordsGrid::beforeUpdate, this, &frmMain::SSDBGrid_BeforeUpdate);
    connect(SSDBGrid_, &RecordsGrid::rowChanged, this, &frmMain::SSDBGrid_RowColChange);
    connect(SSDBGrid_, &RecordsGrid::cellClicked, this, &frmMain::SSDBGrid_Click);
    connect(SSDBGrid_, &RecordsGrid::columnSetup, this, &frmMain::SSDBGrid_InitColumnProps);
    connect(SSDBGrid_, &RecordsGrid::rowsReset, this, [this] {
        // Bookmarks start afresh: the next current row is a new record even at the same row number.
        iLastRow = -1;
        snapshotBookmark_ = QVariant();
    });
    connect(SSDBGrid_, &RecordsGrid::rowAdded, this, [this](int row) {
        // The cursor stays on a row stored on request: it is a record now, with its own snapshot.
        if (row != SSDBGrid_->currentRow()) return;
        iLastRow = row;
        takeSnapshot();
        txtPassword_->setText(SSDBGrid_->cellText(4));
    });
    connect(SSDBDropDown_, &GridDropDown::opened, this, [this] { bDropDownOpen = true; });
    connect(SSDBDropDown_, &GridDropDown::closed, this, [this] { bDropDownOpen = false; });
}

void frmMain::Form_Load() {
    const BusyPointer busy; // for as long as the window loads
    resize(twipsToPixels(kFormWidth, this), twipsToPixels(kFormHeight, this));
    setStatusText(QStringLiteral("Keyvale loading..."));
    InitializeLocalVariables();
    txtPassword_->clear();
    InitializeGrid();
    gInitializeGroupNameCombo();
    // The menu lists the toolbar's commands: the toolbar comes first.
    InitializeToolbar();
    InitializeMenu();
    InitializeStatusBar();
    startIdleTimer();
    // The records are what the window is for: typing starts in the grid.
    SSDBGrid_->setFocus();
}

void frmMain::InitializeLocalVariables() {
    // From now on a log-on is a lock-out: three failures end the program.
    gMainInitialised = true;
    setMainWindow(this);
    flags_.ShowPasswordColumn = gShowPasswordColumn;
    flags_.ShowPasswordText = gShowPasswordText;
    flags_.ShowPriorUserIDPassword = gShowPriorUserIDPassword;
    txtPassword_->setEchoMode(flags_.ShowPasswordText ? QLineEdit::Normal : QLineEdit::Password);
}

void frmMain::InitializeGrid() {
    try {
        if (!gRsChildData) throw noObject();
        iColumnCount = 0;
        setUpRecordColumns(*SSDBGrid_, *gRsChildData, flags_);
        const int fields = gRsChildData->fieldCount();
        setRowColors(gGridBackColorOdd, gGridForeColorOdd, gGridBackColorEven, gGridForeColorEven);
        iColumnCount = qint16(fields);
        SSDBGrid_->reread();

        SSDBDropDown_->removeAllColumns();
        if (gRsMasterData) {
            for (int i = 0; i < gRsMasterData->fieldCount(); ++i) {
                SSDBDropDown_->addColumn(i);
                SSDBDropDown_->setColumnVisible(i, true);
                SSDBDropDown_->setColumnCaption(i, gRsMasterData->fieldName(i));
            }
        }
        SSDBDropDown_->setListField(0);
        SSDBDropDown_->refresh();

        DisplayTotalCount();
        takeSnapshot();
        txtPassword_->setText(sRowPassword);
    } catch (const Error& e) {
        reportError(e, QStringLiteral("InitializeGrid of Form frmMain"));
    }
}

void frmMain::InitializeStatusBar() {
    panelVersion_->setText(QStringLiteral(" ") + gMakerNotice + QStringLiteral(" ") + gMakerName + QStringLiteral(" - ") +
                           gVersionText + QStringLiteral(" "));
    setStatusText(QStringLiteral("Keyvale is Ready"));
}

void frmMain::updateDateAndTime() {
    const QDateTime now = clock().now();
    const QLocale locale;
    panelDate_->setText(locale.toString(now.date(), QLocale::ShortFormat));
    panelTime_->setText(locale.toString(now.time(), QLocale::ShortFormat));
}

void frmMain::setStatusText(const QString& text) { panelMessage_->setText(text); }

QString frmMain::statusText() const { return panelMessage_->text(); }

void frmMain::DisplayTotalCount() {
    const qint64 n = gRsChildData ? gRsChildData->recordCount() : 0;
    const QString group = SSDBCombo_->currentText();
    if (group.isEmpty() || group == QLatin1String("SSDBCombo") || group == kAllGroups)
        SSDBGrid_->setCaption(QStringLiteral("Total Records for all Groups: ") + QString::number(n));
    else
        SSDBGrid_->setCaption(QStringLiteral("Total Records for Group Name - ") + group + QStringLiteral(": ") +
                              QString::number(n));
}

void frmMain::setRowColors(qint64 backOdd, qint64 foreOdd, qint64 backEven, qint64 foreEven) {
    SSDBGrid_->setRowColors(backOdd, foreOdd, backEven, foreEven);
    SSDBDropDown_->setRowColors(backOdd, foreOdd, backEven, foreEven);
    comboColors_ = {backOdd, foreOdd, backEven, foreEven};
    colorGroupList();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::Form_Resize() {
    QWidget* client = centralWidget();
    if (!client) return;
    auto px = [this](int twips) { return twipsToPixels(twips, this); };
    // The toolbar stands above the client area, so the row of controls starts at the client's top.
    const int rowTop = px(50);
    const int rowHeight = qMax(SSDBCombo_->sizeHint().height(), btnRenameGroupName_->sizeHint().height());
    int right = 0;
    auto place = [&](QWidget* w, DesignPlace at, int top, int height) {
        const int left = qMax(px(at.left), right + px(60));
        // A button keeps room around its caption, however large the desktop's font.
        const int padding = qobject_cast<QPushButton*>(w) ? 2 * w->fontMetrics().averageCharWidth() : 0;
        const int width = qMax(px(at.width), w->sizeHint().width() + padding);
        w->setGeometry(left, top, width, height);
        right = left + width;
    };
    place(SSDBCombo_, kComboPlace, rowTop, rowHeight);
    place(btnRenameGroupName_, kRenamePlace, rowTop, rowHeight);
    place(btnDeleteGroupName_, kDeletePlace, rowTop, rowHeight);
    place(lblPassword_, kLabelPlace, px(100), lblPassword_->sizeHint().height());
    place(txtPassword_, kPasswordPlace, rowTop, rowHeight);
    place(btnUpdatePassword_, kUpdatePlace, rowTop, rowHeight);
    place(btnPasswordGenerator_, kGeneratorPlace, rowTop, rowHeight);
    // The window is never so narrow that the row is cut off.
    client->setMinimumWidth(right + px(60));

    const int gridTop = rowTop + rowHeight + px(50);
    const int gridWidth = client->width() - px(5) - px(60);
    const int gridHeight = client->height() - gridTop - px(50);
    // A window made very small keeps the grid's last good size.
    if (gridWidth > 0 && gridHeight > 0) SSDBGrid_->setGeometry(px(5), gridTop, gridWidth, gridHeight);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Nothing may be pending when the program ends: the row being edited is stored first, and a row that
    // is refused, or that the user keeps, keeps the program open. Behind the log-on window (the desktop
    // session ending, say) nobody may be asked; the row that waited there for the log-on is stored if it can be.
    if (locked_) SSDBGrid_->unlockRows();
    if (!storePendingRow(isVisible() ? Asking::AtExit : Asking::Never)) {
        event->ignore();
        return;
    }
    event->accept();
    endProgram();
}

void frmMain::endProgram() {
    setMainWindow(nullptr);
    desktop().endApplication();
}

bool frmMain::storePendingRow(Asking asking) {
    const QScopedValueRollback scope(asking_, asking);
    if (SSDBGrid_->commitRow()) return true;
    if (asking != Asking::Never) return false;
    SSDBGrid_->cancelEdit();
    return true;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtPassword_) {
        if (event->type() == QEvent::FocusIn)
            txtPassword_GotFocus();
        else if (event->type() == QEvent::FocusOut)
            txtPassword_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::txtPassword_GotFocus() {
    txtPassword_->setEchoMode(QLineEdit::Normal);
    SelectAllText(txtPassword_);
    // After a click the mouse release would undo the selection; select again once it is through.
    QTimer::singleShot(0, txtPassword_, [box = txtPassword_] {
        if (box->hasFocus()) SelectAllText(box);
    });
    btnUpdatePassword_->setDefault(true);
}

void frmMain::txtPassword_LostFocus() {
    if (!flags_.ShowPasswordText) txtPassword_->setEchoMode(QLineEdit::Password);
    btnUpdatePassword_->setDefault(false);
}

void frmMain::btnUpdatePassword_Click() {
    bPasswordUpdate = true;
    SSDBGrid_->setFocus();
    SSDBGrid_->setCellValue(4, txtPassword_->text());
    SSDBGrid_->setFocus();
    SSDBGrid_->commitRow();
}

void frmMain::btnPasswordGenerator_Click() {
    frmGeneratePassword generator(this);
    runModal(generator);
}

bool frmMain::ValidateWebsite(const QString& website) {
    static const QString prefixes[] = {QStringLiteral("http://"), QStringLiteral("http://www."),
                                       QStringLiteral("www."), QStringLiteral("https://")};
    bool valid = false;
    for (const QString& prefix : prefixes)
        if (website.startsWith(prefix, Qt::CaseSensitive)) valid = true;
    setStatusText(valid ? QStringLiteral("Website: ") + website + QStringLiteral(" selected.")
                        : QStringLiteral("Not a valid URL structure!"));
    return valid;
}

void frmMain::SSDBGrid_Click() {
    if (SSDBGrid_->currentColumn() != 2) return;
    const QString website = SSDBGrid_->cellValue(kWebsiteColumn).toString();
    if (!ValidateWebsite(website)) return;
    // The browser needs a scheme; an address written "www." is a web address all the same.
    desktop().openUrl(website.startsWith(QLatin1String("www.")) ? QStringLiteral("http://") + website : website);
}

} // namespace kv
