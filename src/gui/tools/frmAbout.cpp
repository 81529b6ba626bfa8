#include "tools/frmAbout.h"

#include "platform/Artwork.h"
#include "platform/Desktop.h"
#include "platform/Units.h"
#include "platform/WidgetRoutines.h"
#include "access/modKeyvale.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace kv {

const QString frmAbout::kMakerEmail = QStringLiteral("keyvale@example.org");
const QString frmAbout::kMakerWebSite = QStringLiteral("https://keyvale.example.org");
const QString frmAbout::kTuneFile = QStringLiteral("AboutTune.wav");

namespace {

constexpr qint64 kLinkColour = 0xC00000;    // dark blue
constexpr qint64 kPressedColour = 0xFFFF00; // cyan while the mouse button is down

// A label that behaves like a link: coloured, a hand pointer, lit while pressed, opened on release.
// It takes the focus by Tab, and Enter or Space opens it too.
class LinkLabel final : public QLabel {
public:
    LinkLabel(const QString& text, std::function<void()> open, QWidget* parent)
        : QLabel(text, parent), open_(std::move(open)) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        setColour(kLinkColour);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
        setColour(kPressedColour);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QLabel::mouseReleaseEvent(event);
        setColour(kLinkColour);
        // Letting go outside the link is the usual way to change one's mind.
        if (rect().contains(event->position().toPoint())) open_();
    }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            open_();
            break;
        default:
            QLabel::keyPressEvent(event);
        }
    }
    void focusInEvent(QFocusEvent* event) override {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        QLabel::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        setFrameStyle(QFrame::NoFrame);
        QLabel::focusOutEvent(event);
    }

private:
    void setColour(qint64 bgr) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, colorFromBgr(bgr));
        setPalette(p);
    }

    std::function<void()> open_;
};

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    gFormOpen = true;
    setWindowTitle(QStringLiteral("About ") + kAppTitle);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* lblTitle = new QLabel(kAppTitle, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    lblTitle->setFont(titleFont);

    auto* lblVersion = new QLabel(gVersionText, this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto* lblOwner = new QLabel(gMakerNotice + QLatin1Char(' ') + gMakerName + QStringLiteral("\n\n"), this);
    lblOwner->setObjectName(QStringLiteral("lblOwner"));

    auto* lblEmail = new LinkLabel(
        kMakerEmail, [this] { lblEmail_Click(); }, this);
    lblEmail->setObjectName(QStringLiteral("lblEmail"));
    auto* lblMyWebSite = new LinkLabel(
        kMakerWebSite, [this] { lblMyWebSite_Click(); }, this);
    lblMyWebSite->setObjectName(QStringLiteral("lblMyWebSite"));

    const int iconSide = twipsToPixels(960, this);
    auto* Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(appIcon().pixmap(QSize(iconSide, iconSide), devicePixelRatioF()));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(twipsToPixels(60, this));
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addWidget(separator(this));
    texts->addWidget(lblOwner);
    texts->addWidget(lblEmail);
    texts->addWidget(lblMyWebSite);
    texts->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(twipsToPixels(300, this));
    top->addWidget(Image1);
    top->addLayout(texts, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(cmdOK);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(twipsToPixels(300, this), twipsToPixels(300, this), twipsToPixels(300, this),
                               twipsToPixels(225, this));
    layout->addLayout(top);
    layout->addWidget(separator(this));
    layout->addLayout(bottom);
    setFixedSize(std::max(layout->sizeHint().width(), twipsToPixels(6000, this)),
                 std::max(layout->sizeHint().height(), twipsToPixels(3600, this)));
    PaintGradient(this, 30, 190, 200, 255, 170, 90, false);
    cmdOK->setFocus();

    tmrAutoClose_ = new QTimer(this);
    tmrAutoClose_->setObjectName(QStringLiteral("tmrAutoClose"));
    tmrAutoClose_->setSingleShot(true);
    tmrAutoClose_->setInterval(kAutoCloseMilliseconds);
    connect(tmrAutoClose_, &QTimer::timeout, this, &QDialog::accept);

    // A missing tune or sound device simply stays silent.
    desktop().playTune(deliveredFile(gWinDir, kTuneFile));
}

frmAbout::~frmAbout() {
    unload();
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::lblEmail_Click() {
    desktop().openUrl(QStringLiteral("mailto:") + kMakerEmail);
}

void frmAbout::lblMyWebSite_Click() {
    desktop().openUrl(kMakerWebSite);
}

void frmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!tmrAutoClose_->isActive()) tmrAutoClose_->start();
}

void frmAbout::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PaintGradient(this, 30, 190, 200, 255, 170, 90, false);
}

void frmAbout::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow())
        wasActive_ = true;
    else if (wasActive_ && isVisible())
        // Clicking anywhere outside the box closes it.
        reject();
}

void frmAbout::done(int result) {
    unload();
    QDialog::done(result);
}

void frmAbout::unload() {
    if (unloaded_) return;
    unloaded_ = true;
    tmrAutoClose_->stop();
    desktop().stopTune();
    gFormOpen = false;
}

} // namespace kv
