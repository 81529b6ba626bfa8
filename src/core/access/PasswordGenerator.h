#pragma once

#include <QString>

class QRandomGenerator;

namespace kv {

// The generator's character sets: the letters a to y and the digits 0 to 8.
inline const QString kGeneratorLetters = QStringLiteral("abcdefghijklmnopqrstuvwxy");
inline const QString kGeneratorDigits = QStringLiteral("012345678");

// The lengths the generator accepts.
inline constexpr int kShortestGenerated = 6;
inline constexpr int kLongestGenerated = 15;

enum class GeneratorSet { Letters = 1, Digits = 2, Mixed = 3 };

// Makes a password of at least `length` characters from the character set, drawing from `random`.
QString generatePassword(GeneratorSet set, double length, QRandomGenerator& random);
// The numeric value of a typed length: its leading number, 0 when it has none.
double generatorLengthValue(const QString& text);
// Whether a length (as its numeric value) is one the generator accepts.
inline bool generatorLengthAccepted(double value) {
    return value >= kShortestGenerated && value <= kLongestGenerated;
}

} // namespace kv
