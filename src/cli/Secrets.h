#pragma once

#include <QString>
#include <optional>

namespace kv::cli {

// Where the command's secrets come from: the terminal, typed without echo, or the lines of standard input
// (the master password first, then a record's password or a new master password).
class Secrets {
public:
    explicit Secrets(bool fromStdin) : fromStdin_(fromStdin) {}

    // The next secret: from standard input its next line, from the terminal the answer to `prompt`.
    // nullopt when there is none (end of input, no terminal).
    std::optional<QString> next(const QString& prompt);
    bool fromStdin() const { return fromStdin_; }

private:
    bool fromStdin_;
};

} // namespace kv::cli
