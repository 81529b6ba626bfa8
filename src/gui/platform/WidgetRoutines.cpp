#include "platform/WidgetRoutines.h"

#include "platform/Desktop.h"
#include "access/modKeyvale.h"
#include "platform/HelpViewer.h"
#include "store/RecordCodec.h"

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace kv {

namespace {
QPointer<QWidget> theMainWindow;
}

QWidget* mainWindow() { return theMainWindow; }

void setMainWindow(QWidget* window) { theMainWindow = window; }

void SelectAllText(QLineEdit* box) {
    box->setSelection(0, int(box->text().size()));
}

void MaskWithStars(QLineEdit* box) {
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void wipeBox(QLineEdit* box) {
    QString typed = box->text();
    // Setting the text also drops the box's undo history, which would keep the characters.
    box->setText(QString());
    wipeText(typed);
}

void RemoveCloseMenu(QWidget* window) {
    window->setWindowFlag(Qt::CustomizeWindowHint, true);
    window->setWindowFlag(Qt::WindowCloseButtonHint, false);
}

void PaintGradient(QWidget* target, float r1, float g1, float b1, float r2, float g2, float b2, bool horizontal) {
    const int width = std::max(1, target->width());
    const int height = std::max(1, target->height());
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const int span = horizontal ? width : height;
    const float dr = (r2 - r1) / span, dg = (g2 - g1) / span, db = (b2 - b1) / span;
    for (int i = 0; i < span; ++i) {
        painter.setPen(QColor(std::clamp(int(r1), 0, 255), std::clamp(int(g1), 0, 255), std::clamp(int(b1), 0, 255)));
        if (horizontal)
            painter.drawLine(i, 0, i, height - 1);
        else
            painter.drawLine(0, i, width - 1, i);
        r1 += dr;
        g1 += dg;
        b1 += db;
    }
    painter.end();
    QPalette palette = target->palette();
    palette.setBrush(QPalette::Window, QBrush(QPixmap::fromImage(image)));
    target->setPalette(palette);
    target->setAutoFillBackground(true);
}

void ShowHelpTopic(QWidget* form, qint32 context) {
    if (context >= 9998) return;
    HelpViewer::showTopic(form, gHelpFile, context);
}

std::pair<QString, QString> BrowseForFolder(QWidget* owner, const QString& initialFolder, const QString& title) {
    const QString path = desktop().browseForFolder(owner, initialFolder, title);
    if (path.isEmpty()) return {};
    return {path, QDir(path).dirName()};
}

} // namespace kv
