// What the editor paints: coloured text on the editor background, the gutter beside it.
#include <gtest/gtest.h>

#include <QImage>

#include "EditorFixture.h"

namespace {
const QString kSample = QStringLiteral(
    "// A small module\n"
    "import { readFile } from \"fs\";\n"
    "\n"
    "export async function load(path, options = {}) {\n"
    "  const text = await readFile(path, \"utf8\");\n"
    "  if (options.trim) {\n"
    "    return text\n"
    "      .split(\"\\n\")\n"
    "      .map((line) => line.trim());\n"
    "  }\n"
    "  return text.length > 42 ? text : null;\n"
    "}\n"
    "\n"
    "class Cache {\n"
    "  constructor() {\n"
    "    this.items = new Map();\n"
    "  }\n"
    "}\n");

bool hasColourNear(const QImage& image, const QRect& area, const QColor& colour) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) < 24 && qAbs(c.green() - colour.green()) < 24 &&
                qAbs(c.blue() - colour.blue()) < 24)
                return true;
        }
    return false;
}
} // namespace

TEST(EditorLook, HighlightedPartlyFoldedFile) {
    EditorFixture f(kSample, "module.js");
    f.view->resize(720, 420);
    f.settle();
    f.editor().toggleFold(kSample.indexOf("  if (options"));
    f.select(kSample.indexOf("readFile(path"));
    f.view->setFocus();
    f.settle();
    const QImage shot = f.view->grab().toImage();
    if (const QByteArray path = qgetenv("BRIMEL_EDITOR_SNAPSHOT"); !path.isEmpty()) shot.save(QString::fromLocal8Bit(path));

    // Background, keyword colour in the text area, and no gutter text over the text area.
    EXPECT_EQ(shot.pixelColor(shot.width() - 3, shot.height() - 3).rgb(), CodeEditorView::bg().rgb());
    const QRect textArea(LineNumberRuler::kThickness + 4, 0, 400, 200);
    EXPECT_TRUE(hasColourNear(shot, textArea, SyntaxPalette::color(TokenRole::keyword)));
    EXPECT_TRUE(hasColourNear(shot, textArea, SyntaxPalette::color(TokenRole::string)));
}
