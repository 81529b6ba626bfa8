#pragma once

#include <QCommandLineParser>
#include <QString>
#include <functional>
#include <vector>

namespace kv::cli {

class Session;
class Secrets;

struct CommandContext {
    QCommandLineParser& parser;
    Session& session;
    Secrets& secrets;
};

// One subcommand: its name and summary, its arguments and options, whether it changes the data folder
// (it then holds the folder's lock) and whether it needs the master password.
struct Command {
    const char* name;
    const char* summary;
    const char* arguments; // shown in the usage line, e.g. "SITE"
    bool writes;
    bool logOn;
    std::function<void(QCommandLineParser&)> define;
    std::function<int(CommandContext&)> run;
};

const std::vector<Command>& commands();

} // namespace kv::cli
