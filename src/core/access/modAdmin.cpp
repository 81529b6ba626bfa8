#include "access/modAdmin.h"

#include "platform/Desktop.h"
#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/modDBstuff.h"

#include <QLocale>
#include <cmath>

namespace kv {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

void inform(const QString& text) {
    desktop().message(text, {}, Buttons::Ok, Icon::Information);
}

} // namespace

void GetAdminInfo() {
    try {
        auto rs = openRecordset(QStringLiteral("Select * from tbladmin"));
        rs->moveFirst();
        gPwdLength = decipherField(rs->field(QStringLiteral("pwdLength")).toString());
        gAlphaNumeric = decipherField(rs->field(QStringLiteral("AlphaNumeric")).toString());
        rs->close();
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("GetAdminInfo of Module modKeyvale"));
    }
}

bool gAdminValidation(const QString& password) {
    if (password.size() < leadingNumber(gPwdLength)) {
        inform(QStringLiteral("The minimum length for a password is a length of ") + gPwdLength);
        return false;
    }
    if (gAlphaNumeric != QLatin1String("YES")) return true;
    // Any character that is not a digit (a letter, a blank, a punctuation mark) counts as the alpha half.
    bool digit = false;
    bool nonDigit = false;
    for (const QChar c : password)
        (isDigit(c) ? digit : nonDigit) = true;
    if (digit && nonDigit) return true;
    inform(QStringLiteral("Password must contain alpha and numeric values!"));
    return false;
}

double leadingNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0) return 0;
    // An exponent counts only when digits follow it.
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) ++j;
        if (j < n && isDigit(text[j])) {
            while (j < n && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

std::optional<double> parseNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    // With a point as the decimal mark only, whatever the user's locale: the rule is applied by reading
    // the stored text that way, so a length accepted must be read back as the same number.
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    // "inf" and "nan" parse, but are no length.
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

QString unstorableTypedCharacters(const QString& text) {
    // The stored form is the upper case: a character is fine when its upper case can be stored, even if
    // it could not itself (and the other way round).
    QString bad;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Whole characters, so that one outside the basic plane is named as itself.
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QString one = text.mid(i, length);
        i += length - 1;
        if (!unstorableCharacters(one.toUpper()).isEmpty() && !bad.contains(one)) bad += one;
    }
    return bad;
}

bool CanStoreMasterPassword(const QString& password) {
    const QString bad = unstorableTypedCharacters(password);
    if (!bad.isEmpty()) {
        inform(QStringLiteral("The password contains characters that Keyvale can not store: ") + bad);
        return false;
    }
    if (password.trimmed() != password) {
        inform(QStringLiteral("The password can not begin or end with a blank."));
        return false;
    }
    return true;
}

bool CanStoreRecoveryAnswer(const QString& answer) {
    const QString bad = unstorableTypedCharacters(answer);
    if (bad.isEmpty()) return true;
    inform(QStringLiteral("The answer contains characters that Keyvale can not store: ") + bad);
    return false;
}

} // namespace kv
