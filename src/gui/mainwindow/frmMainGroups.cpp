// The main window's group names: the group combo, the filter it sets, creating a group on the fly, and the
// rename and delete buttons. A group's records follow its rename or delete through the database's
// cascading relation; group names are always passed as statement parameters.
#include "mainwindow/frmMain.h"

#include "grid/GridDropDown.h"
#include "grid/RecordsGrid.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "store/RecordFields.h"
#include "store/RecordStore.h"
#include "store/modDBstuff.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace kv {

namespace {

// " record " or " records ", as the questions about a group's records say it.
QString recordWord(int n) {
    return n == 1 ? QStringLiteral(" record ") : QStringLiteral(" records ");
}

QString detectedText(int n, const QString& name) {
    return QStringLiteral("Keyvale has detected ") + QString::number(n) + recordWord(n) +
           QStringLiteral("associated to ") + QStringLiteral("Group Name '") + name + QStringLiteral("'");
}

} // namespace

void gInitializeGroupNameCombo() {
    if (auto* form = qobject_cast<frmMain*>(mainWindow())) form->fillGroupCombo();
}

void frmMain::fillGroupCombo() {
    try {
        const QSignalBlocker quiet(SSDBCombo_);
        groupList_->removeRows(0, groupList_->rowCount());
        SSDBCombo_->setCurrentIndex(-1);
        groupList_->appendRow(new QStandardItem(kAllGroups));
        if (!gRsMasterData) throw noObject();
        gRsMasterData->requery();
        try {
            gRsMasterData->moveFirst();
            while (!gRsMasterData->eof()) {
                groupList_->appendRow(new QStandardItem(gRsMasterData->field(0).toString()));
                gRsMasterData->moveNext();
            }
        } catch (const Error& e) {
            if (e.number() != err::NoCurrentRecord) throw;
        }
        groupList_->setHeaderData(0, Qt::Horizontal, gRsMasterData->fieldName(0));
        SSDBCombo_->setModelColumn(0);
        SSDBCombo_->setCurrentIndex(0);
        colorGroupList();
        setGroupButtons(false);
    } catch (const Error& e) {
        reportError(e, QStringLiteral("gInitializeGroupNameCombo of Module modKeyvale"));
    }
}

void frmMain::colorGroupList() {
    const QColor backOdd = colorFromBgr(comboColors_[0]), foreOdd = colorFromBgr(comboColors_[1]);
    const QColor backEven = colorFromBgr(comboColors_[2]), foreEven = colorFromBgr(comboColors_[3]);
    for (int r = 0; r < groupList_->rowCount(); ++r) {
        QStandardItem* item = groupList_->item(r);
        const bool odd = r % 2 == 0; // rows count from 1
        item->setBackground(odd ? backOdd : backEven);
        item->setForeground(odd ? foreOdd : foreEven);
        item->setEditable(false);
    }
}

void frmMain::showGroupInCombo(const QString& group) {
    const QSignalBlocker quiet(SSDBCombo_);
    const int index = SSDBCombo_->findText(group, Qt::MatchExactly | Qt::MatchCaseSensitive);
    SSDBCombo_->setCurrentIndex(index < 0 ? 0 : index);
    setGroupButtons(SSDBCombo_->currentIndex() > 0);
}

void frmMain::setGroupButtons(bool enabled) {
    btnRenameGroupName_->setEnabled(enabled);
    btnDeleteGroupName_->setEnabled(enabled);
}

void frmMain::SSDBCombo_Click() {
    const QString picked = SSDBCombo_->currentText();
    // The row being edited is stored (or refused) before the grid shows other rows.
    if (SSDBGrid_->isEditing()) {
        const bool stored = SSDBGrid_->commitRow();
        showGroupInCombo(stored ? picked : (shownGroup_.isEmpty() ? kAllGroups : shownGroup_));
        if (!stored) return;
    }
    UpdateComboGroupName();
}

void frmMain::UpdateComboGroupName() {
    try {
        const QString group = SSDBCombo_->currentText();
        const bool all = group == kAllGroups || group.isEmpty();
        auto records =
            all ? openRecordset(
                      QStringLiteral("Select %1 from tblChildData order by GroupName, Website").arg(kRecordFieldList))
                : openRecordset(
                      QStringLiteral("Select %1 from tblChildData Where GroupName = ? order by  GroupName, Website")
                          .arg(kRecordFieldList),
                      {group});
        setGroupButtons(!all);
        gRsChildData = std::move(records);
        shownGroup_ = all ? QString() : group;
        SSDBGrid_->reread();
        txtPassword_->setText(SSDBGrid_->cellValue(kPasswordColumn).toString());
        DisplayTotalCount();
        setStatusText(QStringLiteral("Group Name ") + group + QStringLiteral(" selected."));
        SSDBGrid_->setFocus();
    } catch (const Error& e) {
        reportError(e, QStringLiteral("UpdateComboGroupName of Form frmMain"));
    }
}

bool frmMain::MasterRecordFound() {
    try {
        if (!gRsMasterData) throw noObject();
        const QString group = SSDBGrid_->cellValue(kGroupNameColumn).toString();
        if (groupNameFound(*gRsMasterData, group)) return true;
        // A new group is the user's to confirm: with nobody there the record is not stored.
        if (asking_ == Asking::Never) return false;

        if (desktop().message(
                QStringLiteral("The Master Group Name does not exists.\nAre you sure you want to create it?"), {},
                Buttons::YesNo, Icon::Question) != Answer::Yes)
            return false;
        addGroupName(*gRsMasterData, group);
        SSDBDropDown_->refresh();
        gInitializeGroupNameCombo();
        // The grid still shows the same rows: so does the combo.
        showGroupInCombo(shownGroup_.isEmpty() ? kAllGroups : shownGroup_);
        return true;
    } catch (const Error& e) {
        if (gRsMasterData) gRsMasterData->cancelUpdate();
        reportError(e, QStringLiteral("MasterRecordFound of Form frmMain"));
        return false;
    }
}

int frmMain::GetChildDataCount() {
    try {
        auto records = openRecordset(QStringLiteral("Select GroupName from tblChildData Where GroupName = ?"),
                                     {SSDBCombo_->currentText()});
        int count = 0;
        try {
            records->moveFirst();
            if (!records->eof()) count = records->recordCount();
        } catch (const Error& e) {
            if (e.number() != err::NoCurrentRecord) throw;
        }
        records->close();
        return count;
    } catch (const Error& e) {
        reportError(e, QStringLiteral("GetChildDataCount of Form frmMain"));
        return 0;
    }
}

void frmMain::btnDeleteGroupName_Click() {
    if (!SSDBGrid_->commitRow()) return;
    const int n = GetChildDataCount();
    const QString name = SSDBCombo_->currentText();
    const QString question = n != 0 ? detectedText(n, name) + QStringLiteral("\n") +
                                          QStringLiteral("The selected Group Name and associated") + recordWord(n) +
                                          QStringLiteral("will be deleted.") + QStringLiteral("\n\n") +
                                          QStringLiteral("Continue with the delete process?")
                                    : QStringLiteral("Delete Group Name '") + name + QStringLiteral("'?");
    if (desktop().message(question, {}, Buttons::YesNo, Icon::Question) != Answer::Yes) return;
    try {
        if (!gDBConnection || !gRsMasterData || !gRsChildData) throw noObject();
        // The group's records go with it.
        gDBConnection->execute(QStringLiteral("Delete from tblMasterData Where GroupName = ?"), {name});
        gRsMasterData->requery();
        gRsChildData->requery();
        gInitializeGroupNameCombo();
        UpdateComboGroupName();
        txtPassword_->clear();
    } catch (const Error& e) {
        reportError(e, QStringLiteral("btnDeleteGroupName of module frmMain"));
    }
}

void frmMain::btnRenameGroupName_Click() {
    if (!SSDBGrid_->commitRow()) return;
    const int n = GetChildDataCount();
    const QString name = SSDBCombo_->currentText();
    const QString renameTo = QStringLiteral("Rename Group Name '") + name + QStringLiteral("' to...");
    const QString prompt = n != 0 ? detectedText(n, name) + QStringLiteral("\n") + renameTo : renameTo;
    const auto answer = desktop().input(prompt, QStringLiteral("Rename Group Name"), {});
    if (!answer || answer->trimmed().isEmpty()) return;
    const QString newName = answer->trimmed();
    try {
        auto group = openRecordset(QStringLiteral("Select GroupName from tblMasterData Where GroupName = ?"), {name});
        try {
            // The group's records take the new name with it.
            group->moveFirst();
            group->setField(0, newName);
            group->update();
            // A change of case only is no change to the database's names, so it does not reach the records
            // by itself.
            gDBConnection->execute(QStringLiteral("Update tblChildData Set GroupName = ? Where GroupName = ?"),
                                   {newName, name});
        } catch (const Error& e) {
            if (e.number() != err::NoCurrentRecord) throw;
        }
        group->close();
        if (!gRsMasterData) throw noObject();
        gRsMasterData->requery();
        gInitializeGroupNameCombo();
        showGroupInCombo(newName);
        UpdateComboGroupName();
    } catch (const Error& e) {
        reportError(e, QStringLiteral("btnRenameGroupName of Form frmMain"));
    }
}

} // namespace kv
