#pragma once

#include <QObject>
#include <functional>

class QTimer;
class QToolButton;
class QWidget;

namespace kv {

// The main window's idle watch. Counting from the last mouse movement over the window, one tick of
// `Timer1` arms, the next warns (alert button, sound, status text) and the third shuts the program down or
// locks it, hiding the window behind the log-on window, as gShutDownKeyvale says. Mouse movement over the
// window or any widget inside it, including widgets added later, disarms it again.
class IdleTimer : public QObject {
    Q_OBJECT
public:
    // `statusText`/`setStatusText` read and write the status bar's message panel. `lockOut` shows the
    // log-on window after the main window has been hidden; `shutDown` closes the main window for good.
    // The timer, the alert button `cmdAlerts` (a hidden child of `mainWindow`, for the caller to place)
    // and the idle watch belong to `mainWindow`.
    IdleTimer(QWidget* mainWindow, std::function<void(const QString&)> setStatusText,
              std::function<QString()> statusText, std::function<void()> lockOut, std::function<void()> shutDown);

    // Sets the tick length from the ShutDownTime option and starts ticking; a length of 0 means that
    // the program never shuts down or locks by itself.
    void start();

    // The warning the status bar shows before the program shuts down or locks by itself.
    static QString warningText(bool shutDown, double seconds);

    QTimer* timer() const { return Timer1_; }
    QToolButton* alertButton() const { return cmdAlerts_; }

    // False right after mouse movement; the next tick sets it. The main window's load leaves it set, so
    // that an untouched window warns on the first tick.
    bool bShutdownArmed = true;

public slots:
    void Timer1_Timer();
    // Starts the idle period afresh and takes back a warning that is on screen.
    void ResetAutoShutdown();
    // Hides the main window behind the log-on window, as the idle period's end does; the session's lock
    // (screen saver, sleep) comes here too.
    void lockOutNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget* widget);
    bool insideMainWindow(QObject* object) const;
    void setAlert(bool on);

    QWidget* mainWindow_;
    std::function<void(const QString&)> setStatusText_;
    std::function<QString()> statusText_;
    std::function<void()> lockOut_;
    std::function<void()> shutDown_;
    QTimer* Timer1_;
    QToolButton* cmdAlerts_;
    bool bWarningShown_ = false;
    bool inTick_ = false;
};

} // namespace kv
