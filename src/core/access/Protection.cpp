#include "access/Protection.h"

#include "platform/Error.h"
#include "store/Cipher.h"
#include "store/RecordFields.h"
#include "store/Sqlite.h"

#include <sodium.h>

namespace kv {

namespace {

KdfParams gKdfParams;

constexpr int kSaltBytes = crypto_pwhash_SALTBYTES;
constexpr int kNonceBytes = crypto_aead_xchacha20poly1305_ietf_NPUBBYTES;
constexpr int kTagBytes = crypto_aead_xchacha20poly1305_ietf_ABYTES;
// A wrap asking for more than this is not one the program made: refused rather than run for minutes.
constexpr quint64 kMostPasses = 64;
constexpr quint64 kMostMemory = quint64(4) << 30;

// The fields of tblPassword that protection seals; they are bound to record 0 of their table.
const char* const kPasswordRowFields[] = {"Password", "Question", "Answer"};

Error damagedKeys(const QString& why) {
    return Error(err::DatabaseDamaged, QStringLiteral("The key table %1 is damaged: %2").arg(kKeyWrapTable, why));
}

QByteArray boundTo(const QString& wrapName) {
    return QByteArrayLiteral("keyvale data key:") + wrapName.toUtf8();
}

// The secret a wrap is made from, as the program compares it.
QString masterSecret(const QString& typed) {
    return typed.toUpper();
}
QString recoverySecret(const QString& question, const QString& answer) {
    return question + QLatin1Char('\n') + answer.toUpper().trimmed();
}

SecretBytes deriveKey(const QString& secret, const QByteArray& salt, const KdfParams& params) {
    SecretBytes typed = SecretBytes::utf8(secret);
    SecretBytes key(SecretKey::kSize);
    if (crypto_pwhash(key.data(), SecretKey::kSize, reinterpret_cast<const char*>(typed.data()),
                      quint64(typed.size()), reinterpret_cast<const unsigned char*>(salt.constData()), params.passes,
                      size_t(params.memoryBytes), crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw Error(7, QStringLiteral("Out of memory"));
    return key;
}

struct Wrap {
    QByteArray salt;
    KdfParams params;
    QByteArray box; // nonce, then the sealed key
};

Wrap makeWrap(const QString& wrapName, const QString& secret, const SecretKey& dataKey) {
    Wrap wrap;
    wrap.params = gKdfParams;
    wrap.salt.resize(kSaltBytes);
    randombytes_buf(wrap.salt.data(), kSaltBytes);
    const SecretBytes kek = deriveKey(secret, wrap.salt, wrap.params);
    wrap.box.resize(kNonceBytes + SecretKey::kSize + kTagBytes);
    auto* nonce = reinterpret_cast<unsigned char*>(wrap.box.data());
    randombytes_buf(nonce, kNonceBytes);
    const QByteArray bound = boundTo(wrapName);
    crypto_aead_xchacha20poly1305_ietf_encrypt(nonce + kNonceBytes, nullptr, dataKey.bytes(), SecretKey::kSize,
                                               reinterpret_cast<const unsigned char*>(bound.constData()),
                                               size_t(bound.size()), nullptr, nonce, kek.data());
    return wrap;
}

void storeWrap(sql::Connection& connection, const QString& wrapName, const Wrap& wrap) {
    connection.execute(QStringLiteral("INSERT OR REPLACE INTO %1 (WrapName, Salt, Passes, MemoryBytes, WrappedKey) "
                                      "VALUES (?, ?, ?, ?, ?)")
                           .arg(kKeyWrapTable),
                       {wrapName, QString::fromLatin1(wrap.salt.toBase64()), qlonglong(wrap.params.passes),
                        qlonglong(wrap.params.memoryBytes), QString::fromLatin1(wrap.box.toBase64())});
}

Wrap readWrap(const sql::Connection& connection, const QString& wrapName) {
    sql::Statement read(connection, QStringLiteral("SELECT Salt, Passes, MemoryBytes, WrappedKey FROM %1 WHERE "
                                                   "WrapName = ?")
                                        .arg(kKeyWrapTable));
    read.bind(1, wrapName);
    if (!read.step()) throw damagedKeys(QStringLiteral("the key for the %1 is missing.").arg(wrapName));
    Wrap wrap;
    wrap.salt = QByteArray::fromBase64(read.column(0).toString().toLatin1());
    wrap.params = {quint64(read.column(1).toLongLong()), quint64(read.column(2).toLongLong())};
    wrap.box = QByteArray::fromBase64(read.column(3).toString().toLatin1());
    if (wrap.salt.size() != kSaltBytes || wrap.box.size() != kNonceBytes + SecretKey::kSize + kTagBytes ||
        wrap.params.passes < crypto_pwhash_OPSLIMIT_MIN || wrap.params.passes > kMostPasses ||
        wrap.params.memoryBytes < crypto_pwhash_MEMLIMIT_MIN || wrap.params.memoryBytes > kMostMemory)
        throw damagedKeys(QStringLiteral("the key for the %1 is not in a form Keyvale wrote.").arg(wrapName));
    return wrap;
}

std::shared_ptr<const SecretKey> unwrap(const sql::Connection& connection, const QString& wrapName,
                                        const QString& secret) {
    const Wrap wrap = readWrap(connection, wrapName);
    const SecretBytes kek = deriveKey(secret, wrap.salt, wrap.params);
    SecretBytes key(SecretKey::kSize);
    const auto* nonce = reinterpret_cast<const unsigned char*>(wrap.box.constData());
    const QByteArray bound = boundTo(wrapName);
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(key.data(), nullptr, nullptr, nonce + kNonceBytes,
                                                   size_t(wrap.box.size() - kNonceBytes),
                                                   reinterpret_cast<const unsigned char*>(bound.constData()),
                                                   size_t(bound.size()), nonce, kek.data()) != 0)
        return nullptr;
    return SecretKey::fromBytes(key.data());
}

void setMarker(sql::Connection& connection, bool on) {
    const QString value = on ? QStringLiteral("1") : QStringLiteral("0");
    if (connection.execute(QStringLiteral("UPDATE tblOptions SET OptionValue = ? WHERE OptionName = ?"),
                           {value, kProtectedOption}) == 0)
        connection.execute(QStringLiteral("INSERT INTO tblOptions (OptionName, OptionValue) VALUES (?, ?)"),
                           {kProtectedOption, value});
}

// Runs `convert` on every record's sealed fields and on the master-password row, reporting progress every
// so many records. False when cancelled.
bool convertValues(sql::Connection& connection, const ConversionProgress& progress,
                   const std::function<QVariant(const QString& place, qint64 record, const QVariant&)>& convert) {
    static const QStringList fields = kRecordFieldList.split(QStringLiteral(", "));
    constexpr int kProgressEvery = 1000;
    sql::Statement count(connection, QStringLiteral("SELECT count(*) FROM tblChildData"));
    count.step();
    const qint64 total = count.column(0).toLongLong();
    if (progress && !progress(0, total)) return false;

    QStringList sealed, places;
    for (int c = 0; c < fields.size(); ++c)
        if (RecordCodec::isSealedColumn(c)) {
            sealed << fields[c];
            places << QStringLiteral("tblChildData.") + fields[c];
        }
    sql::Statement read(connection, QStringLiteral("SELECT ChildAutoID, %1 FROM tblChildData").arg(sealed.join(", ")));
    QStringList sets;
    for (const QString& field : sealed) sets << field + QStringLiteral(" = ?");
    sql::Statement write(connection,
                         QStringLiteral("UPDATE tblChildData SET %1 WHERE ChildAutoID = ?").arg(sets.join(", ")));
    qint64 done = 0;
    while (read.step()) {
        const qint64 record = read.column(0).toLongLong();
        for (int i = 0; i < sealed.size(); ++i)
            write.bind(i + 1, convert(places[i], record, read.column(i + 1)));
        write.bind(int(sealed.size()) + 1, record);
        write.step();
        write.reset();
        if (++done % kProgressEvery == 0 && progress && !progress(done, total)) return false;
    }

    for (const char* field : kPasswordRowFields) {
        const QString name = QString::fromLatin1(field);
        sql::Statement row(connection, QStringLiteral("SELECT rowid, %1 FROM tblPassword").arg(name));
        while (row.step())
            connection.execute(QStringLiteral("UPDATE tblPassword SET %1 = ? WHERE rowid = ?").arg(name),
                               {convert(QStringLiteral("tblPassword.") + name, 0, row.column(1)), row.column(0)});
    }
    return !progress || progress(total, total);
}

} // namespace

KdfParams kdfParams() {
    return gKdfParams;
}

void setKdfParams(const KdfParams& params) {
    gKdfParams = params;
}

void checkKeyWraps(const sql::Connection& connection) {
    readWrap(connection, kMasterPasswordWrap);
    readWrap(connection, kRecoveryAnswerWrap);
}

std::shared_ptr<const SecretKey> unwrapWithMasterPassword(const sql::Connection& connection, const QString& typed) {
    return unwrap(connection, kMasterPasswordWrap, masterSecret(typed));
}

std::shared_ptr<const SecretKey> unwrapWithRecoveryAnswer(const sql::Connection& connection, const QString& question,
                                                          const QString& answer) {
    return unwrap(connection, kRecoveryAnswerWrap, recoverySecret(question, answer));
}

void rewrapMasterPassword(sql::Connection& connection, const SecretKey& key, const QString& newPassword) {
    const RecordCodec codec = RecordCodec::protectedWith(SecretKey::fromBytes(key.bytes()));
    const Wrap wrap = makeWrap(kMasterPasswordWrap, masterSecret(newPassword), key);
    sql::Transaction transaction(connection);
    storeWrap(connection, kMasterPasswordWrap, wrap);
    // Kept sealed beside the wrap, so that turning protection off gives the plain form its password back.
    connection.execute(QStringLiteral("UPDATE tblPassword SET Password = ?"),
                       {codec.sealValue(QStringLiteral("tblPassword.Password"), 0,
                                        encipherField(masterSecret(newPassword)))});
    transaction.commit();
}

std::shared_ptr<const SecretKey> protectDatabase(sql::Connection& connection, const QString& masterPassword,
                                                 const QString& question, const QString& answer,
                                                 const ConversionProgress& progress) {
    if (isProtectedDatabase(connection)) throw Error(err::DatabaseError, QStringLiteral("The database is protected already."));
    const std::shared_ptr<const SecretKey> key = SecretKey::random();
    const Wrap master = makeWrap(kMasterPasswordWrap, masterSecret(masterPassword), *key);
    const Wrap recovery = makeWrap(kRecoveryAnswerWrap, recoverySecret(question, answer), *key);
    const RecordCodec codec = RecordCodec::protectedWith(key);

    sql::Transaction transaction(connection);
    connection.executeScript(QStringLiteral("CREATE TABLE %1 (WrapName TEXT NOT NULL PRIMARY KEY, Salt TEXT NOT NULL, "
                                            "Passes INTEGER NOT NULL, MemoryBytes INTEGER NOT NULL, WrappedKey TEXT "
                                            "NOT NULL);")
                                 .arg(kKeyWrapTable));
    storeWrap(connection, kMasterPasswordWrap, master);
    storeWrap(connection, kRecoveryAnswerWrap, recovery);
    setMarker(connection, true);
    if (!convertValues(connection, progress, [&](const QString& place, qint64 record, const QVariant& plain) {
            return codec.sealValue(place, record, plain);
        }))
        return nullptr;
    transaction.commit();
    return key;
}

bool unprotectDatabase(sql::Connection& connection, const SecretKey& key, const ConversionProgress& progress) {
    if (!isProtectedDatabase(connection)) throw Error(err::DatabaseError, QStringLiteral("The database is not protected."));
    const RecordCodec codec = RecordCodec::protectedWith(SecretKey::fromBytes(key.bytes()));
    sql::Transaction transaction(connection);
    if (!convertValues(connection, progress, [&](const QString& place, qint64 record, const QVariant& sealed) {
            return codec.openValue(place, record, sealed);
        }))
        return false;
    connection.executeScript(QStringLiteral("DROP TABLE %1;").arg(kKeyWrapTable));
    setMarker(connection, false);
    transaction.commit();
    return true;
}

bool compactDatabase(sql::Connection& connection, const std::function<bool()>& keepGoing) {
    try {
        connection.executeLong(QStringLiteral("VACUUM;"), keepGoing);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace kv
