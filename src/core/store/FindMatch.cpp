#include "store/FindMatch.h"

namespace kv {

namespace {

// An occurrence stands as a word when it starts the cell or follows a blank, and ends the cell or is
// followed by one.
bool standsAsWord(const QString& cell, qsizetype at, qsizetype length) {
    const bool startsWord = at == 0 || cell[at - 1] == u' ';
    const bool endsWord = at + length == cell.size() || cell[at + length] == u' ';
    return startsWord && endsWord;
}

} // namespace

// Case-insensitive comparison works character by character here, so positions in the cell stay valid even
// for letters whose upper case is longer (ß).
CellTest testCell(const QString& cell, const FindOptions& o) {
    CellTest result;
    if (o.anyPart) {
        const qsizetype p = o.finder.indexIn(cell);
        if (p < 0) return result;
        result.candidate = true;
        result.matched = cell.mid(p, o.text.size());
        if (!o.wholeOnly) {
            result.match = true;
            return result;
        }
        // The first occurrence is the one offered when nothing better turns up, but a later one that stands
        // as a word makes the cell a match: "Banking Bank" holds the word bank.
        for (qsizetype at = p; at >= 0; at = o.finder.indexIn(cell, at + 1))
            if (standsAsWord(cell, at, o.text.size())) {
                result.match = true;
                break;
            }
        return result;
    }
    if (QStringView(cell).left(o.trimmed.size()).compare(o.trimmed, Qt::CaseInsensitive) != 0) return result;
    result.candidate = true;
    result.matched = cell;
    result.match = !o.wholeOnly || cell.compare(o.trimmed, Qt::CaseInsensitive) == 0;
    return result;
}

} // namespace kv
