// libFuzzer target: the 4.x data file reader over any bytes. It must never read outside the data, and every
// record it gives must be whole fields of at most their length.
#include "exchange/OldKeyvaleFile.h"
#include "platform/Error.h"

#include <QBuffer>
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const kv::OldKeyvaleFile file(buffer);
    if (file.oldPassword().size() > 15) std::abort();
    for (int number = 2; number <= file.recordCount(); ++number) {
        const kv::OldRecord r = file.record(number);
        if (r.website.size() > 50 || r.userID.size() > 50 || r.password.size() > 15) std::abort();
    }
    return 0;
}
