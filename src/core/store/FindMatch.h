#pragma once

#include "platform/TextRoutines.h"

#include <QString>
#include <QStringList>
#include <QStringMatcher>

namespace kv {

// The fields find can look in, by position: the position of an entry is the record column it searches,
// and entry 0 searches every column but the record number.
inline const QStringList kFindFieldList = {
    QStringLiteral("All Fields"),   QStringLiteral("Group Name"),    QStringLiteral("Website"),
    QStringLiteral("User ID"),      QStringLiteral("Password"),      QStringLiteral("Description"),
    QStringLiteral("Date Changed"), QStringLiteral("Prior User ID"), QStringLiteral("Prior Password")};
inline constexpr int kFindAllFields = 0;
inline constexpr int kFindLastField = 8;

// What is searched for and how (only blanks count as padding around the text; tabs and other spacing
// are searched for): the text as typed, matched at the beginning of a cell or anywhere in it,
// and either as any match or only as a whole one (the whole cell, or a word standing on its own).
struct FindOptions {
    FindOptions(const QString& typed, bool anyPartOfField, bool wholeFieldOnly)
        : text(typed), trimmed(trimBlanks(typed)), anyPart(anyPartOfField), wholeOnly(wholeFieldOnly),
          finder(typed, Qt::CaseInsensitive) {}
    QString text;    // as typed
    QString trimmed; // blanks removed at both ends
    bool anyPart = false;
    bool wholeOnly = false;
    QStringMatcher finder; // the text as typed, found anywhere in a cell: prepared once for every cell
};

struct CellTest {
    bool candidate = false; // the text is there in the chosen kind
    bool match = false;     // ...and, when whole matches are asked for, as a whole
    QString matched;        // what a question quotes: the occurrence, or the whole cell
};

// Tests one cell's shown text; letters are compared without regard to case.
CellTest testCell(const QString& cell, const FindOptions& options);

} // namespace kv
