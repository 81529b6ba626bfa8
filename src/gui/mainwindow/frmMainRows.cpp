// The main window's records: the grid's data events served from gRsChildData, and the checks around a save.
#include "mainwindow/frmMain.h"

#include "grid/RecordsGrid.h"
#include "store/RecordsetRows.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/DateText.h"
#include "store/Options.h"
#include "store/RecordFields.h"
#include "store/RecordStore.h"
#include "store/modDBstuff.h"

#include <QLineEdit>
#include <optional>

namespace kv {

// ---- Data events

void frmMain::readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) {
    if (!gRsChildData) return;
    try {
        readRecordsetRows(*gRsChildData, buffer, start, readBackwards, &gRecordCodec);
    } catch (const Error& e) {
        readFailure_.report(e);
    }
}

QVariant frmMain::position(const QVariant& start, int rows) {
    return gRsChildData ? positionRecordset(*gRsChildData, start, rows) : QVariant();
}

bool frmMain::scanRows(const std::function<bool(const QVariant& bookmark, const SourceRow& row)>& visit) {
    if (!gRsChildData) return false;
    scanRecordsetRows(*gRsChildData, gRecordCodec, visit);
    return true;
}

AddResult frmMain::addRow(const RowBuffer& buffer) {
    return SSDBGrid_UnboundAddData(buffer);
}

StoreResult frmMain::writeRow(const RowBuffer& buffer, const QVariant& bookmark) {
    return SSDBGrid_UnboundWriteData(buffer, bookmark);
}

bool frmMain::deleteRow(const QVariant& bookmark) {
    return SSDBGrid_UnboundDeleteRow(bookmark);
}

AddResult frmMain::SSDBGrid_UnboundAddData(const RowBuffer& buffer) {
    auto cell = [&](int c) {
        const QVariant v = buffer.value(0, c);
        return v.isValid() ? v.toString() : QString(QLatin1String(""));
    };
    if (!storable(cell(kPasswordColumn), QStringLiteral("password")) || !MasterRecordFound()) {
        saveNotDone();
        return {StoreResult::Refused, {}};
    }
    // The password cannot be typed into the grid while its column is hidden: ask for it. The box comes
    // before the record is begun, so that nothing half-built is pending while it is open.
    // With nobody there to answer, the record is stored as if the box had been cancelled.
    std::optional<QString> typed;
    if (!SSDBGrid_->isColumnVisible(kPasswordColumn) && asking_ != Asking::Never) {
        const auto answer = desktop().input(QStringLiteral("Enter Password:"), QStringLiteral("Password"), {},
                                            Desktop::Echo::Masked);
        if (answer && !answer->trimmed().isEmpty()) {
            if (!storable(*answer, QStringLiteral("password"))) {
                saveNotDone();
                return {StoreResult::Refused, {}};
            }
            typed = *answer; // blanks around it are part of the password
        }
    }
    try {
        if (!gRsChildData) throw noObject();
        RecordCells cells;
        for (int c = 0; c < iColumnCount && c < int(cells.size()); ++c)
            cells[c] = cell(c);
        if (typed) cells[kPasswordColumn] = *typed;
        storeNewRecord(*gRsChildData, cells);
        gRsChildData->moveLast();
        const QVariant bookmark = gRsChildData->bookmark();
        DisplayTotalCount();
        return {StoreResult::Stored, bookmark};
    } catch (const Error& e) {
        if (gRsChildData) gRsChildData->cancelUpdate();
        reportError(e, QStringLiteral("SSDBGrid_UnboundAddData of Form frmMain"));
        saveNotDone();
        return {StoreResult::Failed, {}};
    }
}

StoreResult frmMain::SSDBGrid_UnboundWriteData(const RowBuffer& buffer, const QVariant& bookmark) {
    const bool passwordChanged = buffer.value(0, kPasswordColumn).isValid();
    const QString password = SSDBGrid_->cellValue(kPasswordColumn).toString();
    if (passwordChanged && (!storable(password, QStringLiteral("password")) ||
                            (sRowPassword != password && !storable(sRowPassword, QStringLiteral("prior password"))))) {
        saveNotDone();
        return StoreResult::Refused;
    }
    if (!MasterRecordFound()) {
        saveNotDone();
        return StoreResult::Refused;
    }
    try {
        if (!gRsChildData) throw noObject();
        gRsChildData->setBookmark(bookmark.toInt());
        // The prior values are the ones the row had when it became current.
        RecordChange change{{}, sRowUserID, sRowPassword};
        for (int c = 0; c < iColumnCount && c < int(change.fields.size()); ++c) {
            const QVariant value = buffer.value(0, c);
            if (value.isValid()) change.fields[c] = c == kPasswordColumn ? password : value.toString();
        }
        storeRecordChange(*gRsChildData, change);
        return StoreResult::Stored;
    } catch (const Error& e) {
        if (gRsChildData) gRsChildData->cancelUpdate();
        reportError(e, QStringLiteral("SSDBGrid_UnboundWriteData of Form frmMain"));
        saveNotDone();
        return StoreResult::Failed;
    }
}

bool frmMain::SSDBGrid_UnboundDeleteRow(const QVariant& bookmark) {
    try {
        if (!gRsChildData) throw noObject();
        gRsChildData->setBookmark(bookmark.toInt());
        gRsChildData->deleteCurrent();
        DisplayTotalCount();
        return true;
    } catch (const Error& e) {
        reportError(e, QStringLiteral("SSDBGrid_UnboundDeleteRow of Form frmMain"));
        return false;
    }
}

bool frmMain::storable(const QString& password, const QString& what) {
    const QString refusal = unstorableRefusal(password, what);
    if (refusal.isEmpty()) return true;
    if (asking_ == Asking::Never) return false;
    desktop().message(refusal, {}, Buttons::Ok, Icon::Information);
    return false;
}

void frmMain::saveNotDone() {
    // The before-update check already announced the save; take that back.
    setStatusText(statusBeforeSave_);
    bAddMode = addModeBeforeSave_;
}

// ---- Editing events

void frmMain::SSDBGrid_BeforeInsert(bool& cancel) {
    bAddMode = true;
    if (bDropDownOpen || SSDBGrid_->currentColumn() == 1) return;
    const QVariant group = SSDBGrid_->cellValue(kGroupNameColumn);
    if (!group.isValid() || group.toString().trimmed().isEmpty()) {
        desktop().message(QStringLiteral("Please enter a Group Name!"), {}, Buttons::Ok, Icon::Information);
        SSDBGrid_->setCurrentColumn(1);
        cancel = true;
    }
}

void frmMain::SSDBGrid_BeforeUpdate(bool& cancel) {
    // A new row begun and then abandoned does not make the next change of a stored record a new row:
    // that change is still confirmed when the options ask for it.
    if (bAddMode && !SSDBGrid_->isAddNewRow()) bAddMode = false;
    statusBeforeSave_ = statusText();
    addModeBeforeSave_ = bAddMode;
    const QVariant group = SSDBGrid_->cellValue(kGroupNameColumn);
    if (!group.isValid() || group.toString().trimmed().isEmpty()) {
        cancel = true;
        if (asking_ == Asking::Never) return;
        desktop().message(QStringLiteral("Please enter a Group Name!"), {}, Buttons::Ok, Icon::Information);
        SSDBGrid_->setCurrentColumn(1);
        setStatusText(QStringLiteral("Group Name must be entered"));
        return;
    }
    if (bAddMode) {
        bAddMode = false;
        setStatusText(QStringLiteral("Saved Record"));
        return;
    }
    if (!gConfirmUpdate) {
        setStatusText(QStringLiteral("Saved Changes"));
        return;
    }
    // The change is the user's to confirm: with nobody there it is not stored.
    if (asking_ == Asking::Never) {
        cancel = true;
        return;
    }
    // Closing the program may still be called off, keeping the change in edit.
    const Answer answer = desktop().message(QStringLiteral("Save changes?"), {},
                                            asking_ == Asking::AtExit ? Buttons::YesNoCancel : Buttons::YesNo,
                                            Icon::Question);
    if (answer == Answer::Cancel) {
        cancel = true;
        return;
    }
    if (answer == Answer::No) {
        cancel = true;
        SSDBGrid_->setFocus();
        if (bPasswordUpdate) SSDBGrid_->setCurrentColumn(kPasswordColumn);
        // Drop the cell being typed, then the row's other changes: the row shows what is stored.
        SSDBGrid_->cancelEdit();
        SSDBGrid_->cancelEdit();
        setStatusText(QStringLiteral("Cancelled Changes"));
        return;
    }
    setStatusText(QStringLiteral("Saved Changes"));
}

void frmMain::SSDBGrid_RowColChange(int, int) {
    const int row = SSDBGrid_->currentRow();
    // A new snapshot whenever another record becomes current, even at the same row number.
    if (row != iLastRow || SSDBGrid_->currentBookmark() != snapshotBookmark_) {
        iLastRow = row;
        takeSnapshot();
        txtPassword_->setText(SSDBGrid_->cellText(kPasswordColumn));
    }
    if (SSDBGrid_->isAddNewRow())
        setStatusText(QStringLiteral("Add Mode"));
    else if (row >= 0)
        setStatusText(QStringLiteral("Current Row ") + QString::number(row + 1) + QStringLiteral(" : ") +
                      SSDBGrid_->cellText(1) + QStringLiteral(", ") + SSDBGrid_->cellText(2) + QStringLiteral(", ") +
                      SSDBGrid_->cellText(3));
}

void frmMain::takeSnapshot() {
    snapshotBookmark_ = SSDBGrid_->currentBookmark();
    sRowUserID = SSDBGrid_->cellValue(kUserIdColumn).toString();
    sRowPassword = SSDBGrid_->cellValue(kPasswordColumn).toString();
}

void frmMain::SSDBGrid_InitColumnProps() {
    // Group names are picked from the list of groups.
    SSDBGrid_->setColumnDropDown(1, SSDBDropDown_);
}

} // namespace kv
