#include "exchange/ExportWriter.h"
#include "platform/Error.h"
#include "support/TestClock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using namespace kv;

namespace {

const QString kTemplate = QStringLiteral(KEYVALE_RESOURCES_DIR "/KeyvaleTemplate.htm");

QString readUtf8(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<unreadable>");
    return QString::fromUtf8(f.readAll());
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// The cells of every table row of a page, header row first, with the entities turned back into text.
QList<QStringList> tableCells(const QString& html) {
    static const QRegularExpression row(QStringLiteral("<tr>(.*?)</tr>"),
                                        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cell(QStringLiteral("<t[hd](?: [^>]*)?>(.*?)</t[hd]>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    QList<QStringList> out;
    for (auto r = row.globalMatch(html); r.hasNext();) {
        QStringList cells;
        for (auto c = cell.globalMatch(r.next().captured(1)); c.hasNext();) {
            QString text = c.next().captured(1);
            text.replace(QLatin1String("&lt;"), QLatin1String("<"))
                .replace(QLatin1String("&gt;"), QLatin1String(">"))
                .replace(QLatin1String("&quot;"), QLatin1String("\""))
                .replace(QLatin1String("&#39;"), QLatin1String("'"))
                .replace(QLatin1String("&amp;"), QLatin1String("&"));
            cells.append(text);
        }
        out.append(cells);
    }
    return out;
}

int errorNumberOf(const std::function<void()>& run) {
    try {
        run();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class ExportWriterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString path(const QString& name) const { return dir_->filePath(name); }
    QDir folder() const { return QDir(dir_->path()); }

private slots:
    // A fresh folder for every test and data row.
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    // Whatever a record holds, the page shows it as text: the cells come back unchanged and no markup
    // of the record's own reaches the page.
    void htmlCellsAreText_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("script") << QStringLiteral("<script>alert('x')</script>");
        QTest::newRow("ampersand and entity") << QStringLiteral("Tom & Jerry &amp; &lt;b&gt;");
        QTest::newRow("quotes breaking out of an attribute") << QStringLiteral("\"><img src=x onerror=alert(1)>");
        QTest::newRow("comment and mark") << QStringLiteral("<!--KEYVALE:ROWS--> <!--KEYVALE:DATE-->");
        QTest::newRow("non-ASCII") << QStringLiteral("Zürich € 東京 \U0001F511");
    }
    void htmlCellsAreText() {
        QFETCH(QString, text);
        const QString file = path(QStringLiteral("page.htm"));
        writeExport(ExportFormat::Html, file, kTemplate, {QStringLiteral("Caption ") + text, QStringLiteral("Plain")},
                    {{text, QStringLiteral("after")}});
        const QString page = readUtf8(file);
        QVERIFY(!page.contains(QLatin1String("<script"), Qt::CaseInsensitive));
        QVERIFY(!page.contains(QLatin1String("<img"), Qt::CaseInsensitive));
        QVERIFY(!page.contains(QLatin1String("<!--KEYVALE")));
        const QList<QStringList> expected{{QStringLiteral("Caption ") + text, QStringLiteral("Plain")},
                                          {text, QStringLiteral("after")}};
        QCOMPARE(tableCells(page), expected);
    }

    // Captions in the head, one row per record in the order given, and the marks filled in.
    void htmlLayout() {
        test::TestClock clock;
        const QString file = path(QStringLiteral("page.htm"));
        const QStringList captions{QStringLiteral("Group Name"), QStringLiteral("Website"), QStringLiteral("User ID")};
        const QList<QStringList> rows{{QStringLiteral("Bank"), QStringLiteral("bank.example"), QStringLiteral("ann")},
                                      {QStringLiteral("Mail"), QStringLiteral("mail.example"), QString()},
                                      {QStringLiteral("Work place"), QString(), QStringLiteral("Pw!x&<y>")}};
        writeExport(ExportFormat::Html, file, kTemplate, captions, rows);
        const QString page = readUtf8(file);
        QCOMPARE(tableCells(page), QList<QStringList>{captions} + rows);
        const qsizetype head = page.indexOf(QLatin1String("<thead>"));
        const qsizetype body = page.indexOf(QLatin1String("<tbody>"));
        QVERIFY(head >= 0 && head < page.indexOf(QLatin1String("<th>Group Name</th>")));
        QVERIFY(body >= 0 && body < page.indexOf(QLatin1String(">Bank</td>")));
        // One-word cells are kept on one line; texts with blanks may wrap.
        QVERIFY(page.contains(QLatin1String("<td class=\"word\">Pw!x&amp;&lt;y&gt;</td>")));
        QVERIFY(page.contains(QLatin1String("<td>Work place</td>")));
        QVERIFY(page.contains(QLatin1String("<td></td>")));
        QVERIFY(page.contains(QLatin1String("3 records")));
        QVERIFY(page.contains(QLocale().toString(clock.now().date(), QLocale::LongFormat)));
        QVERIFY(!page.contains(QLatin1String("<!--KEYVALE")));
    }

    // A user's own template without the rows mark must not lose the records.
    void templateWithoutMarksStillGetsRows() {
        const QString own = path(QStringLiteral("own.htm"));
        writeFile(own, "<html><body><h1>Mine</h1></body></html>");
        const QString file = path(QStringLiteral("page.htm"));
        writeExport(ExportFormat::Html, file, own, {QStringLiteral("Website")}, {{QStringLiteral("a.example")}});
        const QString page = readUtf8(file);
        QVERIFY(page.startsWith(QLatin1String("<html><body><h1>Mine</h1>")));
        QVERIFY(page.endsWith(QLatin1String("</body></html>")));
        QCOMPARE(tableCells(page), (QList<QStringList>{{QStringLiteral("Website")}, {QStringLiteral("a.example")}}));
    }

    void textLayout_data() {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("captions then one line per record")
            << QStringList{QStringLiteral("Website"), QStringLiteral("User ID")}
            << QList<QStringList>{{QStringLiteral("a.example"), QStringLiteral("ann")},
                                  {QStringLiteral("b.example"), QString()}}
            << QByteArray("Website\tUser ID\na.example\tann\nb.example\t\n");
        QTest::newRow("tabs and line breaks in a cell stay on the record's line")
            << QStringList{QStringLiteral("Description"), QStringLiteral("User ID")}
            << QList<QStringList>{{QStringLiteral("one\ttwo\r\nthree\nfour\rfive"), QStringLiteral("x")}}
            << QByteArray("Description\tUser ID\none two three four five\tx\n");
        QTest::newRow("no rows leaves the caption line")
            << QStringList{QStringLiteral("Website")} << QList<QStringList>{} << QByteArray("Website\n");
        QTest::newRow("UTF-8 and markup kept as typed")
            << QStringList{QStringLiteral("Notes")} << QList<QStringList>{{QStringLiteral("<b>Zürich</b> & €")}}
            << QByteArray("Notes\n<b>Z\xc3\xbcrich</b> & \xe2\x82\xac\n");
    }
    void textLayout() {
        QFETCH(QStringList, captions);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QByteArray, expected);
        const QString file = path(QStringLiteral("export.txt"));
        writeExport(ExportFormat::Text, file, QString(), captions, rows);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
    }

    // A failed export names the right cause and leaves the earlier export at its name as it was.
    void failures_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("templateFile");
        QTest::addColumn<int>("number");
        QTest::newRow("template missing")
            << int(ExportFormat::Html) << QStringLiteral("old.htm") << QStringLiteral("none.htm") << err::FileNotFound;
        QTest::newRow("no template given")
            << int(ExportFormat::Html) << QStringLiteral("old.htm") << QString() << err::FileNotFound;
        QTest::newRow("template is a folder")
            << int(ExportFormat::Html) << QStringLiteral("old.htm") << QStringLiteral("sub") << err::FileNotFound;
        QTest::newRow("folder missing, html") << int(ExportFormat::Html) << QStringLiteral("gone/new.htm")
                                              << QStringLiteral("KeyvaleTemplate.htm") << err::PathNotFound;
        QTest::newRow("folder missing, text")
            << int(ExportFormat::Text) << QStringLiteral("gone/deeper/new.txt") << QString() << err::PathNotFound;
        QTest::newRow("name taken by a folder") << int(ExportFormat::Text) << QStringLiteral("sub") << QString() << 75;
    }
    void failures() {
        QFETCH(int, format);
        QFETCH(QString, file);
        QFETCH(QString, templateFile);
        QFETCH(int, number);
        QVERIFY(QFile::copy(kTemplate, path(QStringLiteral("KeyvaleTemplate.htm"))));
        QVERIFY(folder().mkdir(QStringLiteral("sub")));
        writeFile(path(QStringLiteral("old.htm")), "earlier export");
        const QString target = path(file);
        const QString templatePath = templateFile.isEmpty() ? QString() : path(templateFile);

        QCOMPARE(errorNumberOf([&] {
                     writeExport(ExportFormat(format), target, templatePath, {QStringLiteral("Website")},
                                 {{QStringLiteral("a.example")}});
                 }),
                 number);
        QCOMPARE(readUtf8(path(QStringLiteral("old.htm"))), QStringLiteral("earlier export"));
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("gone"))));
        // Nothing half-written is left beside the export's name either.
        QCOMPARE(folder().entryList(QDir::Files).size(), 2);
        QVERIFY(QDir(path(QStringLiteral("sub"))).isEmpty());
    }

    // Exports hold passwords: owner-only, also when an earlier export was readable by others, and a
    // second export replaces the first whole.
    void replacedWholeAndOwnerOnly_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("html") << int(ExportFormat::Html);
        QTest::newRow("text") << int(ExportFormat::Text);
    }
    void replacedWholeAndOwnerOnly() {
        QFETCH(int, format);
        const QString file = path(QStringLiteral("export"));
        const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        // The mode bits for owner, group and others (Qt's "user" bits describe the running process).
        const auto mode = [&] { return QFile::permissions(file) & 0x7077; };
        const QList<QStringList> many{
            {QStringLiteral("first-a")}, {QStringLiteral("first-b")}, {QStringLiteral("first-c")}};
        writeExport(ExportFormat(format), file, kTemplate, {QStringLiteral("Website")}, many);
        QCOMPARE(mode(), ownerOnly);

        QVERIFY(QFile::setPermissions(file, ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        writeExport(ExportFormat(format), file, kTemplate, {QStringLiteral("Website")}, {{QStringLiteral("second")}});
        QCOMPARE(mode(), ownerOnly);
        const QString contents = readUtf8(file);
        QVERIFY(contents.contains(QLatin1String("second")));
        QVERIFY(!contents.contains(QLatin1String("first")));
        QCOMPARE(folder().entryList(QDir::Files), QStringList{QStringLiteral("export")});
    }
};

QTEST_GUILESS_MAIN(ExportWriterTest)
#include "tst_export.moc"
