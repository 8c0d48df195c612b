#include "API/APICollectionFile.h"

#include <QHashFunctions>

size_t qHash(const APICollectionFile& file, size_t seed) {
    size_t h = qHash(file.url, seed);
    for (const HTTPRequest& request : file.requests) h = qHash(request, h);
    return h;
}
