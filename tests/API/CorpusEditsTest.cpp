// Every kind of edit the request editor makes, applied to every request of every request file of
// the corpus: the edited request reads back as edited and every other request as it was, unless
// the format says it cannot hold the edited request.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "API/AuthConfig.h"
#include "API/FormBody.h"
#include "API/HTTPFileFormat.h"
#include "API/URLQuery.h"
#include "API/RequestFormatRegistry.h"
#include "CorpusFiles.h"
#include "Printers.h"
#include "RequestBuilders.h"
#include "TestSupport.h"

namespace {

struct Edit {
    const char* name;
    std::function<void(HTTPRequest&)> apply;
};

const QList<Edit>& edits() {
    static const QList<Edit> all = {
        {"rename", [](HTTPRequest& r) { r.name = QStringLiteral("Renamed request"); }},
        {"url", [](HTTPRequest& r) { r.url = QStringLiteral("https://example.org/changed/{{id}}"); }},
        {"method", [](HTTPRequest& r) { r.method = r.method == HTTPMethod::post ? HTTPMethod::put : HTTPMethod::post; }},
        {"body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::json;
             r.body = QStringLiteral("{\n  \"changed\": true\n}");
         }},
        {"no body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::none;
             r.body.clear();
         }},
        {"text body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("plain words");
         }},
        {"header value", [](HTTPRequest& r) {
             if (!r.headers.isEmpty()) r.headers.first().value = QStringLiteral("changed");
         }},
        {"header off", [](HTTPRequest& r) {
             if (!r.headers.isEmpty()) r.headers.last().enabled = !r.headers.last().enabled;
         }},
        {"header removed", [](HTTPRequest& r) {
             if (!r.headers.isEmpty()) r.headers.removeFirst();
         }},
        {"param added", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("page"), .value = QStringLiteral("2")});
         }},
        {"param off", [](HTTPRequest& r) {
             if (!r.params.isEmpty()) r.params.first().enabled = !r.params.first().enabled;
         }},
        {"param removed", [](HTTPRequest& r) {
             if (!r.params.isEmpty()) r.params.removeLast();
         }},
        {"name with line break", [](HTTPRequest& r) { r.name = QStringLiteral("two\nGET http://x.invalid/"); }},
        {"body with separator", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("first\n### not a request\nGET http://x.invalid/\nlast");
         }},
        {"body with closing brace", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("a\n}\nget {\n  url: http://x.invalid/\n}\nb");
         }},
        {"header value with line break", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Two"), .value = QStringLiteral("a\nGET http://x.invalid/")});
         }},
        // The URL and its query rows.
        {"url with fragment and escapes", [](HTTPRequest& r) { r.url = QStringLiteral("https://x.invalid/a%20b/%E2%82%AC/{{id}}#part"); }},
        {"param with separators", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("a&b=c#d"), .value = QStringLiteral("x=y&z#w %41 +")});
         }},
        {"param without value", [](HTTPRequest& r) { r.params.append(KeyValueItem{.key = QStringLiteral("flag")}); }},
        {"param twice", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("tag"), .value = QStringLiteral("a")});
             r.params.append(KeyValueItem{.key = QStringLiteral("tag"), .value = QStringLiteral("{{b}}")});
         }},
        {"param off then another edit", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("draft"), .value = QStringLiteral("1"), .enabled = false});
             r.name += QStringLiteral(" again");
         }},
        {"param unicode", [](HTTPRequest& r) { r.params.append(KeyValueItem{.key = QStringLiteral("ключ"), .value = QStringLiteral("значение é 🚀")}); }},
        // Header rows.
        {"header key with colon", [](HTTPRequest& r) { r.headers.append(KeyValueItem{.key = QStringLiteral("X-A:B"), .value = QStringLiteral("1")}); }},
        {"header key with colon off", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("x:colon"), .value = QStringLiteral("v:w"), .enabled = false});
         }},
        {"header empty value", [](HTTPRequest& r) { r.headers.append(KeyValueItem{.key = QStringLiteral("X-Empty")}); }},
        {"header twice", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Dup"), .value = QStringLiteral("1")});
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Dup"), .value = QStringLiteral("2")});
         }},
        {"header odd key off", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X Odd (key)"), .value = QStringLiteral("1"), .enabled = false});
         }},
        {"header key like a comment", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("//X-Slash"), .value = QStringLiteral("1")});
             r.headers.append(KeyValueItem{.key = QStringLiteral("#X-Hash"), .value = QStringLiteral("2")});
         }},
        {"header value with colons and braces", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Time"), .value = QStringLiteral("10:30:00 {{t}} {a}")});
         }},
        // Bodies, names and authentication.
        {"form body", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::form;
             r.body = QStringLiteral("a=1&b%26c=d%3De&note=two%0Alines");
         }},
        {"unicode name", [](HTTPRequest& r) { r.name = QStringLiteral("Ünïcødé 名前 🚀"); }},
        {"name starting with hashes", [](HTTPRequest& r) { r.name = QStringLiteral("#1 first"); }},
        {"bearer auth", [](HTTPRequest& r) {
             AuthConfig{.type = AuthType::bearer, .token = QStringLiteral("{{token}}")}.apply(r);
         }},
        {"api key in query", [](HTTPRequest& r) {
             AuthConfig{.type = AuthType::apiKey, .keyName = QStringLiteral("api_key"), .keyValue = QStringLiteral("k&1"),
                        .keyIn = APIKeyLocation::query}.apply(r);
         }},
        // Rows the user has not finished: a value typed before its key, blanks around what was typed.
        {"header value without key", [](HTTPRequest& r) { r.headers.append(KeyValueItem{.value = QStringLiteral("orphan")}); }},
        {"param value without key", [](HTTPRequest& r) { r.params.append(KeyValueItem{.value = QStringLiteral("orphan")}); }},
        {"blank row", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{});
             r.params.append(KeyValueItem{});
         }},
        {"form field without key", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::form;
             r.body = FormBody::body({KeyValueItem{.key = QStringLiteral("a"), .value = QStringLiteral("1")},
                                      KeyValueItem{.value = QStringLiteral("orphan")}});
         }},
        {"header value with blanks", [](HTTPRequest& r) {
             r.headers.append(KeyValueItem{.key = QStringLiteral("X-Pad"), .value = QStringLiteral(" padded\t")});
         }},
        {"param value with blanks", [](HTTPRequest& r) {
             r.params.append(KeyValueItem{.key = QStringLiteral("pad"), .value = QStringLiteral("  two ")});
         }},
        {"form field with blanks", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::form;
             r.body = FormBody::body({KeyValueItem{.key = QStringLiteral("pad"), .value = QStringLiteral(" x ")}});
         }},
        {"name with blanks", [](HTTPRequest& r) { r.name = QStringLiteral("  spaced name "); }},
        {"url with blanks", [](HTTPRequest& r) { r.url = QStringLiteral(" https://x.invalid/a "); }},
        // Body kinds the headers do not name.
        {"form body without content type", [](HTTPRequest& r) {
             r.headers.removeIf([](const KeyValueItem& h) { return h.key.compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0; });
             r.bodyKind = BodyKind::form;
             r.body = QStringLiteral("a=1&b=two");
         }},
        {"json body that looks like text", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::json;
             r.body = QStringLiteral("42");
         }},
        {"text body that looks like json", [](HTTPRequest& r) {
             r.bodyKind = BodyKind::text;
             r.body = QStringLiteral("{not json");
         }},
        // A query typed into the URL.
        {"url with typed query", [](HTTPRequest& r) { r.url += QStringLiteral("?typed=1&flag"); }},
        {"url with a bare question mark", [](HTTPRequest& r) { r.url = QStringLiteral("https://x.invalid/a?"); }},
        {"url with a question mark in its fragment", [](HTTPRequest& r) { r.url = QStringLiteral("https://x.invalid/a#top?b=1"); }},
        {"url with the query of the rows", [](HTTPRequest& r) {
             QStringList pieces;
             for (const KeyValueItem& p : r.params)
                 if (p.enabled && !p.key.isEmpty()) pieces.append(p.key + u'=' + p.value);
             r.url += u'?' + (pieces.isEmpty() ? QStringLiteral("q=1") : pieces.join(u'&'));
         }},
    };
    return all;
}

// Whether every byte of before that after changed lies within one occurrence of section, the text
// the edited request was read from: what the edit did not touch stays byte for byte.
bool changedOnlyWithin(const QString& before, const QString& after, const QString& section) {
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    if (prefix == before.size() && prefix == after.size()) return true;
    for (qsizetype at = before.indexOf(section); at >= 0; at = before.indexOf(section, at + 1))
        if (prefix >= at && before.size() - suffix <= at + section.size()) return true;
    return false;
}

// What a request sends to the URL: its URL with the enabled query rows after its own query.
QString sentURL(const HTTPRequest& r) {
    QList<KeyValueItem> rows;
    for (const KeyValueItem& p : r.params)
        if (p.enabled && !p.key.isEmpty()) rows.append(p);
    return URLQuery::wireText(URLQuery::compose(r.url, rows));
}

bool isContentType(const KeyValueItem& row) { return row.key.compare(QLatin1String("content-type"), Qt::CaseInsensitive) == 0; }

// Whether back, read from what was written for edited, holds the same request. Rows with neither
// key nor value hold nothing. The text format carries a URL's query in parameter rows, so there
// the URL it sends is compared, and it names a body kind it would not guess in a Content-Type row
// of the kind's own type, which the sender would have added anyway.
::testing::AssertionResult readsBack(HTTPRequest back, HTTPRequest edited, bool isHttp) {
    for (HTTPRequest* r : {&back, &edited}) {
        for (QList<KeyValueItem>* rows : {&r->headers, &r->params})
            rows->removeIf([](const KeyValueItem& row) { return row.key.isEmpty() && row.value.isEmpty(); });
        r->body = r->body.trimmed();  // both formats trim a body
        if (!r->hasBody()) r->body.clear(), r->bodyKind = BodyKind::none;  // a body of no kind is never sent
    }
    // An enabled Content-Type row decides what the body is sent as, whatever its kind.
    const auto typed = [](const KeyValueItem& row) { return row.enabled && isContentType(row); };
    if (isHttp && back.hasBody() && edited.hasBody() && std::any_of(back.headers.begin(), back.headers.end(), typed))
        back.bodyKind = edited.bodyKind;
    if (isHttp && back.headers.size() == edited.headers.size() + 1 && isContentType(back.headers.last()) &&
        std::none_of(edited.headers.begin(), edited.headers.end(), isContentType))
        back.headers.removeLast();
    if (isHttp && edited.url.contains(u'?')) {
        if (sentURL(back) != sentURL(edited))
            return ::testing::AssertionFailure() << "sends " << sentURL(back).toStdString() << " for " << sentURL(edited).toStdString();
        back.url = edited.url;
        back.params = edited.params;
    }
    if (back.sameContent(edited)) return ::testing::AssertionSuccess();
    const auto text = [](const HTTPRequest& r) {
        return (r.name + " | " + r.url + " | " + builders::rows(r.headers).join(u' ') + " | " + builders::rows(r.params).join(u' ') +
                " | kind " + QString::number(int(r.bodyKind)) + " | " + r.body).toStdString();
    };
    return ::testing::AssertionFailure() << "reads back as " << text(back) << "\nnot as " << text(edited);
}

} // namespace

TEST(CorpusEditsTest, EveryEditOfEveryRequestReadsBackAndLeavesTheOthers) {
    int checked = 0;
    int refused = 0;
    for (const QString& path : corpus_files::requestFiles()) {
        const QString text = QString::fromUtf8(testing_support::readBytes(path));
        const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
        const QList<HTTPRequest> original = format->parse(text, {});
        const bool isHttp = !path.endsWith(QLatin1String(".bru"));
        for (qsizetype index = 0; index < original.size(); ++index) {
            // A request as read is always held, or no edit of its file could be saved.
            EXPECT_FALSE(format->cannotHold(original[index])) << path.toStdString() << " #" << index;
            for (const Edit& edit : edits()) {
                SCOPED_TRACE(path.toStdString() + " #" + std::to_string(index) + " " + edit.name);
                QList<HTTPRequest> requests = original;
                edit.apply(requests[index]);
                // What the format says it cannot hold is never written.
                if (format->cannotHold && format->cannotHold(requests[index])) {
                    ++refused;
                    continue;
                }
                const QString written = format->serialize(requests);
                const QList<HTTPRequest> reread = format->parse(written, {});
                EXPECT_EQ(reread.size(), requests.size()) << written.toStdString();
                if (reread.size() != requests.size()) continue;
                for (qsizetype i = 0; i < requests.size(); ++i)
                    EXPECT_TRUE(readsBack(reread[i], requests[i], isHttp)) << i << "\n" << written.toStdString();
                EXPECT_TRUE(changedOnlyWithin(text, written, isHttp ? HTTPFileFormat::serializeRequest(original[index]) : text))
                    << "bytes outside the edited request changed\n" << written.toStdString();
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 1000);
    EXPECT_GT(refused, 0);
}

namespace {

// One random change of one field the request form edits, with text that formats find hard.
void randomEdit(HTTPRequest& r, QRandomGenerator& random) {
    static const QStringList texts = {"a",   " lead", "trail ", "a b",  "x:y",  "{{v}}", "{", "}",  "a&b=c#d", "~t", "//c", "#h",
                                      "é 名", "'''",  "%41",    "+",    "q?x",  "",      " ", "\t", "###",     "🚀", "[1]", "\"q\""};
    const auto text = [&] { return texts[random.bounded(int(texts.size()))]; };
    const auto rowsOf = [&](HTTPRequest& req) -> QList<KeyValueItem>& { return random.bounded(2) ? req.headers : req.params; };
    switch (random.bounded(10)) {
    case 0: r.name = QStringLiteral("N") + text(); break;
    case 1: r.url = QStringLiteral("https://x.invalid/") + text() + (random.bounded(3) ? QString() : u'?' + text()); break;
    case 2: r.method = HTTPMethods::allCases()[random.bounded(int(HTTPMethods::allCases().size()))]; break;
    case 3: {
        const BodyKind kinds[] = {BodyKind::none, BodyKind::json, BodyKind::text, BodyKind::form};
        r.bodyKind = kinds[random.bounded(4)];
        r.body = r.bodyKind == BodyKind::form ? FormBody::body({KeyValueItem{.key = text(), .value = text()},
                                                                KeyValueItem{.key = QStringLiteral("k"), .value = text()}})
                                              : text() + u'\n' + text();
        break;
    }
    case 4: rowsOf(r).append(KeyValueItem{.key = text(), .value = text(), .enabled = random.bounded(4) != 0}); break;
    case 5: {
        QList<KeyValueItem>& rows = rowsOf(r);
        if (!rows.isEmpty()) rows[random.bounded(int(rows.size()))].value = text();
        break;
    }
    case 6: {
        QList<KeyValueItem>& rows = rowsOf(r);
        if (!rows.isEmpty()) rows[random.bounded(int(rows.size()))].key = text();
        break;
    }
    case 7: {
        QList<KeyValueItem>& rows = rowsOf(r);
        if (!rows.isEmpty()) rows.removeAt(random.bounded(int(rows.size())));
        break;
    }
    case 8: {
        QList<KeyValueItem>& rows = rowsOf(r);
        if (!rows.isEmpty()) rows[random.bounded(int(rows.size()))].enabled ^= true;
        break;
    }
    default: edits()[random.bounded(int(edits().size()))].apply(r); break;
    }
}

} // namespace

// Runs of random edits, each saved and read back before the next, as a user edits a file: what
// the format takes reads back as edited, the other requests stay as they were.
TEST(CorpusEditsTest, RandomRunsOfEditsOfEveryFieldReadBack) {
    const quint32 seed = qEnvironmentVariableIsSet("BRIMEL_SEED") ? quint32(qEnvironmentVariableIntValue("BRIMEL_SEED")) : 20261208u;
    QRandomGenerator random(seed);
    int saved = 0;
    int refused = 0;
    for (const QString& path : corpus_files::requestFiles()) {
        const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
        QList<HTTPRequest> requests = format->parse(QString::fromUtf8(testing_support::readBytes(path)), {});
        const bool isHttp = !path.endsWith(QLatin1String(".bru"));
        for (int round = 0; round < 12 && !requests.isEmpty(); ++round) {
            SCOPED_TRACE(path.toStdString() + " seed " + std::to_string(seed) + " round " + std::to_string(round));
            const qsizetype index = random.bounded(int(requests.size()));
            QList<HTTPRequest> edited = requests;
            for (int n = 1 + random.bounded(3); n > 0; --n) randomEdit(edited[index], random);
            if (format->cannotHold && format->cannotHold(edited[index])) {
                ++refused;
                continue;
            }
            const QString written = format->serialize(edited);
            const QList<HTTPRequest> reread = format->parse(written, requests);
            ASSERT_EQ(reread.size(), edited.size()) << written.toStdString();
            for (qsizetype i = 0; i < edited.size(); ++i)
                EXPECT_TRUE(readsBack(reread[i], edited[i], isHttp)) << i << "\n" << written.toStdString();
            requests = reread;
            ++saved;
        }
    }
    EXPECT_GT(saved, 200);
    EXPECT_GT(refused, 0);
}

// One field changed in the editor changes only the lines that field was written on: a header's
// value, a query row, the URL, the method and the name each rewrite their own line and leave every
// other byte.
TEST(CorpusEditsTest, OneFieldEditedRewritesOnlyItsOwnLine) {
    const QList<Edit> single = {
        {"url", [](HTTPRequest& r) { r.url = QStringLiteral("https://example.org/changed"); }},
        {"method", [](HTTPRequest& r) { r.method = r.method == HTTPMethod::post ? HTTPMethod::put : HTTPMethod::post; }},
        {"name", [](HTTPRequest& r) { r.name = QStringLiteral("Renamed request"); }},
        {"header value", [](HTTPRequest& r) {
             // An Authorization row may stand for an auth block, which it then replaces.
             for (qsizetype i = r.headers.size() - 1; i >= 0; --i)
                 if (r.headers[i].key.compare(QLatin1String("authorization"), Qt::CaseInsensitive) != 0)
                     return void(r.headers[i].value = QStringLiteral("changed"));
         }},
        {"param value", [](HTTPRequest& r) {
             if (!r.params.isEmpty()) r.params.last().value = QStringLiteral("changed");
         }},
    };
    int checked = 0;
    for (const QString& path : corpus_files::requestFiles()) {
        const QString text = QString::fromUtf8(testing_support::readBytes(path));
        const RequestFileFormat* format = RequestFormatRegistry::formatFor(path);
        const QList<HTTPRequest> original = format->parse(text, {});
        for (qsizetype index = 0; index < original.size(); ++index) {
            for (const Edit& edit : single) {
                QList<HTTPRequest> requests = original;
                edit.apply(requests[index]);
                if (requests[index] == original[index]) continue;
                if (format->cannotHold && format->cannotHold(requests[index])) continue;
                const QStringList before = text.split(u'\n');
                const QStringList after = format->serialize(requests).split(u'\n');
                qsizetype prefix = 0;
                while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
                qsizetype suffix = 0;
                while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
                       before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
                    ++suffix;
                const QStringList removed = before.mid(prefix, before.size() - prefix - suffix);
                const QStringList added = after.mid(prefix, after.size() - prefix - suffix);
                // A .bru file writes a query row twice: in the URL and in its own block.
                const qsizetype allowed = path.endsWith(QLatin1String(".bru")) && QLatin1String(edit.name) == "param value" ? 2 : 1;
                qsizetype changed = std::max(removed.size(), added.size());
                if (removed.size() == added.size())
                    for (qsizetype i = 0; i < removed.size(); ++i) changed -= removed[i] == added[i];
                EXPECT_LE(changed, allowed)
                    << path.toStdString() << " #" << index << " " << edit.name << "\n- " << removed.join("\n- ").toStdString()
                    << "\n+ " << added.join("\n+ ").toStdString();
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 300);
}
