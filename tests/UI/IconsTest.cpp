#include <gtest/gtest.h>

#include <QDir>
#include <QSvgRenderer>

#include "Platform/ResourceBundle.h"
#include "UI/Icons.h"

namespace {
int inkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) > 60;
    return n;
}
} // namespace

TEST(Icons, EverySymbolTheProgramNamesIsBundled) {
    // Symbols named by the views, the menu commands, the release notes and the language catalogue.
    const QStringList names{
        "arrow.2.squarepath", "arrow.clockwise", "arrow.clockwise.circle", "arrow.down", "arrow.down.circle",
        "arrow.down.doc", "arrow.down.right.and.arrow.up.left", "arrow.right.to.line", "arrow.triangle.branch",
        "arrow.turn.down.right", "arrow.up", "arrow.up.arrow.down.circle", "arrow.up.circle", "arrow.uturn.backward",
        "asterisk", "bolt", "bolt.fill", "brain.head.profile", "checkmark", "checkmark.circle.fill", "checkmark.seal",
        "checkmark.seal.fill", "chevron.down", "chevron.left.forwardslash.chevron.right",
        "chevron.left.slash.chevron.right", "chevron.right", "chevron.up", "circle", "clock.arrow.circlepath",
        "command", "curlybraces", "curlybraces.square", "curlybraces.square.fill", "doc.badge.plus", "doc.on.doc",
        "doc.text", "doc.text.below.ecg", "doc.text.magnifyingglass", "ellipsis", "exclamationmark.bubble", "folder",
        "folder.badge.gearshape", "folder.badge.plus", "g.square", "gearshape", "gift", "globe", "j.square",
        "key.fill", "ladybug", "list.bullet", "lock.shield", "macwindow.on.rectangle", "magnifyingglass", "minus",
        "minus.circle", "network", "number", "p.square", "paintbrush", "paperplane.fill", "pawprint", "plus",
        "plus.app", "plus.rectangle.on.folder", "puzzlepiece.extension", "r.square", "rectangle.split.2x1",
        "sidebar.left", "sparkles", "square.and.arrow.down", "swift", "t.square", "terminal", "text.alignleft",
        "text.bubble", "text.magnifyingglass", "textformat", "textformat.abc.dottedunderline", "textformat.size",
        "tray.full", "xmark", "xmark.square"};
    for (const QString& name : names) EXPECT_TRUE(Icons::has(name)) << name.toStdString();
}

TEST(Icons, EveryBundledSvgIsValidAndDrawsInk) {
    const QDir dir(ResourceBundle::path() + "/icons");
    const QStringList files = dir.entryList({"*.svg"}, QDir::Files);
    ASSERT_GE(files.size(), 80);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        QSvgRenderer renderer(dir.filePath(file));
        EXPECT_TRUE(renderer.isValid());
        EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 24, 24));
        const QImage img = Icons::image(file.chopped(4), 24, Qt::white);
        EXPECT_GT(inkPixels(img), 8);
    }
}

TEST(Icons, TintsInkAndCutsWhiteMarksOutOfFilledShapes) {
    const QImage img = Icons::image("checkmark.circle.fill", 48, QColor(255, 0, 0));
    ASSERT_EQ(img.size(), QSize(48, 48));
    // Filled disc in the tint, the check mark cut out of it, the corners empty.
    const QColor disc = img.pixelColor(10, 24);
    EXPECT_EQ(disc.red(), 255);
    EXPECT_EQ(disc.green(), 0);
    EXPECT_EQ(disc.alpha(), 255);
    EXPECT_LT(img.pixelColor(22, 30).alpha(), 80);  // on the check's stroke
    EXPECT_EQ(img.pixelColor(1, 1).alpha(), 0);

    // A gradient spans the icon's square.
    QLinearGradient g(0, 0, 48, 0);
    g.setColorAt(0, Qt::blue);
    g.setColorAt(1, Qt::red);
    const QImage graded = Icons::image("curlybraces.square.fill", 48, g);
    EXPECT_GT(graded.pixelColor(6, 24).blue(), graded.pixelColor(6, 24).red());
    EXPECT_GT(graded.pixelColor(42, 24).red(), graded.pixelColor(42, 24).blue());

    const QPixmap hiDpi = Icons::pixmap("plus", 16, Qt::white, 2);
    EXPECT_EQ(hiDpi.size(), QSize(32, 32));
    EXPECT_EQ(hiDpi.devicePixelRatio(), 2);
}

TEST(Icons, UnknownOrUnsafeNamesGiveAPlaceholder) {
    for (const QString& name : {QString("no.such.symbol"), QString(), QString("../icons/plus"),
                                QString("/etc/passwd"), QString("Plus"), QString("plus.")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(Icons::has(name));
        const QImage img = Icons::image(name, 24, Qt::white);
        EXPECT_EQ(img.size(), QSize(24, 24));
        EXPECT_GT(inkPixels(img), 8);
    }
    EXPECT_FALSE(Icons::icon("no.such.symbol", Qt::white).isNull());
}
