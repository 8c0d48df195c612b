// Renders each navigation overlay over a workbench window to the build directory, for looking at.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSignalSpy>

#include "Views/ViewsTestSupport.h"
#include "Views/Navigation/CommandPaletteView.h"
#include "Views/Navigation/ProjectSearchView.h"
#include "Views/Navigation/QuickOpenView.h"

using namespace testing_support;
using namespace views_test;

namespace {

QString shotPath(const QString& name) {
    return QFileInfo(QStringLiteral(BRIMEL_BUNDLE_DIR)).absolutePath() + "/" + name;
}

// Puts the overlay over the whole root view, as the window does, and saves a picture of both.
void shoot(MenuTestWindow& window, QWidget* overlay, const QString& name) {
    overlay->setParent(window.root);
    overlay->setGeometry(window.root->rect());
    overlay->show();
    overlay->raise();
    spin(150);
    const QImage shot = window.root->grab().toImage();
    EXPECT_TRUE(shot.save(shotPath(name)));
    delete overlay;
}

TEST(NavigationScreenshotTest, EachOverlayOverTheWorkbench) {
    TempFolder folder;
    folder.write("shop/app.py", "def total(items):\n    return sum(item.price for item in items)\n");
    folder.write("shop/README.md", "# Shop\n\nCompute the order total.\n");
    folder.write("shop/web/index.js", "export const total = (items) => items.reduce((a, b) => a + b.price, 0);\n");
    folder.write("shop/web/style.css", ".total { font-weight: bold; }\n");
    folder.write("shop/tests/test_app.py", "from app import total\n\ndef test_total():\n    assert total([]) == 0\n");

    MenuTestWindow window;
    window.resize(1280, 800);
    window.showActive();
    AppState& app = *window.app;
    app.openFolder(folder.file("shop"));
    app.open(folder.file("shop/app.py"));
    spin(200);

    auto* palette = new CommandPaletteView(app);
    shoot(window, palette, "overlay-palette.png");

    auto* quick = new QuickOpenView(app);
    quick->setParent(window.root);
    quick->show();
    quick->setQuery("py");
    EXPECT_EQ(quick->rows().size(), 2);
    shoot(window, quick, "overlay-quickopen.png");

    auto* search = new ProjectSearchView(app);
    QSignalSpy done(search, &ProjectSearchView::searchFinished);
    search->setQuery("total");
    search->runSearch();
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(search->hits().size(), 7);
    shoot(window, search, "overlay-projectsearch.png");
}

} // namespace
