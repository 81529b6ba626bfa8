#include "access/PasswordGenerator.h"

#include <QRandomGenerator>
#include <QRegularExpression>

namespace kv {

namespace {

QChar letter(QRandomGenerator& random) {
    return kGeneratorLetters.at(random.bounded(int(kGeneratorLetters.size())));
}
QChar digit(QRandomGenerator& random) {
    return kGeneratorDigits.at(random.bounded(int(kGeneratorDigits.size())));
}

} // namespace

QString generatePassword(GeneratorSet set, double length, QRandomGenerator& random) {
    QString password;
    while (password.size() < length) {
        switch (set) {
        case GeneratorSet::Letters:
            password += letter(random);
            break;
        case GeneratorSet::Digits: {
            // The password so far is read as a number and written back without leading zeros before the
            // next digit is added, so a finished digit password never begins with 0.
            const qulonglong sofar = password.isEmpty() ? 0 : password.toULongLong();
            password = QString::number(sofar) + digit(random);
            break;
        }
        case GeneratorSet::Mixed:
            password += random.bounded(2) == 1 ? digit(random) : letter(random);
            break;
        }
    }
    return password;
}

double generatorLengthValue(const QString& text) {
    static const QRegularExpression leadingNumber(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = leadingNumber.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace kv
