// Request files written by other tools: every one must read, and write back unchanged or with only
// the edited part changed.
#include <gtest/gtest.h>

#include "API/BruFileFormat.h"
#include "API/FormBody.h"
#include "API/HTTPFileFormat.h"
#include "API/RequestFormatRegistry.h"
#include "CorpusFiles.h"
#include "Printers.h"
#include "TestSupport.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using corpus_files::requestFiles;

QString readText(const QString& path) { return QString::fromUtf8(testing_support::readBytes(path)); }

// A file holds a request when a request line or method block of a method we know is in it.
bool holdsKnownRequest(const QString& path, const QString& text) {
    static const QRegularExpression httpLine(QStringLiteral("^\\s*(GET|POST|PUT|PATCH|DELETE|HEAD|OPTIONS) \\S"),
                                             QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression bruBlock(QStringLiteral("^(get|post|put|patch|delete|head|options) \\{"),
                                             QRegularExpression::MultilineOption);
    return (path.endsWith(QLatin1String(".bru")) ? bruBlock : httpLine).match(text).hasMatch();
}

TEST(CorpusTest, EveryRequestFileReadsAndWritesBackByteForByte) {
    const QStringList files = requestFiles();
    ASSERT_GT(files.size(), 200);
    int withRequests = 0;
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        const QString text = readText(path);
        const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
        const QList<HTTPRequest> requests = format->parse(text, {});
        if (holdsKnownRequest(path, text)) EXPECT_FALSE(requests.isEmpty());
        if (requests.isEmpty()) continue;
        ++withRequests;
        EXPECT_EQ(format->serialize(requests), text);
    }
    EXPECT_GT(withRequests, 200);
}

// Editing one header of the first request changes that header's line and nothing else.
TEST(CorpusTest, EditingOneHeaderKeepsTheRestOfTheFile) {
    for (const QString& path : requestFiles()) {
        SCOPED_TRACE(path.toStdString());
        const QString text = readText(path);
        const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
        QList<HTTPRequest> requests = format->parse(text, {});
        if (requests.isEmpty()) continue;
        HTTPRequest& first = requests.first();
        first.headers.append(KeyValueItem{.key = QStringLiteral("X-Edited"), .value = QStringLiteral("yes")});

        const QString written = format->serialize(requests);
        const QList<HTTPRequest> reread = format->parse(written, {});
        ASSERT_EQ(reread.size(), requests.size());
        for (qsizetype i = 0; i < requests.size(); ++i) EXPECT_TRUE(reread[i].sameContent(requests[i])) << i;

        // Taking the added line (or the added headers block) out again gives the original text.
        QString restored = written;
        const QString eol = text.contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
        static const QRegularExpression headersBlock(QStringLiteral("^headers \\{"), QRegularExpression::MultilineOption);
        if (format == &BruFileFormat::format() && !headersBlock.match(text).hasMatch()) {
            restored.remove(eol + eol + QStringLiteral("headers {") + eol + QStringLiteral("  X-Edited: yes") + eol + u'}');
        } else {
            static const QRegularExpression added(QStringLiteral("[ \\t]*X-Edited: yes\\r?\\n"));
            restored.remove(added);
        }
        EXPECT_EQ(restored, text);
    }
}

// --- what the format's own tool reads from a .bru file -----------------------------------

QString jsonPathFor(const QString& bruPath) {
    QString json = bruPath.chopped(4) + QStringLiteral(".json");
    if (QFileInfo::exists(json)) return json;
    const qsizetype dir = json.lastIndexOf(QStringLiteral("/bru/"));
    if (dir >= 0) json.replace(dir, 5, QStringLiteral("/json/"));
    return QFileInfo::exists(json) ? json : QString();
}

QList<KeyValueItem> rowsFrom(const QJsonArray& array, const QString& type = {}) {
    QList<KeyValueItem> rows;
    for (const QJsonValue& item : array) {
        const QJsonObject row = item.toObject();
        if (!type.isEmpty() && row.value(QStringLiteral("type")).toString() != type) continue;
        // A file part is written "@file(path)" in the block.
        const QJsonValue value = row.value(QStringLiteral("value"));
        QString text = value.toString();
        if (value.isArray()) text = "@file(" + value.toVariant().toStringList().join(u'|') + ")";
        rows.append(KeyValueItem{.key = row.value(QStringLiteral("name")).toString(),
                                 .value = text,
                                 .enabled = row.value(QStringLiteral("enabled")).toBool(true)});
    }
    return rows;
}

// The form body the model holds for the fields, disabled ones included.
QString formFrom(const QJsonArray& array) { return FormBody::body(rowsFrom(array)); }

void expectRows(const QList<KeyValueItem>& actual, const QList<KeyValueItem>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].key, expected[i].key);
        EXPECT_EQ(actual[i].value, expected[i].value);
        EXPECT_EQ(actual[i].enabled, expected[i].enabled);
    }
}

TEST(CorpusTest, BruFilesReadAsTheirOwnToolReadsThem) {
    int compared = 0;
    for (const QString& path : requestFiles()) {
        if (!path.endsWith(QLatin1String(".bru"))) continue;
        const QString jsonPath = jsonPathFor(path);
        if (jsonPath.isEmpty()) continue;
        const QJsonObject expected = QJsonDocument::fromJson(testing_support::readBytes(jsonPath)).object();
        if (!expected.contains(QStringLiteral("http"))) continue;
        SCOPED_TRACE(path.toStdString());
        const QJsonObject http = expected.value(QStringLiteral("http")).toObject();
        const QList<HTTPRequest> requests = BruFileFormat::parse(readText(path));
        const auto method = HTTPMethods::fromRawValue(http.value(QStringLiteral("method")).toString().toUpper());
        // Methods the model does not know (written in an "http" block) give no request.
        if (!method || http.value(QStringLiteral("method")).toString() != http.value(QStringLiteral("method")).toString().toLower()) {
            EXPECT_TRUE(requests.isEmpty());
            continue;
        }
        ASSERT_EQ(requests.size(), 1);
        const HTTPRequest& request = requests.first();
        ++compared;

        EXPECT_EQ(request.name, expected.value(QStringLiteral("meta")).toObject().value(QStringLiteral("name")).toString(QStringLiteral("Request")));
        EXPECT_EQ(request.method, *method);

        const QList<KeyValueItem> query = rowsFrom(expected.value(QStringLiteral("params")).toArray(), QStringLiteral("query"));
        expectRows(request.params, query);
        // The tool's URL repeats the enabled parameters; the model keeps them only as rows.
        const QString url = http.value(QStringLiteral("url")).toString();
        QStringList pieces;
        for (const KeyValueItem& row : query)
            if (row.enabled) pieces.append(row.key + u'=' + row.value);
        EXPECT_TRUE(url == request.url || url == request.url + u'?' + pieces.join(u'&') || url == request.url + u'&' + pieces.join(u'&'))
            << url.toStdString() << " vs " << request.url.toStdString();

        // Headers, after the Authorization header the active auth block stands for.
        const QJsonObject auth = expected.value(QStringLiteral("auth")).toObject();
        QString authMode = http.value(QStringLiteral("auth")).toString();
        if (!http.contains(QStringLiteral("auth")) && !auth.isEmpty()) authMode = auth.keys().first();
        QList<KeyValueItem> headers = rowsFrom(expected.value(QStringLiteral("headers")).toArray());
        const QJsonObject modeAuth = auth.value(authMode).toObject();
        if (authMode == QLatin1String("bearer") && !modeAuth.value(QStringLiteral("token")).toString().isEmpty()) {
            headers.prepend(KeyValueItem{.key = QStringLiteral("Authorization"), .value = "Bearer " + modeAuth.value(QStringLiteral("token")).toString()});
        } else if (authMode == QLatin1String("basic")) {
            const QString credentials = modeAuth.value(QStringLiteral("username")).toString() + u':' + modeAuth.value(QStringLiteral("password")).toString();
            headers.prepend(KeyValueItem{.key = QStringLiteral("Authorization"), .value = "Basic " + QString::fromLatin1(credentials.toUtf8().toBase64())});
        }
        expectRows(request.headers, headers);

        // The body the mode names.
        const QJsonObject body = expected.value(QStringLiteral("body")).toObject();
        QString mode = http.value(QStringLiteral("body")).toString();
        if (!http.contains(QStringLiteral("body"))) mode = body.isEmpty() ? QStringLiteral("none") : body.keys().first();
        if (mode == QLatin1String("multipart-form")) mode = QStringLiteral("multipartForm");
        if (mode == QLatin1String("none")) {
            EXPECT_EQ(request.bodyKind, BodyKind::none);
            EXPECT_TRUE(request.body.isEmpty());
        } else if (mode == QLatin1String("formUrlEncoded") || mode == QLatin1String("multipartForm")) {
            EXPECT_EQ(request.body, formFrom(body.value(mode).toArray()));
            if (!request.body.isEmpty()) EXPECT_EQ(request.bodyKind, BodyKind::form);
        } else if (mode == QLatin1String("graphql")) {
            EXPECT_EQ(request.body, body.value(mode).toObject().value(QStringLiteral("query")).toString());
            EXPECT_EQ(request.bodyKind, BodyKind::json);
        } else if (mode != QLatin1String("file")) {
            EXPECT_EQ(request.body, body.value(mode).toString());
            if (mode == QLatin1String("json")) EXPECT_EQ(request.bodyKind, BodyKind::json);
            if (mode == QLatin1String("text")) EXPECT_EQ(request.bodyKind, BodyKind::text);
        }
    }
    EXPECT_GE(compared, 15);
}

} // namespace
