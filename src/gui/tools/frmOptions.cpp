#include "tools/frmOptions.h"

#include "mainwindow/frmMain.h"
#include "platform/Desktop.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modAdmin.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "store/RecordCodec.h"
#include "tools/ColorSwatch.h"
#include "tools/frmColorPicker.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace kv {

namespace {

constexpr double kShortest = 15;
constexpr double kLongest = 120;

// A check box captioned on its left, as the dialog's labels end in ":".
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QString& tip) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(tip);
    if (caption.endsWith(QLatin1Char(':'))) box->setLayoutDirection(Qt::RightToLeft);
    return box;
}

QString numberText(double value) {
    return QString::number(value, 'g', 15);
}

} // namespace

frmOptions::frmOptions(frmMain* main) : QDialog(main), main_(main) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Startup Option Settings"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* shutDown = new QGroupBox(QStringLiteral("Shut-Down Options:"), this);
    shutDown->setObjectName(QStringLiteral("fraShutDown"));
    auto* lblShutDownTime = new QLabel(QStringLiteral("Down &Time:"), shutDown);
    lblShutDownTime->setObjectName(QStringLiteral("lblShutDownTime"));
    txtShutDownTime_ = new QLineEdit(shutDown);
    txtShutDownTime_->setObjectName(QStringLiteral("txtShutDownTime"));
    txtShutDownTime_->setToolTip(
        QStringLiteral("Elapse time in seconds Keyvale runs during inactivity before shut-down or lock-out."));
    txtShutDownTime_->installEventFilter(this);
    lblShutDownTime->setBuddy(txtShutDownTime_);
    chkShutDownKeyvale_ = checkBox(shutDown, "chkShutDownKeyvale", QStringLiteral("Shut &Down Keyvale:"),
                                   QStringLiteral("Check to auto shut-down or uncheck to auto lock"));
    auto* shutDownLayout = new QGridLayout(shutDown);
    shutDownLayout->addWidget(lblShutDownTime, 0, 0);
    shutDownLayout->addWidget(txtShutDownTime_, 0, 1);
    shutDownLayout->addWidget(chkShutDownKeyvale_, 1, 0, 1, 2, Qt::AlignLeft);

    auto* showHide = new QGroupBox(QStringLiteral("Show/Hide Data:"), this);
    showHide->setObjectName(QStringLiteral("fraShowHide"));
    chkShowDeleteRecord_ = checkBox(showHide, "chkShowDeleteRecord", QStringLiteral("Show Deleted &Record:"),
                                    QStringLiteral("Check to show deleted records or uncheck to hide"));
    chkShowPasswordText_ = checkBox(showHide, "chkShowPasswordText", QStringLiteral("Show Password T&ext:"),
                                    QStringLiteral("Check to show password or uncheck to hide password"));
    chkShowPasswordColumn_ =
        checkBox(showHide, "chkShowPasswordColumn", QStringLiteral("Show Password Colu&mn:"),
                 QStringLiteral("Check to show password column in the grid or uncheck to hide password column"));
    chkShowPriorUserIDPassword_ =
        checkBox(showHide, "chkShowPriorUserIDPassword", QStringLiteral("Show &Prior UserID/Password:"), {});
    auto* showHideLayout = new QVBoxLayout(showHide);
    for (QCheckBox* box :
         {chkShowDeleteRecord_, chkShowPasswordText_, chkShowPasswordColumn_, chkShowPriorUserIDPassword_})
        showHideLayout->addWidget(box, 0, Qt::AlignLeft);

    auto* misc = new QGroupBox(QStringLiteral("Misc Options:"), this);
    misc->setObjectName(QStringLiteral("fraMisc"));
    chkConfirmUpdate_ = checkBox(misc, "chkConfirmUpdate", QStringLiteral("Confirm &Update:"),
                                 QStringLiteral("Check to confirm updates to record changes or uncheck to save "
                                                "changes without confirmation"));
    chkExportPassword_ = checkBox(misc, "chkExportPassword", QStringLiteral("&Include Password with Export"), {});
    auto* miscLayout = new QVBoxLayout(misc);
    miscLayout->addWidget(chkConfirmUpdate_, 0, Qt::AlignLeft);
    miscLayout->addWidget(chkExportPassword_, 0, Qt::AlignLeft);

    auto* colors = new QGroupBox(QStringLiteral("Grid/Combo box Colors:"), this);
    colors->setObjectName(QStringLiteral("fraColors"));
    auto* colorsLayout = new QGridLayout(colors);
    const QString captions[] = {QStringLiteral("Back Color Odd:"), QStringLiteral("Fore Color Odd:"),
                                QStringLiteral("Back Color Even:"), QStringLiteral("Fore Color Even:")};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(captions[i], colors);
        auto* swatch = new ColorSwatch(colors);
        swatch->setObjectName(QStringLiteral("picGridColorPick%1").arg(i));
        swatch->setCaption(captions[i]);
        swatch->setFixedSize(twipsToPixels(495, this), twipsToPixels(255, this));
        label->setBuddy(swatch);
        connect(swatch, &ColorSwatch::doubleClicked, this, [this, i] { picGridColorPick_DblClick(i); });
        colorsLayout->addWidget(label, i, 0);
        colorsLayout->addWidget(swatch, i, 1);
        picGridColorPick_[size_t(i)] = swatch;
    }

    auto* protection = new QGroupBox(QStringLiteral("Protection:"), this);
    protection->setObjectName(QStringLiteral("fraProtection"));
    chkProtectRecords_ = new QCheckBox(QStringLiteral("Protect the data&base with the master password"), protection);
    chkProtectRecords_->setObjectName(QStringLiteral("chkProtectRecords"));
    chkProtectRecords_->setAccessibleName(QStringLiteral("Protect the database with the master password"));
    auto* lblProtectRecords = new QLabel(QStringLiteral("A copy of the file then shows group names, web sites and "
                                                        "dates, but no user IDs, passwords or descriptions."),
                                         protection);
    lblProtectRecords->setObjectName(QStringLiteral("lblProtectRecords"));
    chkProtectRecords_->setAccessibleDescription(lblProtectRecords->text());
    // Converting the records reads them again into the main window: only it can.
    chkProtectRecords_->setEnabled(main_ != nullptr);
    auto* protectionLayout = new QVBoxLayout(protection);
    protectionLayout->addWidget(chkProtectRecords_, 0, Qt::AlignLeft);
    protectionLayout->addWidget(lblProtectRecords);

    auto* location = new QGroupBox(QStringLiteral("Password &Location"), this);
    location->setObjectName(QStringLiteral("fraLocation"));
    txtKeyvaleLocation_ = new QLineEdit(location);
    txtKeyvaleLocation_->setObjectName(QStringLiteral("txtKeyvaleLocation"));
    txtKeyvaleLocation_->setToolTip(QStringLiteral("Path where Keyvale data is stored."));
    txtKeyvaleLocation_->setAccessibleName(QStringLiteral("Password Location"));
    // The folder changes only by a move: typing a path here would point the program at no data.
    txtKeyvaleLocation_->setReadOnly(true);
    bttnBrowseLocation_ = new QPushButton(QStringLiteral("..."), location);
    bttnBrowseLocation_->setObjectName(QStringLiteral("bttnBrowseLocation"));
    bttnBrowseLocation_->setToolTip(QStringLiteral("Select a folder to move Keyvale data to."));
    bttnBrowseLocation_->setAccessibleName(QStringLiteral("Select a folder to move Keyvale data to."));
    bttnBrowseLocation_->setAutoDefault(false);
    connect(bttnBrowseLocation_, &QPushButton::clicked, this, &frmOptions::bttnBrowseLocation_Click);
    // Only the main window can move its data and show it again.
    bttnBrowseLocation_->setEnabled(main_ != nullptr);
    if (main_) connect(main_, &frmMain::dataFolderMoved, txtKeyvaleLocation_, &QLineEdit::setText);
    auto* locationLayout = new QHBoxLayout(location);
    locationLayout->addWidget(txtKeyvaleLocation_, 1);
    locationLayout->addWidget(bttnBrowseLocation_);

    bttnOk_ = new QPushButton(QStringLiteral("&Save"), this);
    bttnOk_->setObjectName(QStringLiteral("bttnOk"));
    bttnOk_->setDefault(true);
    connect(bttnOk_, &QPushButton::clicked, this, &frmOptions::bttnOk_Click);
    bttnExit_ = new QPushButton(QStringLiteral("E&xit"), this);
    bttnExit_->setObjectName(QStringLiteral("bttnExit"));
    bttnExit_->setAutoDefault(false);
    connect(bttnExit_, &QPushButton::clicked, this, &frmOptions::bttnExit_Click);

    connect(chkShowDeleteRecord_, &QCheckBox::clicked, this, &frmOptions::chkShowDeleteRecord_Click);
    connect(chkShowPasswordColumn_, &QCheckBox::clicked, this, &frmOptions::chkShowPasswordColumn_Click);
    connect(chkShowPasswordText_, &QCheckBox::clicked, this, &frmOptions::chkShowPasswordText_Click);

    auto* grid = new QGridLayout;
    grid->addWidget(shutDown, 0, 0);
    grid->addWidget(colors, 0, 1, 2, 1);
    grid->addWidget(showHide, 1, 0, 2, 1);
    grid->addWidget(misc, 2, 1);
    grid->addWidget(protection, 3, 0, 1, 2);
    grid->addWidget(location, 4, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bttnOk_);
    buttons->addWidget(bttnExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(txtShutDownTime_, chkShutDownKeyvale_);
    setTabOrder(chkShutDownKeyvale_, chkShowDeleteRecord_);
    setTabOrder(chkShowDeleteRecord_, chkShowPasswordText_);
    setTabOrder(chkShowPasswordText_, chkShowPasswordColumn_);
    setTabOrder(chkShowPasswordColumn_, chkShowPriorUserIDPassword_);
    setTabOrder(chkShowPriorUserIDPassword_, chkConfirmUpdate_);
    setTabOrder(chkConfirmUpdate_, chkExportPassword_);
    setTabOrder(chkExportPassword_, picGridColorPick_[0]);
    for (size_t i = 1; i < picGridColorPick_.size(); ++i)
        setTabOrder(picGridColorPick_[i - 1], picGridColorPick_[i]);
    setTabOrder(picGridColorPick_[3], chkProtectRecords_);
    setTabOrder(chkProtectRecords_, txtKeyvaleLocation_);
    setTabOrder(txtKeyvaleLocation_, bttnBrowseLocation_);
    setTabOrder(bttnBrowseLocation_, bttnOk_);
    setTabOrder(bttnOk_, bttnExit_);

    Form_Load();
}

void frmOptions::Form_Load() {
    chkShutDownKeyvale_->setChecked(gShutDownKeyvale);
    txtShutDownTime_->setText(QString::number(gShutDownTime));
    chkShowDeleteRecord_->setChecked(gShowDeletedRecord);
    chkShowPasswordColumn_->setChecked(gShowPasswordColumn);
    chkShowPasswordText_->setChecked(gShowPasswordText);
    chkShowPriorUserIDPassword_->setChecked(gShowPriorUserIDPassword);
    chkConfirmUpdate_->setChecked(gConfirmUpdate);
    txtKeyvaleLocation_->setText(gDataFolder);
    const qint32 colors[] = {gGridBackColorOdd, gGridForeColorOdd, gGridBackColorEven, gGridForeColorEven};
    for (size_t i = 0; i < picGridColorPick_.size(); ++i)
        picGridColorPick_[i]->setColor(colors[i]);
    chkExportPassword_->setChecked(gExportPassword);
    chkProtectRecords_->setChecked(gRecordCodec.isProtected());
}

double frmOptions::shutDownValue() const {
    return leadingNumber(txtShutDownTime_->text());
}

void frmOptions::chkShowDeleteRecord_Click() {
    gShowDeletedRecord = chkShowDeleteRecord_->isChecked();
}

void frmOptions::chkShowPasswordColumn_Click() {
    gShowPasswordColumn = chkShowPasswordColumn_->isChecked();
}

void frmOptions::chkShowPasswordText_Click() {
    gShowPasswordText = chkShowPasswordText_->isChecked();
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtShutDownTime_) {
        if (event->type() == QEvent::FocusIn) {
            txtShutDownTime_GotFocus();
        } else if (event->type() == QEvent::FocusOut) {
            // Only a move to another control of this dialog: not a message box or another window.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) txtShutDownTime_LostFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmOptions::txtShutDownTime_GotFocus() {
    // After a click has placed the cursor, so the whole text stays selected.
    QTimer::singleShot(0, txtShutDownTime_, [box = txtShutDownTime_] { SelectAllText(box); });
}

void frmOptions::txtShutDownTime_LostFocus() {
    if (checking_) return;
    checking_ = true;
    const double value = shutDownValue();
    txtShutDownTime_->setText(numberText(value));
    if (value > kLongest) {
        desktop().message(QStringLiteral("Shutdown Time can not exceed 120 seconds."), {}, Buttons::Ok,
                          Icon::Information);
        txtShutDownTime_->setText(QStringLiteral("120"));
    }
    checkLowest();
    checking_ = false;
}

bool frmOptions::checkLowest() {
    if (shutDownValue() >= kShortest) return true;
    desktop().message(QStringLiteral("Shutdown Time can not be lower then 15 seconds."), {}, Buttons::Ok,
                      Icon::Information);
    txtShutDownTime_->setText(QStringLiteral("15"));
    return false;
}

void frmOptions::picGridColorPick_DblClick(int index) {
    ColorSwatch* swatch = picGridColorPick_[size_t(index)];
    frmColorPicker picker(swatch->color(), this);
    emit colorPickerShown(&picker);
    picker.exec();
    if (picker.colorChosen()) swatch->setColor(picker.color());
}

void frmOptions::bttnOk_Click() {
    const double value = shutDownValue();
    if (value > kLongest) {
        desktop().message(QStringLiteral("The maximum allowable Shutdown Time is 120 seconds."), {}, Buttons::Ok,
                          Icon::Information);
        txtShutDownTime_->setText(QStringLiteral("120"));
        gShutDownTime = qint16(kLongest);
        return;
    }
    // A time under the least (a word, or a box left empty, reads as 0, which would turn the idle timer off)
    // is never stored.
    if (!checkLowest()) return;
    // A change of protection that does not happen (wrong password, cancelled, failed) stores nothing and keeps
    // the dialog open.
    if (chkProtectRecords_->isChecked() != gRecordCodec.isProtected() &&
        !(main_ && main_->setRecordsProtected(chkProtectRecords_->isChecked(), this)))
        return;
    gShutDownTime = qint16(std::nearbyint(value));
    gShowDeletedRecord = chkShowDeleteRecord_->isChecked();
    gShowPasswordText = chkShowPasswordText_->isChecked();
    gShowPasswordColumn = chkShowPasswordColumn_->isChecked();
    gShowPriorUserIDPassword = chkShowPriorUserIDPassword_->isChecked();
    gShutDownKeyvale = chkShutDownKeyvale_->isChecked();
    gConfirmUpdate = chkConfirmUpdate_->isChecked();
    gExportPassword = chkExportPassword_->isChecked();
    gGridBackColorOdd = qint32(picGridColorPick_[0]->color());
    gGridForeColorOdd = qint32(picGridColorPick_[1]->color());
    gGridBackColorEven = qint32(picGridColorPick_[2]->color());
    gGridForeColorEven = qint32(picGridColorPick_[3]->color());
    if (main_) main_->setRowColors(gGridBackColorOdd, gGridForeColorOdd, gGridBackColorEven, gGridForeColorEven);
    gSaveOptions();
    accept();
}

void frmOptions::bttnExit_Click() {
    reject();
}

void frmOptions::bttnBrowseLocation_Click() {
    const FormOpenHeld held;
    const QString folder = desktop().browseForFolder(
        this, txtKeyvaleLocation_->text(), QStringLiteral("Selected a folder to move Keyvale data file to..."));
    // The main window moves the data, since it has to show its records again whatever comes of it.
    if (!folder.isEmpty() && main_ && main_->moveDataFolderTo(folder, this)) reject();
}

} // namespace kv
