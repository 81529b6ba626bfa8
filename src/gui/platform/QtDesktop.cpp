#include "platform/QtDesktop.h"

#include "platform/InstanceLock.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QClipboard>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

namespace kv {

QtDesktop::QtDesktop() = default;
QtDesktop::~QtDesktop() = default;

Answer QtDesktop::message(const QString& text, const QString& title, Buttons buttons, Icon icon) {
    return showMessage(text, title, buttons, icon, false);
}

Answer QtDesktop::askDefaultNo(const QString& text, const QString& title) {
    return showMessage(text, title, Buttons::YesNo, Icon::Question, true);
}

namespace {

// A box that comes up while the busy pointer is shown (work that stops to tell or ask something) takes the
// ordinary pointer until it is answered.
class OrdinaryPointer {
public:
    OrdinaryPointer() : busy_(QApplication::overrideCursor() != nullptr) {
        if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~OrdinaryPointer() {
        if (busy_) QApplication::restoreOverrideCursor();
    }
    OrdinaryPointer(const OrdinaryPointer&) = delete;
    OrdinaryPointer& operator=(const OrdinaryPointer&) = delete;

private:
    bool busy_;
};

} // namespace

Answer QtDesktop::showMessage(const QString& text, const QString& title, Buttons buttons, Icon icon, bool defaultNo) {
    const OrdinaryPointer pointer;
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    // Messages quote the user's records: shown as written, never read as markup or links.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (defaultNo) box.setDefaultButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::YesNo ? Answer::No : buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

std::optional<QString> QtDesktop::input(const QString& prompt, const QString& title, const QString& defaultText,
                                        Echo echo) {
    const OrdinaryPointer pointer;
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title.isEmpty() ? kAppTitle : title);
    dialog.setLabelText(prompt);
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    dialog.setTextValue(defaultText);
    if (echo == Echo::Masked) dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

QString QtDesktop::browseForFolder(QObject* owner, const QString& initialFolder, const QString& title) {
    auto* parent = qobject_cast<QWidget*>(owner);
    return QFileDialog::getExistingDirectory(parent ? parent : QApplication::activeWindow(), title, initialFolder);
}

QString QtDesktop::chooseFile(QObject* owner, const QString& initialFolder, const QString& title,
                             const QString& filter) {
    auto* parent = qobject_cast<QWidget*>(owner);
    return QFileDialog::getOpenFileName(parent ? parent : QApplication::activeWindow(), title, initialFolder, filter);
}

bool QtDesktop::openUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

bool QtDesktop::openFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool QtDesktop::startDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

void QtDesktop::playSound(const QString& file, bool wait) {
    if (!QFileInfo::exists(file) || QMediaDevices::audioOutputs().isEmpty()) return;
    if (!effect_) effect_ = std::make_unique<QSoundEffect>();
    effect_->stop();
    effect_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    effect_->play();
    if (!wait) return;
    // Wait for the end of the sound, but never longer than a short sound could last.
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(effect_.get(), &QSoundEffect::playingChanged, &loop, [this, &loop] {
        if (!effect_->isPlaying()) loop.quit();
    });
    QObject::connect(effect_.get(), &QSoundEffect::statusChanged, &loop, [this, &loop] {
        if (effect_->status() == QSoundEffect::Error) loop.quit();
    });
    guard.start(5000);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void QtDesktop::playTune(const QString& file) {
    if (!QFileInfo::exists(file) || QMediaDevices::audioOutputs().isEmpty()) return;
    if (!tune_) {
        tuneOutput_ = std::make_unique<QAudioOutput>();
        tune_ = std::make_unique<QMediaPlayer>();
        tune_->setAudioOutput(tuneOutput_.get());
    }
    tune_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    tune_->play();
}

void QtDesktop::stopTune() {
    if (tune_) tune_->stop();
}

void QtDesktop::beep() { QApplication::beep(); }

void QtDesktop::setClipboardText(const QString& text) {
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    auto* data = new QMimeData;
    data->setText(text);
    // Clipboard managers leave text marked so out of their history.
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard->setMimeData(data);
    clipboardText_ = text;
}

void QtDesktop::clearClipboardText() {
    if (clipboardText_.isEmpty()) return;
    QClipboard* clipboard = QApplication::clipboard();
    if (clipboard->text() == clipboardText_) clipboard->clear();
    clipboardText_.clear();
}

void QtDesktop::leaveCleanly() {
    clearClipboardText();
    // The clearing must reach the display server before the process goes.
    QGuiApplication::sync();
    InstanceLock::process().release();
}

void QtDesktop::endApplication() {
    // Every change is stored when it is made, so nothing is pending: end the process at once.
    leaveCleanly();
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace kv
