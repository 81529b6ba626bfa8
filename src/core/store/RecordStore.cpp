#include "store/RecordStore.h"

#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/RecordCodec.h"
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
    // Numbered before it is written, so that its sealed fields can be bound to its number.
    const qint64 record = nextRecordNumber(records.connection());
    records.addNew();
    records.setField(kChildAutoIdColumn, record);
    for (int c = kGroupNameColumn; c <= kPriorPasswordColumn; ++c) {
        if (c == kDateChangedColumn)
            records.setField(c, storedDateNow());
        else if (RecordCodec::isSealedColumn(c))
            records.setField(c, gRecordCodec.storedValue(record, c, cells[c]));
        else
            records.setField(c, cells[c]);
    }
    records.update();
}

void storeRecordChange(Recordset& records, const RecordChange& change) {
    const qint64 record = records.field(kChildAutoIdColumn).toLongLong();
    const auto set = [&](int column, const QString& value) {
        records.setField(column, RecordCodec::isSealedColumn(column) ? gRecordCodec.storedValue(record, column, value)
                                                                     : QVariant(value));
    };
    for (int c = kGroupNameColumn; c <= kPriorPasswordColumn; ++c) {
        const std::optional<QString>& value = change.fields[c];
        if (!value || c == kDateChangedColumn) continue;
        if (c == kUserIdColumn) {
            // The new value is written even when it equals the old one, so that what was asked is stored.
            if (change.userIdBefore != *value) set(kPriorUserIdColumn, change.userIdBefore);
            set(kUserIdColumn, *value);
        } else if (c == kPasswordColumn) {
            set(kPasswordColumn, *value);
            if (change.passwordBefore != *value) set(kPriorPasswordColumn, change.passwordBefore);
        } else {
            set(c, *value);
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
        const qint64 record = statement.column(kChildAutoIdColumn).toLongLong();
        for (int c = 0; c < int(cells.size()); ++c)
            cells[c] = gRecordCodec.clearText(record, c, statement.column(c));
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
