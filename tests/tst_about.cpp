#include "platform/Units.h"
#include "startup/modKeyvale.h"
#include "support/ScriptedDesktop.h"
#include "support/TempAppFolder.h"
#include "tools/frmAbout.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kv;
using kv::test::ScriptedDesktop;

namespace {

template <typename T> T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no child %s", name);
    return w;
}

QColor textColour(QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

void showActive(QWidget& w) {
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// The header and length of a WAV file, as far as a player needs them.
struct WavInfo {
    bool valid = false;
    int format = 0, channels = 0, bits = 0, rate = 0;
    double seconds = 0;
};

WavInfo readWav(const QString& path) {
    QFile file(path);
    WavInfo info;
    if (!file.open(QIODevice::ReadOnly)) return info;
    const QByteArray bytes = file.readAll();
    const auto u16 = [&bytes](int at) { return int(quint8(bytes[at])) | int(quint8(bytes[at + 1])) << 8; };
    const auto u32 = [&](int at) { return qint64(u16(at)) | qint64(u16(at + 2)) << 16; };
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt " || bytes.mid(36, 4) != "data")
        return info;
    info.format = u16(20);
    info.channels = u16(22);
    info.rate = int(u32(24));
    info.bits = u16(34);
    const qint64 data = u32(40);
    info.valid = data == bytes.size() - 44 && u32(4) == bytes.size() - 8;
    info.seconds = double(data) / (info.rate * info.channels * info.bits / 8);
    return info;
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        test::resetProgramState();
        BuildVersionText();
        gAppPath = gWinDir = QStringLiteral("/opt/keyvale/");
    }
    void cleanup() { test::resetProgramState(); }

    void showsTheProgramAndItsMaker() {
        ScriptedDesktop desktop;
        frmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Keyvale"));
        QVERIFY(about.windowFlags() & Qt::WindowStaysOnTopHint);
        auto* title = child<QLabel>(about, "lblTitle");
        QCOMPARE(title->text(), QStringLiteral("Keyvale"));
        QVERIFY(title->font().bold());
        QCOMPARE(child<QLabel>(about, "lblVersion")->text(), gVersionText);
        QVERIFY(gVersionText.startsWith(QStringLiteral("v ")));
        QCOMPARE(child<QLabel>(about, "lblOwner")->text(),
                 gMakerNotice + QStringLiteral(" ") + gMakerName + QStringLiteral("\n\n"));
        QCOMPARE(gMakerName, QStringLiteral("Keyvale Developers"));
        QCOMPARE(child<QLabel>(about, "lblEmail")->text(), QStringLiteral("keyvale@example.org"));
        QCOMPARE(child<QLabel>(about, "lblMyWebSite")->text(), QStringLiteral("https://keyvale.example.org"));
        QVERIFY(!child<QLabel>(about, "Image1")->pixmap().isNull());
        auto* ok = child<QPushButton>(about, "cmdOK");
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        // The background runs from turquoise at the top to orange at the bottom.
        const QImage background = about.palette().brush(QPalette::Window).texture().toImage();
        QVERIFY(!background.isNull());
        QCOMPARE(QColor(background.pixel(0, 0)), QColor(30, 190, 200));
        const QColor bottom(background.pixel(0, background.height() - 1));
        QVERIFY(qAbs(bottom.red() - 255) <= 2 && qAbs(bottom.green() - 170) <= 2 && qAbs(bottom.blue() - 90) <= 2);
    }

    // While the box is open the idle timer waits and the tune plays; every way of closing it stops the
    // tune and lets the idle timer go on.
    void closes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK") << "ok";
        QTest::newRow("Enter") << "enter";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("30 seconds") << "timeout";
        QTest::newRow("focus lost") << "deactivate";
    }
    void closes() {
        QFETCH(QString, how);
        ScriptedDesktop desktop;
        frmAbout about;
        QVERIFY(gFormOpen);
        QCOMPARE(desktop.tunes, QStringList{QStringLiteral("/opt/keyvale/AboutTune.wav")});
        showActive(about);
        auto* timer = about.findChild<QTimer*>(QStringLiteral("tmrAutoClose"));
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->interval(), 30000);
        QWidget other;
        if (how == QLatin1String("ok"))
            QTest::mouseClick(child<QPushButton>(about, "cmdOK"), Qt::LeftButton);
        else if (how == QLatin1String("enter"))
            QTest::keyClick(&about, Qt::Key_Return);
        else if (how == QLatin1String("esc"))
            QTest::keyClick(&about, Qt::Key_Escape);
        else if (how == QLatin1String("timeout"))
            QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
        else
            showActive(other);
        QTRY_VERIFY(!about.isVisible());
        QVERIFY(!gFormOpen);
        QCOMPARE(desktop.tuneStops, 1);
        QVERIFY(!timer->isActive());
        QVERIFY(desktop.prompts.isEmpty());
    }

    void linksOpenTheirAddress_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("url");
        QTest::newRow("e-mail") << "lblEmail"
                                << "mailto:keyvale@example.org";
        QTest::newRow("web site") << "lblMyWebSite"
                                  << "https://keyvale.example.org";
    }
    void linksOpenTheirAddress() {
        QFETCH(QString, label);
        QFETCH(QString, url);
        ScriptedDesktop desktop;
        frmAbout about;
        about.show();
        auto* link = child<QLabel>(about, qPrintable(label));
        const QColor normal = colorFromBgr(0xC00000), pressed = colorFromBgr(0xFFFF00);
        QCOMPARE(textColour(link), normal);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mousePress(link, Qt::LeftButton);
        QCOMPARE(textColour(link), pressed);
        QVERIFY(desktop.openedUrls.isEmpty());
        QTest::mouseRelease(link, Qt::LeftButton);
        QCOMPARE(textColour(link), normal);
        QCOMPARE(desktop.openedUrls, QStringList{url});

        // From the keyboard: Tab to the link, Enter opens it.
        desktop.openedUrls.clear();
        link->setFocus(Qt::TabFocusReason);
        QTest::keyClick(link, Qt::Key_Return);
        QCOMPARE(desktop.openedUrls, QStringList{url});
    }

    // The sounds the build writes beside the program: short 16-bit PCM, the warning under a second.
    void deliveredSoundsArePlayable_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<double>("shortest");
        QTest::addColumn<double>("longest");
        QTest::newRow("idle warning") << "AutoShutdown.wav" << 0.3 << 0.99;
        QTest::newRow("about tune") << "AboutTune.wav" << 2.0 << 8.0;
    }
    void deliveredSoundsArePlayable() {
        QFETCH(QString, file);
        QFETCH(double, shortest);
        QFETCH(double, longest);
        const QString path = QStringLiteral(KEYVALE_BUILD_DIR "/") + file;
        if (!QFile::exists(path)) QSKIP("the sounds are written by the delivered_sounds target");
        const WavInfo wav = readWav(path);
        QVERIFY(wav.valid);
        QCOMPARE(wav.format, 1);
        QCOMPARE(wav.bits, 16);
        QCOMPARE(wav.channels, 1);
        QVERIFY(wav.rate >= 22050);
        QVERIFY2(wav.seconds >= shortest && wav.seconds <= longest, qPrintable(QString::number(wav.seconds)));
    }
};

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
