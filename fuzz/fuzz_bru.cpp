// libFuzzer target: the .bru reader and writer.
#include "API/BruFileFormat.h"
#include "FuzzEdits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);
    checkRoundTrips(text, &BruFileFormat::parse, &BruFileFormat::serialize, data[0]);
    return 0;
}
