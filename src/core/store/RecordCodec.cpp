#include "store/RecordCodec.h"

#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/RecordFields.h"
#include "store/Sqlite.h"

#include <QStringList>
#include <QtEndian>
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

QString recordPlace(int column) {
    return QStringLiteral("tblChildData.") + recordFieldNames().value(column);
}

// What a sealed value is bound to: its place and record number.
QByteArray boundData(const QString& place, qint64 record) {
    QByteArray data(8, Qt::Uninitialized);
    qToLittleEndian<qint64>(record, data.data());
    return data + place.toUtf8();
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
    return openValue(recordPlace(column), record, stored);
}

QVariant RecordCodec::fromPlainForm(qint64 record, int column, const QVariant& plain) const {
    if (!protected_ || !isSealedColumn(column)) return plain;
    return sealValue(recordPlace(column), record, plain);
}

QVariant RecordCodec::sealValue(const QString& place, qint64 record, const QVariant& plain) const {
    if (plain.isNull()) return {};
    if (!key_) throw lockedFailure();
    QByteArray text = plain.toString().toUtf8();
    const int padded = int((text.size() / kPadBlock + 1) * kPadBlock);
    const qsizetype clearLength = text.size();
    text.resize(padded);
    size_t paddedLength = 0;
    sodium_pad(&paddedLength, reinterpret_cast<unsigned char*>(text.data()), size_t(clearLength), kPadBlock,
               size_t(padded));
    QByteArray box(kNonceBytes + qsizetype(paddedLength) + kTagBytes, Qt::Uninitialized);
    auto* nonce = reinterpret_cast<unsigned char*>(box.data());
    randombytes_buf(nonce, kNonceBytes);
    const QByteArray bound = boundData(place, record);
    unsigned long long sealedLength = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceBytes, &sealedLength,
                                               reinterpret_cast<const unsigned char*>(text.constData()),
                                               paddedLength, reinterpret_cast<const unsigned char*>(bound.constData()),
                                               size_t(bound.size()), nullptr, nonce, key_->bytes());
    sodium_memzero(text.data(), size_t(text.size()));
    return QString::fromLatin1(kSealedPrefix + box.toBase64());
}

QVariant RecordCodec::openValue(const QString& place, qint64 record, const QVariant& sealed) const {
    if (sealed.isNull()) return {};
    if (!key_) throw lockedFailure();
    const QByteArray text = sealed.toString().toLatin1();
    if (!text.startsWith(kSealedPrefix)) throw sealFailure(place, record);
    const auto decoded = QByteArray::fromBase64Encoding(text.mid(kSealedPrefix.size()),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray& box = decoded.decoded;
    if (!decoded || box.size() < kNonceBytes + kTagBytes + kPadBlock) throw sealFailure(place, record);
    const auto* nonce = reinterpret_cast<const unsigned char*>(box.constData());
    QByteArray clear(box.size() - kNonceBytes - kTagBytes, Qt::Uninitialized);
    const QByteArray bound = boundData(place, record);
    unsigned long long clearLength = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(
            reinterpret_cast<unsigned char*>(clear.data()), &clearLength, nullptr, nonce + kNonceBytes,
            size_t(box.size() - kNonceBytes), reinterpret_cast<const unsigned char*>(bound.constData()),
            size_t(bound.size()), nonce, key_->bytes()) != 0)
        throw sealFailure(place, record);
    size_t unpadded = 0;
    if (sodium_unpad(&unpadded, reinterpret_cast<const unsigned char*>(clear.constData()), size_t(clearLength),
                     kPadBlock) != 0)
        throw sealFailure(place, record);
    const QString value = QString::fromUtf8(clear.constData(), qsizetype(unpadded));
    sodium_memzero(clear.data(), size_t(clear.size()));
    return value;
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
