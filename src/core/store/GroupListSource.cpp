#include "store/GroupListSource.h"

#include "store/RecordsetRows.h"
#include "platform/Error.h"
#include "store/modDBstuff.h"

namespace kv {

void GroupListSource::readRows(RowBuffer& buffer, const QVariant& start, bool readBackwards) {
    try {
        if (!gRsMasterData) throw noObject();
        // An empty list is no error; anything else is reported.
        readRecordsetRows(*gRsMasterData, buffer, start, readBackwards, nullptr, true);
    } catch (const Error& e) {
        reportError(e, QStringLiteral("SSDBDropDown_UnboundReadData of Form frmMain"));
    }
}

QVariant GroupListSource::position(const QVariant& start, int rows) {
    // Always answers: where the recordset stands when the start is no longer there.
    return gRsMasterData ? positionRecordset(*gRsMasterData, start, rows) : QVariant();
}

} // namespace kv
