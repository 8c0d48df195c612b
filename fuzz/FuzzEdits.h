#pragma once
// What both parser targets check: reading never crashes, an unedited rewrite gives the input back,
// and an edited rewrite reads back with the edit in place.
#include "API/FormBody.h"
#include "API/HTTPRequest.h"

#include <QString>
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzFailure(const char* what, const QString& written = {}) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n--- written:\n%s\n---\n", what, QString(written).replace(QChar(0), QStringLiteral("<NUL>")).toUtf8().constData());
    std::abort();
}

inline void checkRoundTrips(const QString& text, QList<HTTPRequest> (*parse)(const QString&, const QList<HTTPRequest>&),
                            QString (*serialize)(const QList<HTTPRequest>&), uint8_t choice) {
    QList<HTTPRequest> requests = parse(text, {});
    if (requests.isEmpty()) return;
    if (serialize(requests) != text) fuzzFailure("unedited rewrite differs from the input");

    const qsizetype index = choice % requests.size();
    HTTPRequest& edited = requests[index];
    switch ((choice / 8) % 6) {
    case 0: edited.name = QStringLiteral("Edited"); break;
    case 1: edited.headers.append(KeyValueItem{.key = QStringLiteral("X-Fuzz"), .value = QStringLiteral("1")}); break;
    case 2: edited.headers.clear(); break;
    case 3:
        edited.body = QStringLiteral("{\"fuzz\": true}");
        edited.bodyKind = BodyKind::json;
        break;
    case 4: edited.params.append(KeyValueItem{.key = QStringLiteral("fuzz"), .value = QStringLiteral("a b")}); break;
    case 5: {
        QList<KeyValueItem> fields = FormBody::fields(edited.body);
        fields.append(KeyValueItem{.key = QStringLiteral("na me"), .value = QStringLiteral("a&b=c d")});
        fields.append(KeyValueItem{.key = QStringLiteral("~off"), .value = QStringLiteral("{{v}}"), .enabled = false});
        edited.body = FormBody::body(fields);
        edited.bodyKind = BodyKind::form;
        break;
    }
    }
    const QString written = serialize(requests);
    const QList<HTTPRequest> reread = parse(written, {});
    if (reread.size() != requests.size()) fuzzFailure("edited rewrite reads back a different number of requests", written);
    const HTTPRequest& after = reread[index];
    switch ((choice / 8) % 6) {
    case 0:
        if (after.name != QLatin1String("Edited")) fuzzFailure("edited name lost", written);
        break;
    case 1:
        if (after.headers.isEmpty() || after.headers.last().key != QLatin1String("X-Fuzz")) fuzzFailure("added header lost", written);
        break;
    case 2: break;
    case 3:
        if (after.body != edited.body) fuzzFailure("edited body lost", written);
        break;
    case 4:
        if (after.params.isEmpty() || after.params.last().value != QLatin1String("a b")) fuzzFailure("added parameter lost", written);
        break;
    case 5: {
        const QList<KeyValueItem> fields = FormBody::fields(after.body);
        if (fields.size() < 2 || !fields[fields.size() - 2].sameContent(KeyValueItem{.key = QStringLiteral("na me"), .value = QStringLiteral("a&b=c d")}) ||
            !fields.last().sameContent(KeyValueItem{.key = QStringLiteral("~off"), .value = QStringLiteral("{{v}}"), .enabled = false}))
            fuzzFailure("added form fields lost", written);
        break;
    }
    }
}
