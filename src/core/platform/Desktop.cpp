#include "platform/Desktop.h"

#include <cstdio>
#include <cstdlib>

namespace kv {

namespace {
Desktop* installed = nullptr;
}

Desktop& desktop() {
    if (!installed) {
        std::fputs("keyvale: no desktop installed\n", stderr);
        std::abort();
    }
    return *installed;
}

void setDesktop(Desktop* d) { installed = d; }

} // namespace kv
