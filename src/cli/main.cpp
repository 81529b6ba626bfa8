// keyvale-cli: the records of a Keyvale data folder from a terminal or a script.
#include "cli/Commands.h"
#include "cli/ConsoleDesktop.h"
#include "cli/Secrets.h"
#include "cli/Session.h"
#include "platform/Error.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using namespace kv::cli;

void fail(const QString& line) {
    std::fprintf(stderr, "keyvale-cli: %s\n", oneLine(line).toLocal8Bit().constData());
}

QString overview() {
    QString text = QStringLiteral("Usage: keyvale-cli COMMAND [options] [arguments]\n\nCommands:\n");
    for (const Command& c : commands())
        text += QStringLiteral("  %1%2\n").arg(QString::fromLatin1(c.name).leftJustified(12), QLatin1String(c.summary));
    text += QStringLiteral(
        "\nEvery command takes --app-dir DIR (or KEYVALE_APP_DIR), --password-stdin and --help; the first two\n"
        "may also stand before the command.\n"
        "Exit codes: 0 done, 1 failed (files, database), 2 bad usage, 3 wrong master password,\n"
        "4 not found, 5 refused (nothing was changed).\n");
    return text;
}

// Whether the command line asks for the clipboard, which needs a display and so a GUI application.
bool wantsClipboard(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--copy") == 0) return true;
    return false;
}

bool haveDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// "keyvale-cli --app-dir DIR ls" reads as "keyvale-cli ls --app-dir DIR": the options every command takes may
// stand before the command's name too.
QStringList commandFirst(QStringList arguments) {
    QStringList leading;
    while (arguments.size() > 1) {
        const QString& a = arguments[1];
        if (a == QLatin1String("--app-dir") && arguments.size() > 2) {
            leading << arguments.takeAt(1);
            leading << arguments.takeAt(1);
        } else if (a.startsWith(QLatin1String("--app-dir=")) || a == QLatin1String("--password-stdin")) {
            leading << arguments.takeAt(1);
        } else {
            break;
        }
    }
    if (arguments.size() < 2) return arguments;
    for (int i = 0; i < leading.size(); ++i) arguments.insert(2 + i, leading[i]);
    return arguments;
}

// Qt's own warnings (a missing runtime folder, say) are not for the user of a command: the command reports
// its failures itself, one line each.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}

int run(const QStringList& given) {
    const QStringList arguments = commandFirst(given);
    if (arguments.size() < 2 || arguments[1] == QLatin1String("--help") || arguments[1] == QLatin1String("-h")) {
        std::fputs(overview().toLocal8Bit().constData(), arguments.size() < 2 ? stderr : stdout);
        return arguments.size() < 2 ? kExitUsage : kExitOk;
    }
    if (arguments[1] == QLatin1String("--version")) {
        std::printf("keyvale-cli %s\n", KEYVALE_VERSION_TEXT);
        return kExitOk;
    }
    const Command* command = nullptr;
    for (const Command& c : commands())
        if (arguments[1] == QLatin1String(c.name)) command = &c;
    if (!command) {
        fail(QStringLiteral("Unknown command '%1'; see keyvale-cli --help").arg(arguments[1]));
        return kExitUsage;
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(command->summary));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption appDir(QStringLiteral("app-dir"),
                                    QStringLiteral("Use DIR as the program folder (settings file, database)."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption passwordStdin(
        QStringLiteral("password-stdin"),
        QStringLiteral("Read the master password from the first line of standard input (and a record's or new "
                       "password from the next lines)."));
    parser.addOption(help);
    parser.addOption(appDir);
    if (command->logOn) parser.addOption(passwordStdin);
    command->define(parser);
    if (std::strlen(command->arguments) > 0)
        parser.addPositionalArgument(QString::fromLatin1(command->arguments), QString(),
                                     QString::fromLatin1(command->arguments));
    QStringList rest = arguments;
    rest.removeAt(1);
    rest[0] = QStringLiteral("keyvale-cli ") + QLatin1String(command->name);
    if (!parser.parse(rest)) {
        fail(parser.errorText());
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        // The parser names the program as it was started; the usage line names the command too.
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ") + arguments[0];
        if (text.startsWith(usage)) text.replace(0, usage.size(), QStringLiteral("Usage: ") + rest[0]);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (std::strcmp(command->name, "show") == 0 && parser.isSet(QStringLiteral("copy")) &&
        !qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        fail(QStringLiteral("No display to put the password on the clipboard (DISPLAY is not set)"));
        return kExitFailed;
    }

    Secrets secrets(command->logOn && parser.isSet(passwordStdin));
    QString folder = parser.value(appDir);
    if (folder.isEmpty()) folder = qEnvironmentVariable("KEYVALE_APP_DIR");
    Session session(folder, secrets);
    CommandContext context{parser, session, secrets};
    try {
        if (command->logOn) {
            session.locate();
            if (command->writes) session.lockForWriting();
            session.open();
            session.logOn();
        }
        return command->run(context);
    } catch (const CommandFailure& f) {
        fail(f.line);
        return f.code;
    } catch (const kv::Error& e) {
        fail(kv::errorText(e, QStringLiteral("keyvale-cli ") + QLatin1String(command->name)));
        return kExitFailed;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    std::unique_ptr<QCoreApplication> app;
    if (wantsClipboard(argc, argv) && haveDisplay())
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Keyvale"));
    qInstallMessageHandler(quietQt);
    ConsoleDesktop desktop;
    kv::setDesktop(&desktop);
    const int code = run(QCoreApplication::arguments());
    std::fflush(stdout);
    if (std::ferror(stdout)) {
        fail(QStringLiteral("Standard output could not be written"));
        return kExitFailed;
    }
    return code;
}
