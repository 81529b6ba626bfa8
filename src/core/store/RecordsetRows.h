#pragma once

#include "store/GridDataSource.h"

#include "platform/Error.h"


namespace kv {

class Recordset;
class RecordCodec;

// Serves a grid's read-rows and position requests from a recordset whose bookmarks are the grid's
// bookmarks. Both move the recordset. A step that fails is skipped and the next one is tried, so a row
// that cannot be read whole is delivered with what could be read; but a failure to read the file itself
// (damage, an input/output error) is thrown, so that the rows are never shown blank.

// Fills `buffer` from `rs`, a recordset over the record fields in their fixed order; with a codec, the secret
// fields are given as the user sees them (without one, as stored).
// With `strict`, only "no current record" (3021) is skipped and any other failure is thrown. When a failure
// is thrown, `buffer` holds the rows read before it.
void readRecordsetRows(Recordset& rs, RowBuffer& buffer, const QVariant& start, bool readBackwards,
                       const RecordCodec* codec = nullptr, bool strict = false);

// Tells the user of the first failure to read a grid's rows, with the standard error message, and keeps
// quiet about the later ones: the grid asks for rows again at every scroll and repaint.
class RowReadFailure {
public:
    explicit RowReadFailure(QString where) : where_(std::move(where)) {}
    void report(const Error& e);

private:
    QString where_;
    bool reported_ = false;
};
// Every row of `rs` for GridDataSource::scanRows, the secret fields opened with `codec` when read.
void scanRecordsetRows(Recordset& rs, const RecordCodec& codec,
                       const std::function<bool(const QVariant& bookmark, const SourceRow& row)>& visit);
// The bookmark `rows` rows away from `start`; a Null start counts from the first row (from the last when
// `rows` is negative). Null when `start` is Null and `rows` is 0, or when the move leaves the rows.
QVariant positionRecordset(Recordset& rs, const QVariant& start, int rows);

} // namespace kv
