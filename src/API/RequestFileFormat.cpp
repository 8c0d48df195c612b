#include "API/RequestFileFormat.h"

void keepRequestIds(QList<HTTPRequest>& parsed, const QList<HTTPRequest>& previous) {
    const qsizetype count = std::min(parsed.size(), previous.size());
    for (qsizetype i = 0; i < count; ++i)
        if (parsed[i].name == previous[i].name) parsed[i].id = previous[i].id;
}
