// The form editor's rows against the body text and the .bru file that holds it.
#include <gtest/gtest.h>

#include "API/BruFileFormat.h"
#include "API/RequestBuilders.h"
#include "Views/HTTP/RequestBodyEditor.h"

using builders::row;
using builders::rows;

TEST(FormRows, RowsHoldingSeparatorsAndDisabledRowsSurviveTheBodyAndTheFile) {
    const QList<KeyValueItem> fields{row("na me", "a&b=c d"), row("off", "1", false), row("plain", "v")};
    const QString body = RequestBodyEditor::formBody(fields);
    EXPECT_EQ(rows(RequestBodyEditor::formFields(body)), rows(fields));

    HTTPRequest request;
    request.name = "Form";
    request.method = HTTPMethod::post;
    request.url = "https://example.com";
    request.bodyKind = BodyKind::form;
    request.body = body;
    const QString file = BruFileFormat::serialize({request});
    EXPECT_TRUE(file.contains("  \"na me\": a&b=c d\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("  ~off: 1\n")) << file.toStdString();
    const QList<HTTPRequest> back = BruFileFormat::parse(file, {});
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(rows(RequestBodyEditor::formFields(back[0].body)), rows(fields));
}

TEST(FormRows, FieldsTheUserDidNotTouchKeepTheirSpelling) {
    const QString written = "name=John Doe\n&x=1&~off={{v}}";
    QList<KeyValueItem> fields = RequestBodyEditor::formFields(written);
    ASSERT_EQ(rows(fields), (QStringList{"name=John Doe", "x=1", "~off={{v}}"}));
    fields[1].value = "2 3";
    EXPECT_EQ(RequestBodyEditor::formBody(fields, written), "name=John Doe\n&x=2+3&~off={{v}}");
    fields[2].enabled = true;
    EXPECT_EQ(RequestBodyEditor::formBody(fields, written), "name=John Doe\n&x=2+3&off={{v}}");
}
