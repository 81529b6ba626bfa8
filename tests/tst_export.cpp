#include "exchange/ExportWriter.h"
#include "support/TestClock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kv;

namespace {

const QString kTemplate = QStringLiteral(KEYVALE_RESOURCES_DIR "/KeyvaleTemplate.htm");

QString readUtf8(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : "<unreadable>";
}

// The cells of every table row of a page, header row first, with the entities turned back into text.
QList<QStringList> tableCells(const QString& html) {
    static const QRegularExpression row("<tr>(.*?)</tr>", QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell("<t[hd](?: [^>]*)?>(.*?)</t[hd]>",
                                         QRegularExpression::DotMatchesEverythingOption);
    QList<QStringList> out;
    for (const auto& r : row.globalMatch(html)) {
        QStringList cells;
        for (const auto& c : cell.globalMatch(r.captured(1)))
            cells.append(c.captured(1)
                             .replace("&lt;", "<")
                             .replace("&gt;", ">")
                             .replace("&quot;", "\"")
                             .replace("&#39;", "'")
                             .replace("&amp;", "&"));
        out.append(cells);
    }
    return out;
}

} // namespace

class ExportWriterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString path(const QString& name) const { return dir_->filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    // Captions in the head, one row per record in the order given, one-word cells kept on one line, the
    // marks filled in; a template of the user's own without the marks still gets every record. Whatever
    // a record holds is shown as text: none of its markup reaches the page, nor is a mark in it filled in.
    void htmlLayout_data() {
        QTest::addColumn<bool>("ownTemplate");
        QTest::newRow("delivered template") << false;
        QTest::newRow("own template without marks") << true;
    }
    void htmlLayout() {
        QFETCH(bool, ownTemplate);
        test::TestClock clock;
        if (ownTemplate) writeFile("own.htm", "<html><body><h1>Mine</h1></body></html>");
        const QStringList captions{"Group Name", "Website", "User ID <script>"};
        const QList<QStringList> rows{{"Bank", "bank.example", "ann"},
                                      {"Mail", "mail.example", ""},
                                      {"Work place", "", "Pw!x&<y>"},
                                      {"<script>alert('x')</script> Tom & Jerry &amp; &lt;b&gt;",
                                       "\"><img src=x onerror=alert(1)>", "<!--KEYVALE:ROWS--> <!--KEYVALE:DATE-->"}};
        writeExport(ExportFormat::Html, path("page.htm"), ownTemplate ? path("own.htm") : kTemplate, captions, rows);
        const QString page = readUtf8(path("page.htm"));
        QCOMPARE(tableCells(page), QList<QStringList>{captions} + rows);
        const qsizetype head = page.indexOf("<thead>"), body = page.indexOf("<tbody>");
        QVERIFY(head >= 0 && head < page.indexOf("<th>Group Name</th>"));
        QVERIFY(body >= 0 && body < page.indexOf(">Bank</td>"));
        QVERIFY(page.contains("<td class=\"word\">Pw!x&amp;&lt;y&gt;</td>"));
        QVERIFY(page.contains("<td>Work place</td>"));
        QVERIFY(page.contains("<td></td>"));
        QVERIFY(!page.contains("<script", Qt::CaseInsensitive));
        QVERIFY(!page.contains("<img", Qt::CaseInsensitive));
        QVERIFY(!page.contains("<!--KEYVALE"));
        if (ownTemplate) {
            QVERIFY(page.startsWith("<html><body><h1>Mine</h1>"));
            QVERIFY(page.endsWith("</body></html>"));
        } else {
            QVERIFY(page.contains("4 records"));
            QVERIFY(page.contains(QLocale().toString(clock.now().date(), QLocale::LongFormat)));
        }
    }

    void textLayout_data() {
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one line per record, UTF-8 and markup as typed")
            << QList<QStringList>{{"a.example", "<b>Zürich</b> & €"}, {"b.example", ""}}
            << QByteArray("Website\tNotes\na.example\t<b>Z\xc3\xbcrich</b> & \xe2\x82\xac\nb.example\t\n");
        QTest::newRow("tabs and line breaks in a cell stay on the record's line")
            << QList<QStringList>{{"one\ttwo\r\nthree\nfour\rfive", "x"}}
            << QByteArray("Website\tNotes\none two three four five\tx\n");
    }
    void textLayout() {
        QFETCH(QList<QStringList>, rows);
        QFETCH(QByteArray, expected);
        writeExport(ExportFormat::Text, path("export.txt"), QString(), {"Website", "Notes"}, rows);
        QCOMPARE(readUtf8(path("export.txt")).toUtf8(), expected);
    }

    // Exports hold passwords: owner-only, also when an earlier export was readable by others, and a
    // second export replaces the first whole.
    void replacedWholeAndOwnerOnly() {
        const QString file = path("export");
        const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        // The mode bits for owner, group and others (Qt's "user" bits describe the running process).
        const auto mode = [&] { return QFile::permissions(file) & 0x7077; };
        writeExport(ExportFormat::Html, file, kTemplate, {"Website"}, {{"first-a"}, {"first-b"}, {"first-c"}});
        QCOMPARE(mode(), ownerOnly);

        QVERIFY(QFile::setPermissions(file, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        writeExport(ExportFormat::Html, file, kTemplate, {"Website"}, {{"second"}});
        QCOMPARE(mode(), ownerOnly);
        QVERIFY(readUtf8(file).contains("second"));
        QVERIFY(!readUtf8(file).contains("first"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"export"});
    }
};

QTEST_GUILESS_MAIN(ExportWriterTest)
#include "tst_export.moc"
