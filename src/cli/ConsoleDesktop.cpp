#include "cli/ConsoleDesktop.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cstdio>

namespace kv::cli {

QString oneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

Answer ConsoleDesktop::message(const QString& text, const QString&, Buttons buttons, Icon) {
    ++messages_;
    std::fprintf(stderr, "keyvale-cli: %s\n", oneLine(text).toLocal8Bit().constData());
    std::fflush(stderr);
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
}

void ConsoleDesktop::setClipboardText(const QString& text) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* data = new QMimeData;
    data->setText(text);
    // Clipboard managers leave text marked so out of their history.
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard->setMimeData(data);
    clipboardText_ = text;
}

void ConsoleDesktop::clearClipboardText() {
    if (clipboardText_.isEmpty() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->text() == clipboardText_) clipboard->clear();
    clipboardText_.clear();
}

} // namespace kv::cli
