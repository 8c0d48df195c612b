// libFuzzer target: the .http / .rest reader and writer.
#include "API/HTTPFileFormat.h"
#include "FuzzEdits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    checkRoundTrips(text, &HTTPFileFormat::parse, &HTTPFileFormat::serialize, data[0]);
    return 0;
}
