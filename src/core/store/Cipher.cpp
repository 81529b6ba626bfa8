#include "store/Cipher.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kv {

namespace {

// Code points of Windows-1252 bytes 0x80 to 0x9F.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Rounds half to even, as the cipher has always rounded.
int roundEven(double x) { return int(std::nearbyint(x)); }

qint16 clamp(qint16 value, qint16 upper) { return std::clamp<qint16>(value, 1, upper); }

int normalise(int shift) {
    if (shift > 255) return roundEven(255.0 - shift / 255.0);
    if (shift < 0) return roundEven(-(shift / 255.0));
    return shift;
}

// The key's arithmetic from one character to the next: the shift for the next character.
void advance(int& shift, qint16& step, qint16& divisor, qint16& factor) {
    shift += step;
    if (shift > 255) shift -= 255;
    shift = roundEven(double(factor) * shift / divisor);
    divisor = qint16(2 * step + divisor);
    factor = qint16(step + factor);
    if (divisor > 5) divisor = 1;
    if (factor > 5) factor = 1;
    shift = normalise(shift);
    step = step > 500 ? 1 : qint16(2 * step);
}

enum class Direction { Encipher, Decipher };

QString run(Direction direction, qint16& seed, qint16& step, qint16& divisor, qint16& factor, qint16& passes,
            const QString& text) {
    seed = clamp(seed, 255);
    step = clamp(step, 500);
    divisor = clamp(divisor, 5);
    factor = clamp(factor, 5);
    passes = clamp(passes, 100);

    int shift = normalise(roundEven(double(factor) * seed / divisor));
    const QByteArray input = toWindows1252(text);
    QByteArray output;
    for (int pass = 1; pass <= passes; ++pass) {
        QByteArray working;
        working.reserve(input.size());
        for (const char ch : input) {
            const int high = std::max(shift, 255 - shift);
            const int low = std::min(shift, 255 - shift);
            const int c = static_cast<unsigned char>(ch);
            int out;
            if (direction == Direction::Encipher)
                out = c <= low ? high - 1 + c : c - low;
            else
                out = c >= high ? c - (high - 1) : c + low;
            working.append(char(out & 0xFF));
            advance(shift, step, divisor, factor);
        }
        output = working;
    }
    return fromWindows1252(output);
}

} // namespace

QString Encipher(qint16& seed, qint16& step, qint16& divisor, qint16& factor, qint16& passes, bool,
                 const QString& text) {
    return run(Direction::Encipher, seed, step, divisor, factor, passes, text);
}

QString Decipher(qint16& seed, qint16& step, qint16& divisor, qint16& factor, qint16& passes, bool,
                 const QString& text) {
    return run(Direction::Decipher, seed, step, divisor, factor, passes, text);
}

namespace {

// The shift the cipher applies to a character depends only on the key and on how many characters came
// before it (in every pass, each pass going over the text as given), never on the text. So the shifts of a
// key are worked out once and reused: reading every password of a large table costs a table lookup per
// character instead of the whole key arithmetic.
class ShiftSchedule {
public:
    explicit ShiftSchedule(CipherKey key) : key_(key) {
        seed_ = clamp(key.seed, 255);
        step_ = clamp(key.step, 500);
        divisor_ = clamp(key.divisor, 5);
        factor_ = clamp(key.factor, 5);
        shift_ = normalise(roundEven(double(factor_) * seed_ / divisor_));
    }
    bool isFor(CipherKey key) const {
        return key.seed == key_.seed && key.step == key_.step && key.divisor == key_.divisor &&
               key.factor == key_.factor;
    }
    // The shifts of the first `count` characters stepped over.
    const std::vector<int>& first(std::size_t count) {
        while (shifts_.size() < count) {
            shifts_.push_back(shift_);
            advance(shift_, step_, divisor_, factor_);
        }
        return shifts_;
    }

private:
    CipherKey key_;
    qint16 seed_, step_, divisor_, factor_;
    int shift_;
    std::vector<int> shifts_;
};

// Longer texts (never a real password) go the long way rather than growing the schedule without end.
constexpr std::size_t kLongestScheduled = 1 << 16;

QString runWithKey(Direction direction, CipherKey key, const QString& text) {
    const qint16 passes = clamp(key.passes, 100);
    QByteArray bytes = toWindows1252(text);
    const std::size_t length = std::size_t(bytes.size());
    if (length * std::size_t(passes) > kLongestScheduled) {
        return direction == Direction::Encipher
                   ? Encipher(key.seed, key.step, key.divisor, key.factor, key.passes, false, text)
                   : Decipher(key.seed, key.step, key.divisor, key.factor, key.passes, false, text);
    }
    thread_local std::vector<ShiftSchedule> schedules;
    auto schedule = std::find_if(schedules.begin(), schedules.end(), [&](const ShiftSchedule& s) { return s.isFor(key); });
    if (schedule == schedules.end()) schedule = schedules.insert(schedules.end(), ShiftSchedule(key));
    // Only the last pass's output is kept; the passes before it only move the shifts on.
    const std::vector<int>& shifts = schedule->first(length * std::size_t(passes));
    const std::size_t offset = length * std::size_t(passes - 1);
    for (std::size_t i = 0; i < length; ++i) {
        const int shift = shifts[offset + i];
        const int high = std::max(shift, 255 - shift);
        const int low = std::min(shift, 255 - shift);
        const int c = static_cast<unsigned char>(bytes[qsizetype(i)]);
        const int out = direction == Direction::Encipher ? (c <= low ? high - 1 + c : c - low)
                                                         : (c >= high ? c - (high - 1) : c + low);
        bytes[qsizetype(i)] = char(out & 0xFF);
    }
    return fromWindows1252(bytes);
}

} // namespace

QString encipherWith(CipherKey key, const QString& text) {
    return runWithKey(Direction::Encipher, key, text);
}

QString decipherWith(CipherKey key, const QString& text) {
    return runWithKey(Direction::Decipher, key, text);
}

QByteArray toWindows1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        const auto* it = std::find(std::begin(kHighControls), std::end(kHighControls), u);
        out.append(it != std::end(kHighControls) ? char(0x80 + (it - std::begin(kHighControls))) : '?');
    }
    return out;
}

QString fromWindows1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        out.append(c >= 0x80 && c < 0xA0 ? QChar(kHighControls[c - 0x80]) : QChar(char16_t(c)));
    }
    return out;
}

QString unstorableCharacters(const QString& text) {
    QString bad;
    for (const QChar ch : text) {
        const QString one(ch);
        const bool storable = fromWindows1252(toWindows1252(one)) == one && ch.unicode() != 0 && ch.unicode() != 0xFF;
        if (!storable && !bad.contains(ch)) bad.append(ch);
    }
    return bad;
}

} // namespace kv
