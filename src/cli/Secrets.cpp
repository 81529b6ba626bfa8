#include "cli/Secrets.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace kv::cli {

namespace {

// Reads one line from `fd` a byte at a time, so that nothing after it is taken from the stream.
std::optional<std::string> readLine(int fd) {
    std::string line;
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) return std::nullopt;
        if (n == 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void wipe(std::string& s) {
    volatile char* p = s.data();
    for (std::size_t i = 0; i < s.size(); ++i)
        p[i] = 0;
}

} // namespace

std::optional<QString> Secrets::next(const QString& prompt) {
    std::optional<std::string> line;
    if (fromStdin_) {
        line = readLine(STDIN_FILENO);
    } else {
        const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY);
        if (tty < 0) return std::nullopt;
        // Echo goes off before the prompt shows, so that nothing typed after it is ever shown.
        termios before{};
        const bool isTerminal = ::tcgetattr(tty, &before) == 0;
        if (isTerminal) {
            termios quiet = before;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            quiet.c_lflag |= ECHONL;
            ::tcsetattr(tty, TCSANOW, &quiet);
        }
        const QByteArray shown = prompt.toLocal8Bit();
        if (::write(tty, shown.constData(), std::size_t(shown.size())) < 0) {
            if (isTerminal) ::tcsetattr(tty, TCSANOW, &before);
            ::close(tty);
            return std::nullopt;
        }
        line = readLine(tty);
        if (isTerminal) ::tcsetattr(tty, TCSANOW, &before);
        ::close(tty);
    }
    if (!line) return std::nullopt;
    const QString text = QString::fromLocal8Bit(line->data(), qsizetype(line->size()));
    wipe(*line);
    return text;
}

} // namespace kv::cli
