#pragma once

#include "store/GridDataSource.h"
#include "store/GroupListSource.h"
#include "store/RecordsetRows.h"
#include "store/ViewFlags.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>

class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTimer;

namespace kv {

class ExportFlow;
struct ImportLink;
class GridDropDown;
class IdleTimer;
class MainToolbar;
class RecordsGrid;
class frmFind;

// The main window: the records grid served from gRsChildData, the group combo with its rename and delete
// buttons, the password box of the current record, and the status bar. The toolbar, the menu and the idle
// timer are built apart and plugged in by whoever shows the window.
class frmMain : public QMainWindow, private GridDataSource {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    RecordsGrid* grid() const { return SSDBGrid_; }
    QLineEdit* passwordBox() const { return txtPassword_; }
    QComboBox* groupCombo() const { return SSDBCombo_; }
    GridDropDown* groupDropDown() const { return SSDBDropDown_; }
    MainToolbar* toolbar() const;
    IdleTimer* idleTimer() const;
    // The window's own copies of the view options; the toolbar changes them.
    ViewFlags& viewFlags() { return flags_; }

    // The message panel of the status bar.
    void setStatusText(const QString& text);
    QString statusText() const;

    // Writes the record count of gRsChildData into the grid's caption.
    void DisplayTotalCount();
    // Reopens gRsChildData over the group the combo shows and reads the grid again.
    void UpdateComboGroupName();
    // Colours (0x00BBGGRR) of odd and even rows for the grid, the combo's list and the drop-down.
    void setRowColors(qint64 backOdd, qint64 foreOdd, qint64 backEven, qint64 foreEven);

    // Moves the data folder to `folder` (as the folder picker gave it), asking the user the move's questions
    // over `owner`, and shows the same group's records again whatever happens. True when the data moved.
    bool moveDataFolderTo(const QString& folder, QWidget* owner);
    // Turns the protection of the records with the master password on or off, asking for the password over
    // `owner` and converting every record with the busy pointer and progress, then shows the same group's
    // records again. True when the records changed form; the user has been told why when not.
    bool setRecordsProtected(bool on, QWidget* owner);

    // Hides the window behind the log-on window, which shows it again when the master password is given.
    // While locked the window holds no records (no rows, no group names, no password, no status quoting a
    // record) and runs no command; a row being edited waits, unstored, for after the log-on, which brings
    // the window back at the same group and row.
    void lockOut();
    bool isLocked() const { return locked_; }

    // The snapshot of the current row taken when it became current (the prior values of a save).
    const QString& rowUserID() const { return sRowUserID; }
    const QString& rowPassword() const { return sRowPassword; }

signals:
    // The data now lives in `folder` (as stored), before the user is told so.
    void dataFolderMoved(const QString& folder);

public slots:
    void btnRenameGroupName_Click();
    void btnDeleteGroupName_Click();
    void btnUpdatePassword_Click();
    void btnPasswordGenerator_Click();
    void SSDBCombo_Click();
    void ResetAutoShutdown();
    void mnuFileBackup_Click();
    void mnuFileRestore_Click();
    void mnuFileExit_Click();
    void mnuEditOptions_Click();
    void mnuEditFind_Click();
    void mnuEditImportSelectData_Click();
    void mnuEditImport_Click();
    void mnuEditImportCsv_Click();
    void mnuLockOut_Click();
    void mnuHelpHelp_Click();
    void mnuHelpAbout_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend void gInitializeGroupNameCombo();

    // Building the window
    void createControls();
    void Form_Load();
    void Form_Resize();
    void InitializeLocalVariables();
    void InitializeGrid();
    void InitializeStatusBar();
    void InitializeMenu();
    void InitializeToolbar();
    void startIdleTimer();
    // Hides nothing itself: shows the log-on window, which shows this window again on success.
    void showLogOnWindow();
    // What the lock takes out of the window, and what the log-on puts back.
    void holdRecords();
    void bringRecordsBack();
    // The idle timer's shutdown: stores the row being edited when that needs no answer from anyone, else
    // drops it, and ends the program.
    void idleShutdown();
    // Ends the program; everything is stored by then.
    void endProgram();
    // Shows one of our dialogs modally; the idle timer waits meanwhile.
    int runModal(QDialog& dialog);
    void updateDateAndTime();
    // How the imports reach this window's status panel, group and grid.
    ImportLink importLink();

    // Group names
    void fillGroupCombo();
    void showGroupInCombo(const QString& group);
    void setGroupButtons(bool enabled);
    bool MasterRecordFound();
    int GetChildDataCount();

    // Editing
    void SSDBGrid_BeforeInsert(bool& cancel);
    void SSDBGrid_BeforeUpdate(bool& cancel);
    void SSDBGrid_RowColChange(int previousRow, int previousColumn);
    void SSDBGrid_Click();
    void SSDBGrid_InitColumnProps();
    void takeSnapshot();
    bool ValidateWebsite(const QString& website);
    void txtPassword_GotFocus();
    void txtPassword_LostFocus();
    // False, after telling the user, when the field cipher cannot store the text unchanged.
    bool storable(const QString& password, const QString& what);
    void saveNotDone();

    // Who is there to answer when a row is stored: the user as usual; the user closing the program, who
    // may cancel the close; or nobody (the idle shutdown), so that a store that would ask is refused.
    enum class Asking { Always, AtExit, Never };
    // Stores the row being edited as leaving it would. False when it is still in edit (refused or kept);
    // with nobody to ask, a row that cannot be stored is dropped instead.
    bool storePendingRow(Asking asking);

    // The grid's data events, served from gRsChildData.
    void readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) override;
    QVariant position(const QVariant& start, int rows) override;
    AddResult addRow(const RowBuffer& buffer) override;
    StoreResult writeRow(const RowBuffer& buffer, const QVariant& bookmark) override;
    bool deleteRow(const QVariant& bookmark) override;
    bool scanRows(const std::function<bool(const QVariant& bookmark, const SourceRow& row)>& visit) override;
    AddResult SSDBGrid_UnboundAddData(const RowBuffer& buffer);
    StoreResult SSDBGrid_UnboundWriteData(const RowBuffer& buffer, const QVariant& bookmark);
    bool SSDBGrid_UnboundDeleteRow(const QVariant& bookmark);

    void colorGroupList();
    // After the connection was closed for a file copy and opened again.
    void showRecordsAgain();

    GroupListSource groupListSource_;

    RecordsGrid* SSDBGrid_ = nullptr;
    QComboBox* SSDBCombo_ = nullptr;
    QStandardItemModel* groupList_ = nullptr;
    GridDropDown* SSDBDropDown_ = nullptr;
    QPushButton* btnRenameGroupName_ = nullptr;
    QPushButton* btnDeleteGroupName_ = nullptr;
    QLabel* lblPassword_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;
    QPushButton* btnUpdatePassword_ = nullptr;
    QPushButton* btnPasswordGenerator_ = nullptr;
    QLabel* panelMessage_ = nullptr;
    QLabel* panelVersion_ = nullptr;
    QLabel* panelDate_ = nullptr;
    QLabel* panelTime_ = nullptr;
    QTimer* clockTimer_ = nullptr;
    MainToolbar* Toolbar_ = nullptr;
    IdleTimer* Timer1_ = nullptr;
    std::unique_ptr<ExportFlow> exportFlow_;
    std::unique_ptr<frmFind> find_;
    QPointer<QWidget> logOn_; // the log-on window while the program is locked
    bool locked_ = false;
    // Kept aside while locked: the status text, the password box's text and the commands the lock disabled.
    QString heldStatus_;
    QString heldPassword_;
    QList<QPointer<QAction>> heldCommands_;

    int iColumnCount = 0;
    QString sRowUserID;
    QString sRowPassword;
    int iLastRow = 0;
    QVariant snapshotBookmark_; // the record the snapshot belongs to
    bool bAddMode = false;
    bool bPasswordUpdate = false;
    bool bDropDownOpen = false;
    ViewFlags flags_;
    QString shownGroup_;        // the group gRsChildData holds; empty for all groups
    QString statusBeforeSave_;  // put back when a save does not happen after all
    bool addModeBeforeSave_ = false;
    Asking asking_ = Asking::Always;
    std::array<qint64, 4> comboColors_{};
    RowReadFailure readFailure_{QStringLiteral("SSDBGrid_UnboundReadData of Form frmMain")};
};

// The group combo's first entry: no filter.
inline const QString kAllGroups = QStringLiteral("***All Groups");

// Refills the main window's group combo from tblMasterData and selects "***All Groups".
void gInitializeGroupNameCombo();

} // namespace kv
