#include "startup/frmSplash.h"

#include "platform/Artwork.h"
#include "platform/Desktop.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modKeyvale.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace kv {

frmSplash::frmSplash(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(kAppTitle);
    resize(twipsToPixels(7200), twipsToPixels(4200));

    auto make = [this](const char* name, const QString& text, int pointSize, bool bold) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setAlignment(Qt::AlignCenter);
        QFont font = label->font();
        font.setPointSize(pointSize);
        font.setBold(bold);
        label->setFont(font);
        label->setStyleSheet(QStringLiteral("color: white;"));
        return label;
    };
    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setAlignment(Qt::AlignCenter);
    imgLogo->setPixmap(appIcon().pixmap(64, 64));
    lblCompanyProduct = make("lblCompanyProduct", gMakerName, 10, false);
    lblProductName = make("lblProductName", kAppTitle, 28, true);
    lblVersion = make("lblVersion", gVersionText, 11, false);
    lblCompany = make("lblCompany", gMakerName, 9, false);
    lblCopyright = make("lblCopyright", gMakerNotice, 9, false);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(imgLogo);
    layout->addWidget(lblCompanyProduct);
    layout->addWidget(lblProductName);
    layout->addWidget(lblVersion);
    layout->addStretch();
    layout->addWidget(lblCompany);
    layout->addWidget(lblCopyright);

    if (auto* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    PaintGradient(this, 125, 200, 255, 155, 25, 25, false);
}

} // namespace kv
