// The form editor's rows against the body text and the .bru file that holds it.
#include <gtest/gtest.h>

#include "API/BruFileFormat.h"
#include "API/RequestBuilders.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/KeyValueEditor.h"
#include "Views/HTTP/RequestBodyEditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QUuid>

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

// A key typed into a row may come back from the body as a list of another shape (a leading "~"
// switches the row off): the rows are rebuilt while the field is still handling that key, so the
// old rows must outlive it, and the same field of the new rows takes the caret on.
TEST(FormRows, RowsRebuiltFromAKeyTypedInThemLetTheFieldFinishIt) {
    KeyValueEditor editor(QStringLiteral("Key"), QStringLiteral("Value"));
    editor.setItems({row("", "1")});
    editor.show();
    editor.activateWindow();
    QObject::connect(&editor, &KeyValueEditor::itemsEdited, &editor, [&](const QList<KeyValueItem>& items) {
        QList<KeyValueItem> parsed = items;
        for (KeyValueItem& item : parsed) item.id = QUuid::createUuid();  // as a fresh parse names them
        editor.setItems(parsed);
    });
    QPointer<QLineEdit> field = editor.keyField(0);
    ASSERT_TRUE(field);
    field->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(field, Qt::Key_AsciiTilde, Qt::NoModifier);
    ASSERT_TRUE(field);  // still handling its key when the rows were rebuilt
    QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : editor.keyField(0), QStringLiteral("x"));
    ASSERT_EQ(editor.rowCount(), 1);
    EXPECT_EQ(editor.items()[0].key, QStringLiteral("~x"));
    QTRY_VERIFY_WITH_TIMEOUT(!field, 60000);  // the old rows go once the key is handled
}

// A list of the same rows from outside shows its new texts in place; read only reaches every field.
TEST(FormRows, AListFromOutsideShowsInTheSameRowsAndReadOnlyReachesThem) {
    KeyValueEditor editor(QStringLiteral("Key"), QStringLiteral("Value"));
    QList<KeyValueItem> items{row("a", "1"), row("b", "2")};
    editor.setItems(items);
    const QPointer<QLineEdit> first = editor.keyField(0);
    items[1].key = QStringLiteral("renamed");
    items[0].value = QStringLiteral("9");
    editor.setItems(items);
    EXPECT_EQ(editor.keyField(0), first.data());  // not rebuilt
    EXPECT_EQ(editor.keyField(1)->text(), QStringLiteral("renamed"));
    EXPECT_EQ(editor.valueField(0)->text(), QStringLiteral("9"));
    editor.setReadOnly(true);
    EXPECT_TRUE(editor.keyField(0)->isReadOnly());
    EXPECT_TRUE(editor.valueField(1)->isReadOnly());
    EXPECT_FALSE(editor.addButton()->isEnabled());
}

// Tab walks the rows' own controls and the Add button; the list around them is no stop of its own,
// where the keyboard would sit with nothing to show for it.
TEST(FormRows, TabStopsOnlyAtControlsThatShowTheFocus) {
    KeyValueEditor editor(QStringLiteral("Key"), QStringLiteral("Value"));
    editor.setItems({row("a", "1"), row("b", "2")});
    editor.resize(500, 300);
    editor.show();
    QApplication::setActiveWindow(&editor);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor, 60000));
    editor.addButton()->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_FALSE(QApplication::focusWidget()->inherits("QScrollArea")) << "stop " << i;
    }
}

// A list from outside (a request file changed on disk) reaches each row's fields directly: what
// the editor looks through per row does not grow with the number of rows.
TEST(FormRows, ARefreshLooksAtEachRowOnce) {
    QList<double> perRow;
    for (const int n : {300, 1200}) {
        KeyValueEditor editor(QStringLiteral("Key"), QStringLiteral("Value"));
        QList<KeyValueItem> items;
        for (int i = 0; i < n; ++i) items << row(QStringLiteral("k%1").arg(i), QStringLiteral("v%1").arg(i));
        editor.setItems(items);
        for (KeyValueItem& item : items) item.value += QStringLiteral("!");
        items.last().key = QStringLiteral("last");
        const qsizetype before = editor.widgetsLookedAt();
        editor.setItems(items);
        perRow << double(editor.widgetsLookedAt() - before) / n;
        EXPECT_EQ(editor.keyField(n - 1)->text(), QStringLiteral("last"));
        EXPECT_EQ(editor.valueField(n / 2)->text(), QStringLiteral("v%1!").arg(n / 2));
    }
    EXPECT_LE(perRow[1], perRow[0] * 1.1) << perRow[0] << " " << perRow[1];
    EXPECT_LE(perRow[1], 8.0);
}

// Rows rebuilt under the caret give it back to the same field of the same row, key or value.
TEST(FormRows, ARebuildKeepsTheCaretInTheSameField) {
    KeyValueEditor editor(QStringLiteral("Key"), QStringLiteral("Value"));
    editor.setItems({row("alpha", "1"), row("beta", "two")});
    editor.resize(500, 300);
    editor.show();
    QApplication::setActiveWindow(&editor);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor, 60000));
    for (const bool key : {true, false}) {
        QLineEdit* field = key ? editor.keyField(1) : editor.valueField(1);
        field->setFocus(Qt::OtherFocusReason);
        field->setCursorPosition(2);
        editor.add();
        QLineEdit* again = key ? editor.keyField(1) : editor.valueField(1);
        EXPECT_NE(again, field);
        EXPECT_EQ(QApplication::focusWidget(), again) << key;
        EXPECT_EQ(again->cursorPosition(), 2) << key;
    }
}
