#include "API/APIEnvironment.h"

#include <QHashFunctions>

size_t qHash(const APIEnvironment& environment, size_t seed) {
    size_t h = qHash(environment.name, seed);
    for (auto it = environment.values.cbegin(); it != environment.values.cend(); ++it)
        h = qHashMulti(h, it.key(), it.value());
    return h;
}
