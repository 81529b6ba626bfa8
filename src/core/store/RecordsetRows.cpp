#include "store/RecordsetRows.h"

#include "platform/Error.h"
#include "store/RecordCodec.h"
#include "store/RecordFields.h"
#include "store/Recordset.h"

namespace kv {

namespace {

// The file could not be read: a row shown without its fields would look like an empty record.
bool isReadFailure(const Error& e) {
    return e.number() == err::DatabaseDamaged || e.number() == err::DatabaseError;
}

// Runs one step of a read and ignores its failure, as the grid's data events always have, unless the file
// itself could not be read.
template <typename Step> void tryStep(Step&& step, bool strict = false) {
    try {
        step();
    } catch (const Error& e) {
        if (isReadFailure(e) || (strict && e.number() != err::NoCurrentRecord)) throw;
    }
}

} // namespace

void readRecordsetRows(Recordset& rs, RowBuffer& buffer, const QVariant& start, bool readBackwards,
                       const RecordCodec* codec, bool strict) {
    if (start.isValid()) {
        tryStep([&] { rs.setBookmark(start.toInt()); }, strict);
        tryStep([&] { readBackwards ? rs.movePrevious() : rs.moveNext(); }, strict);
    } else {
        tryStep([&] { readBackwards ? rs.moveLast() : rs.moveFirst(); }, strict);
    }

    int delivered = 0;
    try {
        for (int r = 0; r < buffer.rowsWanted(); ++r) {
            if (rs.bof() || rs.eof()) break;
            if (!buffer.bookmarksOnly()) {
                qint64 record = 0;
                if (codec) tryStep([&] { record = rs.field(kChildAutoIdColumn).toLongLong(); }, strict);
                for (int c = 0; c < buffer.columnCount(); ++c) {
                    tryStep(
                        [&] {
                            const QVariant value = rs.field(c);
                            buffer.setValue(r, c, codec ? codec->clearValue(record, c, value) : value);
                        },
                        strict);
                }
            }
            tryStep([&] { buffer.setBookmark(r, rs.bookmark()); }, strict);
            tryStep([&] { readBackwards ? rs.movePrevious() : rs.moveNext(); }, strict);
            ++delivered;
        }
    } catch (const Error&) {
        buffer.setRowCount(delivered);
        throw;
    }
    buffer.setRowCount(delivered);
}

void RowReadFailure::report(const Error& e) {
    if (reported_) return;
    // Set before the message shows: the grid may ask for rows again while it is up.
    reported_ = true;
    reportError(e, where_);
}

void scanRecordsetRows(Recordset& rs, const RecordCodec& codec,
                       const std::function<bool(const QVariant& bookmark, const SourceRow& row)>& visit) {
    class Row final : public SourceRow {
    public:
        Row(const Recordset::ScanRow& row, const RecordCodec& codec) : row_(row), codec_(codec) {}
        QVariant value(int column) const override {
            const QVariant stored = row_.field(column);
            if (!RecordCodec::isSealedColumn(column)) return stored;
            return codec_.clearValue(row_.field(kChildAutoIdColumn).toLongLong(), column, stored);
        }

    private:
        const Recordset::ScanRow& row_;
        const RecordCodec& codec_;
    };
    rs.scan([&](Recordset::Bookmark bookmark, const Recordset::ScanRow& row) { return visit(bookmark, Row(row, codec)); });
}

QVariant positionRecordset(Recordset& rs, const QVariant& start, int rows) {
    // Moving reads no fields; a file that cannot be read leaves no answer, and the read of the rows says why.
    try {
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
    } catch (const Error&) {
        return {};
    }
}

} // namespace kv
