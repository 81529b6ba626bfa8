// The protected form of a record field: every value comes back as it went in, whatever its length or
// characters, in the base64 form any decoder reads; a value that is not in that form is refused. (Values
// altered or moved in a database are refused in tst_protection.)
#include "platform/Error.h"
#include "store/RecordCodec.h"
#include "store/RecordFields.h"

#include <QTest>

using namespace kv;

namespace {

const QString kUserIdPlace = QStringLiteral("tblChildData.UserID");

} // namespace

class RecordCodecTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { codec_ = RecordCodec::protectedWith(SecretKey::random()); }

    // Lengths around the padding block, the base64 groups and the buffers kept on the stack.
    void roundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << QString("");
        for (const int length : {1, 2, 3, 15, 16, 17, 47, 48, 49, 300, 463, 464, 465, 2000})
            QTest::addRow("%d ASCII", length) << QString(length, QLatin1Char('a' + length % 26));
        QTest::newRow("Western European") << QString::fromUtf8("Müller ñ €uro");
        QTest::newRow("beyond one code unit") << QString::fromUtf8("snow\xE2\x98\x83man \xF0\x9F\x94\x91 key");
        QTest::newRow("a tab and a line break") << QString("two\tparts\nand lines");
    }
    void roundTrip() {
        QFETCH(QString, value);
        const QVariant sealed = codec_.fromPlainForm(42, kUserIdColumn, value);
        const QString text = sealed.toString();
        QVERIFY(text.startsWith("kv1:"));
        // The standard padded base64 that any decoder reads, and writes back alike.
        const QByteArray base64 = text.mid(4).toLatin1();
        QCOMPARE(QByteArray::fromBase64(base64).toBase64(), base64);
        QCOMPARE(codec_.toPlainForm(42, kUserIdColumn, sealed), QVariant(value));
        // The field's place named as text opens the same value.
        QCOMPARE(codec_.openValue(kUserIdPlace, 42, sealed), QVariant(value));
        QCOMPARE(codec_.toPlainForm(42, kUserIdColumn, codec_.sealValue(kUserIdPlace, 42, value)), QVariant(value));
        QVERIFY(codec_.fromPlainForm(42, kUserIdColumn, QVariant()).isNull());
    }

    // Text that is not the base64 seal() writes does not open, even where a lenient decoder would take it.
    void damaged_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<qint64>("record");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("opens");
        const QString sealed = codec_.fromPlainForm(7, kUserIdColumn, QString("carl")).toString();
        QString unpadded = sealed;
        while (unpadded.endsWith('=')) unpadded.chop(1);
        QVERIFY(unpadded != sealed);
        QTest::newRow("written") << sealed << qint64(7) << int(kUserIdColumn) << true;
        QTest::newRow("unpadded") << unpadded << qint64(7) << int(kUserIdColumn) << false;
        QTest::newRow("with a line break") << QString(sealed).insert(30, '\n') << qint64(7) << int(kUserIdColumn)
                                           << false;
        QTest::newRow("not base64") << QString(sealed).replace(10, 1, "*") << qint64(7) << int(kUserIdColumn) << false;
        QTest::newRow("beyond ASCII") << QString(sealed).replace(10, 1, QChar(0x410)) << qint64(7) << int(kUserIdColumn)
                                      << false;
    }
    void damaged() {
        QFETCH(QString, stored);
        QFETCH(qint64, record);
        QFETCH(int, column);
        QFETCH(bool, opens);
        if (opens) {
            QCOMPARE(codec_.toPlainForm(record, column, stored), QVariant(QString("carl")));
            return;
        }
        try {
            codec_.toPlainForm(record, column, stored);
            QFAIL("a damaged value opened");
        } catch (const Error& e) {
            QVERIFY2(e.description().contains(QStringLiteral("of record %1 does not open").arg(record)),
                     qPrintable(e.description()));
        }
    }

private:
    RecordCodec codec_;
};

QTEST_GUILESS_MAIN(RecordCodecTest)
#include "tst_recordcodec.moc"
