#include "mainwindow/IdleTimer.h"

#include "platform/Artwork.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "access/modKeyvale.h"
#include "store/Options.h"
#include "platform/HelpViewer.h"

#include <QApplication>
#include <QChildEvent>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolButton>

namespace kv {

namespace {

const QString kCancelHint = QStringLiteral("Move the mouse over the form to cancel");

// Windows during which the user is busy elsewhere in the program, however still the mouse is.
bool helpOrOptionsOpen() {
    if (const HelpViewer* help = HelpViewer::instance(); help && help->isVisible()) return true;
    const QStringList titles{QStringLiteral("Keyvale Help"), QStringLiteral("Startup Option Settings")};
    for (const QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && titles.contains(window->windowTitle())) return true;
    return false;
}

} // namespace

IdleTimer::IdleTimer(QWidget* mainWindow, std::function<void(const QString&)> setStatusText,
                     std::function<QString()> statusText, std::function<void()> lockOut, std::function<void()> shutDown)
    : QObject(mainWindow), mainWindow_(mainWindow), setStatusText_(std::move(setStatusText)),
      statusText_(std::move(statusText)), lockOut_(std::move(lockOut)), shutDown_(std::move(shutDown)),
      Timer1_(new QTimer(this)), cmdAlerts_(new QToolButton(mainWindow)) {
    setObjectName(QStringLiteral("IdleTimer"));
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1_, &QTimer::timeout, this, &IdleTimer::Timer1_Timer);

    cmdAlerts_->setObjectName(QStringLiteral("cmdAlerts"));
    cmdAlerts_->setIcon(alertIcon());
    cmdAlerts_->setAccessibleName(QStringLiteral("Idle warning"));
    cmdAlerts_->setAutoRaise(true);
    // The pressed look is the alert look; the button never takes the focus from the grid.
    cmdAlerts_->setCheckable(true);
    cmdAlerts_->setFocusPolicy(Qt::NoFocus);
    cmdAlerts_->hide();

    watch(mainWindow_);
}

void IdleTimer::start() {
    const int interval = qRound(gShutDownTimeByte * 533.3333);
    Timer1_->setInterval(interval);
    // A 0 ms Qt timer would fire at every turn of the event loop; a length of 0 means "never".
    if (interval > 0)
        Timer1_->start();
    else
        Timer1_->stop();
}

QString IdleTimer::warningText(bool shutDown, double seconds) {
    return (shutDown ? QStringLiteral("Auto shutdown in approx. ") : QStringLiteral("Auto lockout in approx. ")) +
           QString::number(seconds) + QStringLiteral(" ") +
           QStringLiteral("seconds. Move the mouse over the form to cancel.");
}

void IdleTimer::Timer1_Timer() {
    // The first warning sound is waited for; a tick that arrives meanwhile must not act on a warning
    // the user has not yet heard to its end.
    if (inTick_) return;
    const QScopedValueRollback guard(inTick_, true);
    try {
        if (gFormOpen) return;
        const QString warning = warningText(gShutDownKeyvale, gShutDownTime / 2.0);
        if (helpOrOptionsOpen()) return;

        if (!bShutdownArmed) {
            bShutdownArmed = true;
            bWarningShown_ = false;
            return;
        }
        if (!bWarningShown_) {
            bWarningShown_ = true;
            setAlert(true);
            const QString sound = deliveredFile(gAppPath, QStringLiteral("AutoShutdown.wav"));
            desktop().playSound(sound, true);
            // The user came back while the sound played: the warning is over before it was written.
            if (!bShutdownArmed) return;
            desktop().playSound(sound, false);
            setStatusText_(warning);
            return;
        }
        if (gShutDownKeyvale) {
            shutDown_();
            return;
        }
        lockOutNow();
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("Timer1_Timer of Form frmMain"));
    }
}

void IdleTimer::lockOutNow() {
    mainWindow_->hide();
    ResetAutoShutdown();
    setStatusText_(QStringLiteral("Keyvale is Ready"));
    lockOut_();
}

void IdleTimer::ResetAutoShutdown() {
    try {
        if (statusText_().contains(kCancelHint)) setStatusText_(QStringLiteral("Auto Shutdown/Lockout Cancelled"));
        setAlert(false);
        bShutdownArmed = false;
    } catch (const std::exception& e) {
        reportError(e, QStringLiteral("ResetAutoShutdown of Form frmMain"));
    }
}

void IdleTimer::setAlert(bool on) {
    cmdAlerts_->setChecked(on);
    cmdAlerts_->setVisible(on);
}

// Every widget of the window reports mouse movement to the filter; mouse tracking makes the platform
// deliver movement without a pressed button, which is all the idle watch cares about.
void IdleTimer::watch(QWidget* widget) {
    widget->installEventFilter(this);
    widget->setMouseTracking(true);
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        child->installEventFilter(this);
        child->setMouseTracking(true);
    }
}

bool IdleTimer::insideMainWindow(QObject* object) const {
    for (; object; object = object->parent())
        if (object == mainWindow_) return true;
    return false;
}

bool IdleTimer::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
        if (insideMainWindow(watched)) ResetAutoShutdown();
        break;
    case QEvent::ChildAdded:
        // A widget still under construction is only filtered now; it is set up when it is polished,
        // before it is first shown. One that arrives ready (moved here from elsewhere) is set up at once.
        if (QObject* child = static_cast<QChildEvent*>(event)->child(); child && child->isWidgetType()) {
            child->installEventFilter(this);
            auto* widget = static_cast<QWidget*>(child);
            if (widget->testAttribute(Qt::WA_WState_Polished)) watch(widget);
        }
        break;
    case QEvent::Polish:
        if (watched->isWidgetType()) watch(static_cast<QWidget*>(watched));
        break;
    default:
        break;
    }
    return false;
}

} // namespace kv
