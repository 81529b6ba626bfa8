#pragma once

#include <QByteArray>
#include <QString>

namespace kv {

// The field cipher: a character-by-character substitution over Windows-1252 codes whose shift changes
// after every character. The parameters are passed by reference and changed by the call, so a caller
// sets them afresh before every call (or uses encipherField / decipherField, which do).
QString Encipher(qint16& seed, qint16& step, qint16& divisor, qint16& factor, qint16& passes, bool flag,
                 const QString& text);
QString Decipher(qint16& seed, qint16& step, qint16& divisor, qint16& factor, qint16& passes, bool flag,
                 const QString& text);

struct CipherKey {
    qint16 seed, step, divisor, factor, passes;
};

// Every enciphered field of the database uses the field key; the old-file key reads the records of the
// fixed-record file of the 4.x versions.
inline constexpr CipherKey kFieldKey{37, 5, 3, 2, 6};
inline constexpr CipherKey kOldFileKey{37, 5, 3, 2, 1};

QString encipherWith(CipherKey key, const QString& text);
QString decipherWith(CipherKey key, const QString& text);
inline QString encipherField(const QString& text) { return encipherWith(kFieldKey, text); }
inline QString decipherField(const QString& text) { return decipherWith(kFieldKey, text); }

// Windows-1252: the five undefined bytes map to U+0081, U+008D, U+008F, U+0090 and U+009D; a character
// outside the code page becomes "?".
QByteArray toWindows1252(const QString& text);
QString fromWindows1252(const QByteArray& bytes);

// The characters of `text` that the field cipher cannot give back unchanged (outside the code page, NUL,
// or the character with code 255), each listed once in order of appearance; empty when all can be stored.
QString unstorableCharacters(const QString& text);

} // namespace kv
