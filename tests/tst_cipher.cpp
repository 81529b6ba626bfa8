#include "store/Cipher.h"

#include <QTest>

using namespace kv;

namespace {
QList<int> codes(const QString& text) {
    QList<int> out;
    for (const char b : toWindows1252(text)) out.append(static_cast<unsigned char>(b));
    return out;
}
QString fromCodes(const QList<int>& codes) {
    QByteArray bytes;
    for (int c : codes) bytes.append(char(c));
    return fromWindows1252(bytes);
}
} // namespace

class CipherTest : public QObject {
    Q_OBJECT
private slots:
    // Codes of the enciphered text, worked out apart from this program.
    void knownAnswers_data() {
        QTest::addColumn<bool>("oldFile");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QList<int>>("enciphered");
        QTest::newRow("PASSWORD1") << false << "PASSWORD1" << QList<int>{219, 52, 69, 82, 87, 78, 62, 40, 5};
        QTest::newRow("euro sign") << false << "Caf\u00E9\u20AC12" << QList<int>{206, 84, 88, 232, 128, 48, 30};
        QTest::newRow("sharp s, blank") << false << "Z\u00FCrich \u00DF"
                                        << QList<int>{89, 232, 86, 61, 23, 243, 19, 209};
        QTest::newRow("old file, PASSWORD1") << true << "PASSWORD1"
                                             << QList<int>{55, 45, 53, 33, 251, 248, 7, 207, 47};
        QTest::newRow("old file, accents") << true << "\u00DCn\u00EFc\u00F6d\u00E9"
                                           << QList<int>{195, 90, 209, 49, 156, 15, 158};
    }
    void knownAnswers() {
        QFETCH(bool, oldFile);
        QFETCH(QString, plain);
        QFETCH(QList<int>, enciphered);
        const CipherKey key = oldFile ? kOldFileKey : kFieldKey;
        QCOMPARE(codes(encipherWith(key, plain)), enciphered);
        QCOMPARE(decipherWith(key, fromCodes(enciphered)), plain);
    }

    // Codes 1 to 254 come back unchanged wherever they stand, under both keys; NUL comes back as 254 and
    // 255 as 1. No output holds a NUL.
    void roundTrips() {
        QList<int> all;
        for (int c = 1; c <= 254; ++c) all.append(c);
        const QString text = fromCodes(all);
        QCOMPARE(decipherField(encipherField(text)), text);
        QCOMPARE(decipherWith(kOldFileKey, encipherWith(kOldFileKey, text)), text);
        for (int c = 0; c <= 255; ++c) {
            const int back = c == 0 ? 254 : c == 255 ? 1 : c;
            const QString out = encipherField(fromCodes({c, c, c}));
            QVERIFY(!toWindows1252(out).contains('\0'));
            QCOMPARE(codes(decipherField(out)), (QList<int>{back, back, back}));
        }
    }

    // Parameters out of range act as their bounds; the call leaves them clamped and advanced.
    void parameters() {
        const QString text = QStringLiteral("Secret 42!");
        QCOMPARE(encipherWith({300, 5, 3, 2, 0}, text), encipherWith({255, 5, 3, 2, 1}, text));
        QCOMPARE(encipherWith({37, 5, 3, 2, 200}, text), encipherWith({37, 5, 3, 2, 100}, text));
        qint16 seed = 300, step = 5, divisor = 3, factor = 2, passes = 0;
        Encipher(seed, step, divisor, factor, passes, false, QStringLiteral("ab"));
        QCOMPARE((QList<int>{seed, passes, step}), (QList<int>{255, 1, 20}));
    }

    // The key's shifts are worked out once and reused; every length, in any order of calls, must still
    // give what the cipher's own arithmetic gives.
    void reusedShiftsAgree() {
        const QList<CipherKey> keys{kFieldKey, kOldFileKey, {300, 5, 3, 2, 0}, {1, 499, 5, 5, 7}};
        for (const int length : {5, 0, 1, 17, 3, 64, 2, 255, 40}) {
            QList<int> text;
            for (int i = 0; i < length; ++i) text.append(1 + (i * 37 + length) % 254);
            const QString plain = fromCodes(text);
            for (CipherKey key : keys) {
                CipherKey a = key, b = key;
                const QString enciphered = Encipher(a.seed, a.step, a.divisor, a.factor, a.passes, false, plain);
                QCOMPARE(encipherWith(key, plain), enciphered);
                QCOMPARE(decipherWith(key, enciphered),
                         Decipher(b.seed, b.step, b.divisor, b.factor, b.passes, false, enciphered));
            }
        }
    }

    void windows1252() {
        QCOMPARE(codes(QStringLiteral("\u20AC\u0081\u2122\u00FF")), (QList<int>{0x80, 0x81, 0x99, 0xFF}));
        QCOMPARE(codes(QStringLiteral("\u4E2D")), QList<int>{'?'});
        QCOMPARE(unstorableCharacters(QStringLiteral("ok\u4E2D\u00FFok\u4E2D")), QStringLiteral("\u4E2D\u00FF"));
        QCOMPARE(unstorableCharacters(QStringLiteral("Caf\u00E9 \u20AC5")), QString());
    }
};

QTEST_GUILESS_MAIN(CipherTest)
#include "tst_cipher.moc"
