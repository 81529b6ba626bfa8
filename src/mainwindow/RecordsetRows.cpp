#include "mainwindow/RecordsetRows.h"

#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/Recordset.h"

namespace kv {

namespace {

// Runs one step of a read and ignores its failure, as the grid's data events always have.
template <typename Step> void tryStep(Step&& step, bool strict = false) {
    try {
        step();
    } catch (const Error& e) {
        if (strict && e.number() != err::NoCurrentRecord) throw;
    }
}

} // namespace

void readRecordsetRows(Recordset& rs, RowBuffer& buffer, const QVariant& start, bool readBackwards,
                       const QSet<int>& decipher, bool strict) {
    if (start.isValid()) {
        tryStep([&] { rs.setBookmark(start.toInt()); }, strict);
        tryStep([&] { readBackwards ? rs.movePrevious() : rs.moveNext(); }, strict);
    } else {
        tryStep([&] { readBackwards ? rs.moveLast() : rs.moveFirst(); }, strict);
    }

    int delivered = 0;
    for (int r = 0; r < buffer.rowsWanted(); ++r) {
        if (rs.bof() || rs.eof()) break;
        if (!buffer.bookmarksOnly()) {
            for (int c = 0; c < buffer.columnCount(); ++c) {
                tryStep(
                    [&] {
                        const QVariant value = rs.field(c);
                        buffer.setValue(r, c, decipher.contains(c) ? QVariant(decipherField(value.toString())) : value);
                    },
                    strict);
            }
        }
        tryStep([&] { buffer.setBookmark(r, rs.bookmark()); }, strict);
        tryStep([&] { readBackwards ? rs.movePrevious() : rs.moveNext(); }, strict);
        ++delivered;
    }
    buffer.setRowCount(delivered);
}

QVariant positionRecordset(Recordset& rs, const QVariant& start, int rows) {
    if (!start.isValid()) {
        if (rows == 0) return {};
        tryStep([&] { rows > 0 ? rs.moveFirst() : rs.moveLast(); });
    } else {
        tryStep([&] { rs.setBookmark(start.toInt()); });
    }
    tryStep([&] { rs.move(rows); });
    QVariant reached;
    tryStep([&] { reached = rs.bookmark(); });
    return reached;
}

} // namespace kv
