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
    void knownAnswers_data() {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QList<int>>("enciphered");
        QTest::newRow("YES") << "YES" << QList<int>{228, 56, 69};
        QTest::newRow("PASSWORD1") << "PASSWORD1" << QList<int>{219, 52, 69, 82, 87, 78, 62, 40, 5};
    }
    void knownAnswers() {
        QFETCH(QString, plain);
        QFETCH(QList<int>, enciphered);
        QCOMPARE(codes(encipherField(plain)), enciphered);
        QCOMPARE(decipherField(fromCodes(enciphered)), plain);
    }

    // Every code from 1 to 254 comes back unchanged, wherever it stands in the text.
    void roundTripOverAllCodes() {
        QList<int> all;
        for (int c = 1; c <= 254; ++c) all.append(c);
        const QString text = fromCodes(all);
        QCOMPARE(decipherField(encipherField(text)), text);
        for (int c = 1; c <= 254; ++c) {
            const QString one = fromCodes({c, c, c});
            QCOMPARE(decipherField(encipherField(one)), one);
        }
    }

    void edgeCodes_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("back");
        QTest::newRow("NUL comes back as 254") << 0 << 254;
        QTest::newRow("255 comes back as 1") << 255 << 1;
    }
    void edgeCodes() {
        QFETCH(int, code);
        QFETCH(int, back);
        const QString enciphered = encipherField(fromCodes({code}));
        QCOMPARE(codes(decipherField(enciphered)), QList<int>{back});
    }

    void outputKeepsLengthAndHasNoNul() {
        for (const QString& text : {QString(), QStringLiteral("a"), QStringLiteral("correct horse battery"),
                                    QString(40, QLatin1Char('z'))}) {
            const QString out = encipherField(text);
            QCOMPARE(out.size(), text.size());
            QVERIFY(!toWindows1252(out).contains('\0'));
        }
    }

    // The call clamps and advances the parameters it was given.
    void parametersChangedByTheCall() {
        qint16 seed = 300, step = 5, divisor = 3, factor = 2, passes = 0;
        Encipher(seed, step, divisor, factor, passes, false, QStringLiteral("ab"));
        QCOMPARE(seed, qint16(255));
        QCOMPARE(passes, qint16(1));
        QCOMPARE(step, qint16(20));
        QVERIFY(divisor >= 1 && divisor <= 5);
        QVERIFY(factor >= 1 && factor <= 5);
    }

    void passesAreClamped_data() {
        QTest::addColumn<int>("given");
        QTest::addColumn<int>("actsAs");
        QTest::newRow("0 acts as 1") << 0 << 1;
        QTest::newRow("200 acts as 100") << 200 << 100;
    }
    void passesAreClamped() {
        QFETCH(int, given);
        QFETCH(int, actsAs);
        const QString text = QStringLiteral("Secret 42!");
        qint16 s1 = 37, st1 = 5, d1 = 3, f1 = 2, p1 = qint16(given);
        qint16 s2 = 37, st2 = 5, d2 = 3, f2 = 2, p2 = qint16(actsAs);
        QCOMPARE(Encipher(s1, st1, d1, f1, p1, false, text), Encipher(s2, st2, d2, f2, p2, false, text));
    }

    void oldFileKeyDiffersFromFieldKey() {
        const QString text = QStringLiteral("PASSWORD1");
        QVERIFY(encipherWith(kOldFileKey, text) != encipherField(text));
        QCOMPARE(decipherWith(kOldFileKey, encipherWith(kOldFileKey, text)), text);
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
