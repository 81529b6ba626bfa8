#include "cli/Progress.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace kv::cli {

Progress::Progress(const QString& label, qint64 total)
    : label_(label.toLocal8Bit()), onTerminal_(::isatty(STDERR_FILENO)), total_(onTerminal_ ? total : 0) {}

Progress::~Progress() {
    if (shownPercent_ < 0) return;
    // Blanks over the whole line, so that the next line on the terminal starts clean.
    std::fprintf(stderr, "\r%*s\r", int(label_.size()) + 20, "");
    std::fflush(stderr);
}

void Progress::step(qint64 done) {
    if (total_ <= 0) return;
    const int percent = int(std::clamp<qint64>(done * 100 / total_, 0, 100));
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    std::fprintf(stderr, "\rkeyvale-cli: %s %3d%%", label_.constData(), percent);
    std::fflush(stderr);
}

} // namespace kv::cli
