#include "store/RecordCodec.h"

#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/RecordFields.h"
#include "store/Sqlite.h"

#include <QStringList>
#include <QtEndian>
#include <array>
#include <new>
#include <sodium.h>

namespace kv {

namespace {

const QByteArray kSealedPrefix = QByteArrayLiteral("kv1:");
constexpr int kPadBlock = 16;
constexpr int kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;

Error sealFailure(const QString& place, qint64 record) {
    return Error(err::DatabaseDamaged,
                 QStringLiteral("The protected value of field %1 of record %2 does not open: the file has been "
                                "altered or damaged.")
                     .arg(place.section(QLatin1Char('.'), -1))
                     .arg(record));
}

Error lockedFailure() {
    return Error(err::NotAValidPassword, QStringLiteral("The records are locked until the master password is given."));
}

const QStringList& recordFieldNames() {
    static const QStringList names = kRecordFieldList.split(QStringLiteral(", "));
    return names;
}

// Where a record field's sealed value is bound: "tblChildData." and the field's name, in UTF-8, made once.
QByteArrayView recordPlace(int column) {
    static const QList<QByteArray> places = [] {
        QList<QByteArray> all;
        for (const QString& name : recordFieldNames())
            all << (QStringLiteral("tblChildData.") + name).toUtf8();
        return all;
    }();
    return places.at(column);
}

// Room for a value's bytes: on the stack for the short values records hold, on the heap for longer ones.
// Wiped when it goes, since it may hold a clear value.
class Scratch {
public:
    explicit Scratch(qsizetype size)
        : size_(size_t(qMax<qsizetype>(size, 1))), data_(size_ <= sizeof stack_ ? stack_ : new unsigned char[size_]) {}
    ~Scratch() {
        sodium_memzero(data_, size_);
        if (data_ != stack_) delete[] data_;
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    unsigned char* data() const { return data_; }
    char* chars() const { return reinterpret_cast<char*>(data_); }

private:
    unsigned char stack_[512];
    size_t size_;
    unsigned char* data_;
};

// What a sealed value is bound to: its record number (8 bytes, little-endian), then its place.
struct Bound {
    Bound(QByteArrayView place, qint64 record) : bytes(8 + place.size()) {
        qToLittleEndian<qint64>(record, bytes.data());
        memcpy(bytes.data() + 8, place.data(), size_t(place.size()));
    }
    Scratch bytes;
};

Error sealFailure(QByteArrayView place, qint64 record) {
    return sealFailure(QString::fromUtf8(place), record);
}

// Base64 of a nonce and ciphertext, which are not secret: plain table look-ups, standard alphabet, padded.
// (libsodium's and Qt's decoders take twice as long, and find and export open five values a record.)
constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

qsizetype base64Size(qsizetype bytes) {
    return (bytes + 2) / 3 * 4;
}

void toBase64(const unsigned char* in, qsizetype size, char* out) {
    qsizetype i = 0;
    for (; i + 3 <= size; i += 3) {
        const quint32 v = quint32(in[i]) << 16 | quint32(in[i + 1]) << 8 | in[i + 2];
        *out++ = kBase64Digits[v >> 18];
        *out++ = kBase64Digits[v >> 12 & 63];
        *out++ = kBase64Digits[v >> 6 & 63];
        *out++ = kBase64Digits[v & 63];
    }
    if (i == size) return;
    const quint32 v = quint32(in[i]) << 16 | (i + 1 < size ? quint32(in[i + 1]) << 8 : 0);
    *out++ = kBase64Digits[v >> 18];
    *out++ = kBase64Digits[v >> 12 & 63];
    *out++ = i + 1 < size ? kBase64Digits[v >> 6 & 63] : '=';
    *out = '=';
}

// The bytes of base64 in the form toBase64 writes, into `out` (room for in.size() bytes); false for anything
// else, even what a lenient decoder would take (no padding, line breaks).
bool fromBase64(QStringView in, unsigned char* out, qsizetype& size) {
    static const auto values = [] {
        std::array<qint8, 128> v;
        v.fill(-1);
        for (int d = 0; d < 64; ++d)
            v[size_t(kBase64Digits[d])] = qint8(d);
        return v;
    }();
    if (in.size() % 4 != 0) return false;
    const qsizetype padding = in.endsWith(u"==") ? 2 : in.endsWith(u'=') ? 1 : 0;
    const qsizetype digits = in.size() - padding;
    quint32 bits = 0;
    int held = 0;
    size = 0;
    for (qsizetype i = 0; i < digits; ++i) {
        const char16_t c = in[i].unicode();
        const int d = c < 128 ? values[c] : -1;
        if (d < 0) return false;
        bits = bits << 6 | quint32(d);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out[size++] = static_cast<unsigned char>(bits >> held);
        }
    }
    return true;
}

QVariant seal(const SecretKey& key, QByteArrayView place, qint64 record, const QVariant& plain) {
    QByteArray text = plain.toString().toUtf8();
    const qsizetype clearLength = text.size();
    const qsizetype padded = (clearLength / kPadBlock + 1) * kPadBlock;
    Scratch clear(padded);
    memcpy(clear.data(), text.constData(), size_t(clearLength));
    sodium_memzero(text.data(), size_t(text.size()));
    size_t paddedLength = 0;
    sodium_pad(&paddedLength, clear.data(), size_t(clearLength), kPadBlock, size_t(padded));

    const qsizetype boxSize = kNonceBytes + qsizetype(paddedLength) + kTagBytes;
    Scratch box(boxSize);
    unsigned char* nonce = box.data();
    randombytes_buf(nonce, kNonceBytes);
    const Bound bound(place, record);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceBytes, &sealedLength, clear.data(), paddedLength,
                                               bound.bytes.data(), size_t(8 + place.size()), nullptr, nonce,
                                               key.bytes());

    const qsizetype textSize = kSealedPrefix.size() + base64Size(boxSize);
    Scratch out(textSize);
    memcpy(out.data(), kSealedPrefix.constData(), size_t(kSealedPrefix.size()));
    toBase64(box.data(), boxSize, out.chars() + kSealedPrefix.size());
    return QString::fromLatin1(out.chars(), textSize);
}

QVariant open(const SecretKey& key, QByteArrayView place, qint64 record, const QVariant& sealed) {
    const QString text = sealed.toString();
    if (!text.startsWith(QLatin1String(kSealedPrefix))) throw sealFailure(place, record);
    const QStringView base64 = QStringView(text).mid(kSealedPrefix.size());
    Scratch decoded(base64.size());
    qsizetype boxSize = 0;
    if (!fromBase64(base64, decoded.data(), boxSize)) throw sealFailure(place, record);
    const unsigned char* box = decoded.data();
    if (boxSize < kNonceBytes + kTagBytes + kPadBlock) throw sealFailure(place, record);
    const unsigned char* nonce = box;
    Scratch clear(boxSize - kNonceBytes - kTagBytes);
    const Bound bound(place, record);
    unsigned long long clearLength = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(clear.data(), &clearLength, nullptr, nonce + kNonceBytes,
                                                   size_t(boxSize - kNonceBytes), bound.bytes.data(),
                                                   size_t(8 + place.size()), nonce, key.bytes()) != 0)
        throw sealFailure(place, record);
    size_t unpadded = 0;
    if (sodium_unpad(&unpadded, clear.data(), size_t(clearLength), kPadBlock) != 0) throw sealFailure(place, record);
    return QString::fromUtf8(clear.chars(), qsizetype(unpadded));
}

} // namespace

void startSodium() {
    static const bool started = sodium_init() >= 0;
    if (!started) throw Error(err::DatabaseError, QStringLiteral("The cryptography library could not start."));
}

void wipeText(QString& text) {
    // A copy shared with another string is that string's to wipe; only this one's own characters are.
    if (!text.isEmpty() && text.isDetached()) sodium_memzero(text.data(), size_t(text.size()) * sizeof(QChar));
    text.clear();
}

SecretKey::SecretKey() {
    startSodium();
    bytes_ = static_cast<unsigned char*>(sodium_malloc(kSize));
    if (!bytes_) throw std::bad_alloc();
}

SecretKey::~SecretKey() {
    sodium_free(bytes_); // wipes before it frees
}

std::shared_ptr<const SecretKey> SecretKey::random() {
    std::shared_ptr<SecretKey> key(new SecretKey);
    randombytes_buf(key->bytes_, kSize);
    sodium_mprotect_readonly(key->bytes_);
    return key;
}

std::shared_ptr<const SecretKey> SecretKey::fromBytes(const unsigned char* bytes) {
    std::shared_ptr<SecretKey> key(new SecretKey);
    memcpy(key->bytes_, bytes, kSize);
    sodium_mprotect_readonly(key->bytes_);
    return key;
}

SecretBytes::SecretBytes(int size) : size_(size) {
    startSodium();
    data_ = static_cast<unsigned char*>(sodium_malloc(size_t(qMax(size, 1))));
    if (!data_) throw std::bad_alloc();
}

SecretBytes SecretBytes::utf8(const QString& text) {
    QByteArray bytes = text.toUtf8();
    SecretBytes secret(int(bytes.size()));
    memcpy(secret.data_, bytes.constData(), size_t(bytes.size()));
    sodium_memzero(bytes.data(), size_t(bytes.size()));
    return secret;
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
}

SecretBytes::~SecretBytes() {
    if (data_) sodium_free(data_);
}

RecordCodec RecordCodec::protectedWith(std::shared_ptr<const SecretKey> key) {
    RecordCodec codec;
    codec.protected_ = true;
    codec.key_ = std::move(key);
    return codec;
}

bool RecordCodec::isSealedColumn(int column) {
    switch (column) {
    case kUserIdColumn:
    case kPasswordColumn:
    case kDescriptionColumn:
    case kPriorUserIdColumn:
    case kPriorPasswordColumn:
        return true;
    default:
        return false;
    }
}

bool RecordCodec::isCipheredColumn(int column) {
    return column == kPasswordColumn || column == kPriorPasswordColumn;
}

QVariant RecordCodec::clearValue(qint64 record, int column, const QVariant& stored) const {
    const QVariant plain = toPlainForm(record, column, stored);
    return isCipheredColumn(column) ? QVariant(decipherField(plain.toString())) : plain;
}

QVariant RecordCodec::storedValue(qint64 record, int column, const QString& clear) const {
    return fromPlainForm(record, column, isCipheredColumn(column) ? QVariant(encipherField(clear)) : QVariant(clear));
}

QVariant RecordCodec::toPlainForm(qint64 record, int column, const QVariant& stored) const {
    if (!protected_ || !isSealedColumn(column)) return stored;
    if (stored.isNull()) return {};
    if (!key_) throw lockedFailure();
    return open(*key_, recordPlace(column), record, stored);
}

QVariant RecordCodec::fromPlainForm(qint64 record, int column, const QVariant& plain) const {
    if (!protected_ || !isSealedColumn(column)) return plain;
    if (plain.isNull()) return {};
    if (!key_) throw lockedFailure();
    return seal(*key_, recordPlace(column), record, plain);
}

QVariant RecordCodec::sealValue(const QString& place, qint64 record, const QVariant& plain) const {
    if (plain.isNull()) return {};
    if (!key_) throw lockedFailure();
    return seal(*key_, place.toUtf8(), record, plain);
}

QVariant RecordCodec::openValue(const QString& place, qint64 record, const QVariant& sealed) const {
    if (sealed.isNull()) return {};
    if (!key_) throw lockedFailure();
    return open(*key_, place.toUtf8(), record, sealed);
}

bool isProtectedDatabase(const sql::Connection& connection) {
    sql::Statement marker(connection, QStringLiteral("SELECT OptionValue FROM tblOptions WHERE OptionName = ?"));
    marker.bind(1, kProtectedOption);
    const bool marked = marker.step() && marker.column(0).toString() == QLatin1String("1");
    sql::Statement table(connection, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                                    "name = ? COLLATE NOCASE"));
    table.bind(1, kKeyWrapTable);
    table.step();
    const bool keys = table.column(0).toLongLong() > 0;
    if (marked != keys)
        throw Error(err::DatabaseDamaged,
                    marked ? QStringLiteral("The database is protected but its key table %1 is missing.").arg(kKeyWrapTable)
                           : QStringLiteral("The database holds the key table %1 but is not marked as protected.")
                                 .arg(kKeyWrapTable));
    return marked;
}

RecordCodec codecForDatabase(const sql::Connection& connection, const std::shared_ptr<const SecretKey>& key) {
    if (!isProtectedDatabase(connection)) return RecordCodec();
    if (key) {
        // The master-password row is sealed under the data key: it opens only with the right one.
        const RecordCodec trial = RecordCodec::protectedWith(key);
        sql::Statement row(connection, QStringLiteral("SELECT Password FROM tblPassword"));
        try {
            if (row.step() && !row.column(0).isNull()) {
                trial.openValue(QStringLiteral("tblPassword.Password"), 0, row.column(0));
                return trial;
            }
        } catch (const Error&) {
            // another key: locked
        }
    }
    return RecordCodec::protectedWith(nullptr);
}

qint64 nextRecordNumber(const sql::Connection& connection) {
    // The table numbers a new record one past the highest number it ever gave, kept in sqlite_sequence.
    sql::Statement sequence(connection, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'"));
    sequence.step();
    const QString given = sequence.column(0).toLongLong() > 0
                              ? QStringLiteral("(SELECT seq FROM sqlite_sequence WHERE name = 'tblChildData' COLLATE NOCASE)")
                              : QStringLiteral("0");
    sql::Statement next(connection, QStringLiteral("SELECT max(IFNULL(%1, 0), IFNULL((SELECT max(ChildAutoID) FROM "
                                                   "tblChildData), 0)) + 1")
                                        .arg(given));
    next.step();
    return next.column(0).toLongLong();
}

} // namespace kv
