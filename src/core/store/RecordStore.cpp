#include "store/RecordStore.h"

#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/DateText.h"
#include "store/Recordset.h"
#include "store/Sqlite.h"


namespace kv {

QString unstorableRefusal(const QString& value, const QString& what) {
    const QString bad = unstorableCharacters(value);
    if (bad.isEmpty()) return {};
    return QStringLiteral("The ") + what + QStringLiteral(" contains characters that Keyvale can not store: ") + bad;
}

bool groupNameFound(Recordset& masterData, const QString& name) {
    try {
        masterData.moveFirst();
        return masterData.find(QStringLiteral("GroupName"), name);
    } catch (const Error& e) {
        // An empty table has no first row: the name is not there.
        if (e.number() != err::NoCurrentRecord) throw;
        return false;
    }
}

void addGroupName(Recordset& masterData, const QString& name) {
    masterData.addNew();
    masterData.setField(0, name);
    masterData.update();
}

void storeNewRecord(Recordset& records, const RecordCells& cells) {
    records.addNew();
    for (int c = kGroupNameColumn; c <= kPriorPasswordColumn; ++c) {
        if (c == kPasswordColumn || c == kPriorPasswordColumn)
            records.setField(c, encipherField(cells[c]));
        else if (c == kDateChangedColumn)
            records.setField(c, storedDateNow());
        else
            records.setField(c, cells[c]);
    }
    records.update();
}

void storeRecordChange(Recordset& records, const RecordChange& change) {
    for (int c = kGroupNameColumn; c <= kPriorPasswordColumn; ++c) {
        const std::optional<QString>& value = change.fields[c];
        if (!value || c == kDateChangedColumn) continue;
        if (c == kUserIdColumn) {
            // The new value is written even when it equals the old one, so that what was asked is stored.
            if (change.userIdBefore != *value) records.setField(kPriorUserIdColumn, change.userIdBefore);
            records.setField(kUserIdColumn, *value);
        } else if (c == kPasswordColumn) {
            records.setField(kPasswordColumn, encipherField(*value));
            if (change.passwordBefore != *value)
                records.setField(kPriorPasswordColumn, encipherField(change.passwordBefore));
        } else {
            records.setField(c, *value);
        }
    }
    // Every stored change is dated.
    records.setField(kDateChangedColumn, storedDateNow());
    records.update();
}

void forEachRecord(sql::Connection& connection, const RecordFilter& filter,
                   const std::function<bool(const RecordCells&)>& visit) {
    QString where;
    QVariantList params;
    if (filter.group) {
        where += QStringLiteral("GroupName = ? ");
        params << *filter.group;
    }
    if (filter.website) {
        where += (where.isEmpty() ? QString() : QStringLiteral("AND ")) + QStringLiteral("Website = ? ");
        params << *filter.website;
    }
    sql::Statement statement(connection, QStringLiteral("SELECT ChildAutoID, GroupName, Website, UserID, Password, "
                                                        "Description, DateChanged, PriorUserID, PriorPassword "
                                                        "FROM tblChildData ") +
                                             (where.isEmpty() ? QString() : QStringLiteral("WHERE ") + where) +
                                             QStringLiteral("ORDER BY GroupName, Website"));
    statement.bindAll(params);
    RecordCells cells;
    while (statement.step()) {
        for (int c = 0; c < int(cells.size()); ++c) {
            const QString text = statement.column(c).toString();
            cells[c] = c == kPasswordColumn || c == kPriorPasswordColumn ? decipherField(text) : text;
        }
        if (!visit(cells)) return;
    }
}

QStringList groupNames(sql::Connection& connection) {
    sql::Statement statement(connection, QStringLiteral("SELECT GroupName FROM tblMasterData ORDER BY GroupName"));
    QStringList names;
    while (statement.step())
        names << statement.column(0).toString();
    return names;
}

} // namespace kv
