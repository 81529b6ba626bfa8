#include "exchange/ExportWriter.h"
#include "support/TempAppFolder.h"
#include "support/TestClock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kv;

namespace {

const QString kTemplate = QStringLiteral(KEYVALE_RESOURCES_DIR "/KeyvaleTemplate.htm");

// The cells of every table row of a page, header row first, with the entities turned back into text.
QList<QStringList> tableCells(const QString& html) {
    static const QRegularExpression row("<tr>(.*?)</tr>", QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell("<t[hd](?: [^>]*)?>(.*?)</t[hd]>",
                                         QRegularExpression::DotMatchesEverythingOption);
    QList<QStringList> out;
    for (const auto& r : row.globalMatch(html)) {
        out.append(QStringList());
        for (const auto& c : cell.globalMatch(r.captured(1)))
            out.back().append(c.captured(1)
                                  .replace("&lt;", "<")
                                  .replace("&gt;", ">")
                                  .replace("&quot;", "\"")
                                  .replace("&#39;", "'")
                                  .replace("&amp;", "&"));
    }
    return out;
}

} // namespace

class ExportWriterTest : public QObject {
    Q_OBJECT
private slots:
    // The records under their captions, shown as text whatever they hold; a template without marks still
    // gets them. The page replaces an earlier export whole, owner-only even if that one was readable by all.
    void htmlLayout_data() {
        QTest::addColumn<bool>("ownTemplate");
        QTest::newRow("delivered template") << false;
        QTest::newRow("own template without marks") << true;
    }
    void htmlLayout() {
        QFETCH(bool, ownTemplate);
        test::TestClock clock;
        QTemporaryDir dir;
        const QString file = dir.filePath("page.htm"), own = dir.filePath("own.htm");
        QVERIFY(test::writeFile(own, "<html><body><h1>Mine</h1></body></html>") && test::writeFile(file, "earlier"));
        const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        QVERIFY(QFile::setPermissions(file, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        const QStringList captions{"Group Name", "Website", "User ID <script>"};
        const QList<QStringList> rows{{"Bank", "bank.example", "ann"},
                                      {"Work place", "", "Pw!x&<y>"},
                                      {"<script>alert('x')</script> Tom & Jerry &amp; &lt;b&gt;",
                                       "\"><img src=x onerror=alert(1)>", "<!--KEYVALE:ROWS--> <!--KEYVALE:DATE-->"}};
        writeExport(ExportFormat::Html, file, ownTemplate ? own : kTemplate, captions, rows);
        const QString page = QString::fromUtf8(test::fileBytes(file));
        QCOMPARE(tableCells(page), QList<QStringList>{captions} + rows);
        QVERIFY(page.contains(QRegularExpression("<thead>\\s*<tr><th>Group Name</th>")));
        QVERIFY(page.contains("<td class=\"word\">Pw!x&amp;&lt;y&gt;</td>"));
        QVERIFY(page.contains("<td>Work place</td>"));
        for (const char* markup : {"<script", "<img", "<!--KEYVALE", "earlier"})
            QVERIFY2(!page.contains(markup, Qt::CaseInsensitive), markup);
        if (ownTemplate) {
            QVERIFY(page.startsWith("<html><body><h1>Mine</h1>") && page.endsWith("</body></html>"));
        } else {
            QVERIFY(page.contains("3 records") &&
                    page.contains(QLocale().toString(clock.now().date(), QLocale::LongFormat)));
        }
        // The mode bits for owner, group and others (Qt's "user" bits describe the running process).
        QCOMPARE(QFile::permissions(file) & 0x7077, ownerOnly);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"own.htm", "page.htm"}));
    }

    // One line per record, UTF-8 and markup as typed; a tab or line break in a cell would split the record.
    void textLayout() {
        QTemporaryDir dir;
        writeExport(ExportFormat::Text, dir.filePath("export.txt"), QString(), {"Website", "Notes"},
                    {{"a.example", "<b>Zürich</b> & €"}, {"one\ttwo\r\nthree\nfour\rfive", ""}});
        QCOMPARE(test::fileBytes(dir.filePath("export.txt")),
                 "Website\tNotes\na.example\t<b>Z\xc3\xbcrich</b> & \xe2\x82\xac\none two three four five\t\n");
    }
};

QTEST_GUILESS_MAIN(ExportWriterTest)
#include "tst_export.moc"
