#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>

namespace kv {

namespace sql {
class Connection;
}

// A secret key of 32 bytes in locked memory (never swapped out, guarded on both sides, read-only once
// set), wiped and freed when the last holder lets it go.
class SecretKey {
public:
    static constexpr int kSize = 32;
    // A fresh random key.
    static std::shared_ptr<const SecretKey> random();
    // A key from `bytes` (kSize of them).
    static std::shared_ptr<const SecretKey> fromBytes(const unsigned char* bytes);
    ~SecretKey();
    SecretKey(const SecretKey&) = delete;
    SecretKey& operator=(const SecretKey&) = delete;
    const unsigned char* bytes() const { return bytes_; }

private:
    SecretKey();
    unsigned char* bytes_ = nullptr;
};

// Memory for secrets that lives in locked pages and is wiped when freed (a derived key, a password's bytes).
class SecretBytes {
public:
    explicit SecretBytes(int size);
    // The UTF-8 bytes of `text`.
    static SecretBytes utf8(const QString& text);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    SecretBytes& operator=(SecretBytes&&) = delete;
    unsigned char* data() { return data_; }
    const unsigned char* data() const { return data_; }
    int size() const { return size_; }

private:
    unsigned char* data_ = nullptr;
    int size_ = 0;
};

// Makes libsodium ready; throws kv::Error when it cannot start.
void startSodium();

// Overwrites the characters of `text` with zeros and empties it (a password the program no longer needs).
void wipeText(QString& text);

// How a database keeps the secret fields of its records (user ID, password, description and the prior user
// ID and password) and of its master-password row.
//
// In the plain form the passwords are stored with the field cipher and the other fields as typed. In the
// protected form each of those fields holds its plain-form value sealed with XChaCha20-Poly1305 under the
// database's data key: "kv1:" and the base64 of a fresh nonce and the ciphertext, the value padded to a
// multiple of 16 bytes, with the record's number and the field's name bound in, so a value copied to another
// record or field does not open. Null stays Null. Converting between the forms is lossless either way.
class RecordCodec {
public:
    // The plain form.
    RecordCodec() = default;
    // The protected form; with a null key it is locked: every open and seal is refused until log-on.
    static RecordCodec protectedWith(std::shared_ptr<const SecretKey> key);

    bool isProtected() const { return protected_; }
    bool isUnlocked() const { return !protected_ || key_ != nullptr; }
    const std::shared_ptr<const SecretKey>& key() const { return key_; }
    // Forgets the data key: a protected codec becomes locked.
    void lock() { key_.reset(); }

    // The record fields that the protected form seals.
    static bool isSealedColumn(int column);
    // The record fields that the field cipher enciphers in the plain form.
    static bool isCipheredColumn(int column);

    // A record field as the user sees it, from the value stored in the file (passwords deciphered).
    // Throws kv::Error when a sealed value does not open (altered, moved, or the codec is locked).
    QVariant clearValue(qint64 record, int column, const QVariant& stored) const;
    QString clearText(qint64 record, int column, const QVariant& stored) const {
        return clearValue(record, column, stored).toString();
    }
    // The value to store for what the user typed.
    QVariant storedValue(qint64 record, int column, const QString& clear) const;

    // Between the stored value and the plain form's value of the same field (identity for the plain form and
    // for fields that are not sealed). `table` and `field` name the place the value is bound to.
    QVariant toPlainForm(qint64 record, int column, const QVariant& stored) const;
    QVariant fromPlainForm(qint64 record, int column, const QVariant& plain) const;
    QVariant openValue(const QString& place, qint64 record, const QVariant& sealed) const;
    QVariant sealValue(const QString& place, qint64 record, const QVariant& plain) const;

private:
    bool protected_ = false;
    std::shared_ptr<const SecretKey> key_;
};

// The codec of the open database (gDBConnection): set when it is opened, unlocked at log-on and locked
// again when the program locks.
inline RecordCodec gRecordCodec;

// The option row that marks a protected database, and the table that holds its wrapped data key.
inline const QString kProtectedOption = QStringLiteral("ProtectedRecords");
inline const QString kKeyWrapTable = QStringLiteral("tblKeyWrap");

// Whether the database is protected: its option row says so and its key table is there. A file where the two
// disagree, or whose key table lacks its fields, is refused as damaged (throws kv::Error).
bool isProtectedDatabase(const sql::Connection& connection);
// The codec for a database as it is opened: plain, or protected and locked; protected and unlocked when
// `key` is given and is the database's data key (the same file opened again after a copy or move).
RecordCodec codecForDatabase(const sql::Connection& connection, const std::shared_ptr<const SecretKey>& key = {});

// The number the next record added to tblChildData gets, as the table's own numbering would give it, so that
// its sealed fields can be bound to it before it is written.
qint64 nextRecordNumber(const sql::Connection& connection);

} // namespace kv
