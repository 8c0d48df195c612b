// An edit made to one version of a request carried over to another version of it.
#include <gtest/gtest.h>

#include "API/RequestEditMerge.h"
#include "RequestBuilders.h"

using builders::request;
using builders::row;
using builders::rows;

namespace {

// The version the editor shows (base), and the file's version (current): same id and rows, but the
// file has since gained a header and a parameter and lost the first header.
struct Versions {
    HTTPRequest base = request(HTTPMethod::get, "https://a/old");
    HTTPRequest current;
    Versions() {
        base.name = "R";
        base.headers = {row("Authorization", "Bearer t"), row("Accept", "*/*")};
        current = base;
        current.headers.removeFirst();
        current.headers.append(row("x-api-key", "k"));
        current.params = {row("page", "2")};
        current.body = "kept";
        current.bodyKind = BodyKind::text;
    }
};

} // namespace

TEST(RequestEditMerge, FieldsTheEditLeftAloneStayAsTheFileHasThem) {
    Versions v;
    HTTPRequest edited = v.base;
    edited.url = "https://a/oldx";
    edited.id = QUuid::createUuid();
    const HTTPRequest merged = RequestEditMerge::apply(v.base, edited, v.current);
    EXPECT_EQ(merged.url, "https://a/oldx");
    EXPECT_EQ(merged.id, v.current.id);
    EXPECT_EQ(merged.name, "R");
    EXPECT_EQ(rows(merged.headers), rows(v.current.headers));
    EXPECT_EQ(rows(merged.params), rows(v.current.params));
    EXPECT_EQ(merged.body, "kept");
    EXPECT_EQ(merged.bodyKind, BodyKind::text);

    edited = v.base;
    edited.method = HTTPMethod::post;
    edited.name = "S";
    edited.body = "new";
    edited.bodyKind = BodyKind::json;
    const HTTPRequest all = RequestEditMerge::apply(v.base, edited, v.current);
    EXPECT_EQ(all.method, HTTPMethod::post);
    EXPECT_EQ(all.name, "S");
    EXPECT_EQ(all.body, "new");
    EXPECT_EQ(all.bodyKind, BodyKind::json);
    EXPECT_EQ(all.url, v.current.url);
}

TEST(RequestEditMerge, RowsAreMergedOneByOne) {
    Versions v;
    HTTPRequest edited = v.base;
    edited.headers[1].value = "application/json";                   // edited
    edited.headers.insert(1, row("X-New", "1"));                     // added between the two
    HTTPRequest merged = RequestEditMerge::apply(v.base, edited, v.current);
    EXPECT_EQ(rows(merged.headers), (QStringList{"X-New=1", "Accept=application/json", "x-api-key=k"}));

    edited = v.base;
    edited.headers.removeLast();  // Accept removed
    edited.params = {row("q", "1")};
    merged = RequestEditMerge::apply(v.base, edited, v.current);
    EXPECT_EQ(rows(merged.headers), (QStringList{"x-api-key=k"}));
    EXPECT_EQ(rows(merged.params), (QStringList{"page=2", "q=1"}));

    // A row added after the first one, which the file also holds first.
    HTTPRequest first = v.base;
    first.headers = {row("A", "1")};
    HTTPRequest fileHas = first;
    fileHas.headers.append(row("C", "3"));
    edited = first;
    edited.headers.append(row("New", "2"));
    EXPECT_EQ(rows(RequestEditMerge::apply(first, edited, fileHas).headers), (QStringList{"A=1", "New=2", "C=3"}));

    // A row the file no longer holds comes back when the edit changed it.
    edited = v.base;
    edited.headers[0].enabled = false;
    merged = RequestEditMerge::apply(v.base, edited, v.current);
    EXPECT_EQ(rows(merged.headers), (QStringList{"~Authorization=Bearer t", "Accept=*/*", "x-api-key=k"}));
}

// Rows put in another order by the edit (lines moved in the raw text) take that order; an order the
// file changed meanwhile stays when the edit kept the rows in theirs.
TEST(RequestEditMerge, RowsMovedByTheEditMoveInTheFile) {
    HTTPRequest base = request(HTTPMethod::get, "https://a");
    base.headers = {row("A", "1"), row("B", "2"), row("C", "3")};
    HTTPRequest current = base;
    current.headers.insert(1, row("Disk", "d"));
    HTTPRequest edited = base;
    edited.headers = {base.headers[2], base.headers[0], base.headers[1]};
    EXPECT_EQ(rows(RequestEditMerge::apply(base, edited, current).headers), (QStringList{"C=3", "Disk=d", "A=1", "B=2"}));

    current = base;
    current.headers.swapItemsAt(0, 2);
    edited = base;
    edited.headers[0].value = "9";
    EXPECT_EQ(rows(RequestEditMerge::apply(base, edited, current).headers), (QStringList{"C=3", "B=2", "A=9"}));
}
