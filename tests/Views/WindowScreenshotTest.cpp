// Renders a whole workbench window (folder open, three tabs, a Python file active, the find bar
// open) to window.png in the build directory, for looking at, and checks the pieces are in place.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include "ViewsTestSupport.h"
#include "Views/Editor/CodeEditorView.h"
#include "Views/EditorPaneView.h"
#include "Views/EditorTabBarView.h"
#include "Views/FindBar.h"
#include "Views/Workbench/FileExplorerView.h"
#include "Views/Workbench/FileRow.h"
#include "Views/Workbench/FileTreeModel.h"
#include "Views/TabChip.h"

using namespace testing_support;
using namespace views_test;

namespace {

const char* kPython = R"(import json
from pathlib import Path


class Inventory:
    """Keeps stock counts per item and saves them as JSON."""

    def __init__(self, path: Path):
        self.path = path
        self.items = {}

    def add(self, name: str, count: int = 1) -> int:
        # New items start at zero.
        self.items[name] = self.items.get(name, 0) + count
        return self.items[name]

    def save(self):
        self.path.write_text(json.dumps(self.items, indent=2))


if __name__ == "__main__":
    inventory = Inventory(Path("stock.json"))
    for name in ["apples", "pears", "apples"]:
        print(name, inventory.add(name))
    inventory.save()
)";

TEST(WindowScreenshotTest, WorkbenchWithTabsAndFindBar) {
    TempFolder folder;
    folder.write("inventory/app.py", kPython);
    folder.write("inventory/README.md", "# Inventory\n\nA tiny stock counter.\n");
    folder.write("inventory/web/index.js", "export const total = (items) => items.reduce((a, b) => a + b, 0);\n");
    folder.write("inventory/web/style.css", "body { margin: 0; }\n");
    folder.write("inventory/tests/test_app.py", "def test_add():\n    assert True\n");
    folder.write("inventory/stock.json", "{\n  \"apples\": 2\n}\n");

    MenuTestWindow window;
    window.resize(1280, 800);
    window.showActive();
    AppState& app = *window.app;
    app.openFolder(folder.file("inventory"));
    app.open(folder.file("inventory/README.md"));
    app.open(folder.file("inventory/web/index.js"));
    app.open(folder.file("inventory/app.py"));
    FileExplorerView* explorer = window.root->explorer();
    ASSERT_NE(explorer, nullptr);
    explorer->row(explorer->model()->rowOf(folder.file("inventory/web"))).activate();
    app.documents()[0]->setText("# Inventory\n\nA tiny stock counter, edited.\n");  // one dirty tab

    NotificationCenter::shared().post(MenuNotification::find);
    FindBar* bar = window.root->findBar();
    ASSERT_NE(bar, nullptr);
    app.findState().setQuery(QStringLiteral("items"));
    app.findState().setReplacement(QStringLiteral("stock"));
    app.findState().setShowReplace(true);
    app.findState().setCaseSensitive(true);
    ASSERT_TRUE(waitUntil([&] { return bar->matchLabelView()->text() == "1 of 6"; }))
        << bar->matchLabelView()->text().toStdString();
    EXPECT_EQ(window.root->tabBar()->chips().size(), 3);
    EXPECT_TRUE(waitUntil([&] { return window.root->tabBar()->chips()[2]->isActive(); })) << "the chips follow a turn later";
    EXPECT_TRUE(window.root->tabBar()->chips()[0]->showsDirtyDot());
    spin(600);  // only for the picture: transitions settle, colours land
    const QImage shot = window.root->grab().toImage();
    const QString out = QFileInfo(QStringLiteral(BRIMEL_BUNDLE_DIR)).absolutePath() + "/window.png";
    EXPECT_TRUE(shot.save(out));

    // And with the go-to-line box over it.
    NotificationCenter::shared().post(MenuNotification::goToLine);
    ASSERT_NE(window.root->goToLine(), nullptr);
    spin(600);  // only for the picture
    EXPECT_TRUE(window.root->grab().toImage().save(
        QFileInfo(QStringLiteral(BRIMEL_BUNDLE_DIR)).absolutePath() + "/window-gotoline.png"));

    // The empty window too: no folder, no documents.
    MenuTestWindow empty;
    empty.resize(1280, 800);
    empty.showActive();
    EXPECT_EQ(empty.root->pane()->subject().kind, EditorPaneView::Kind::empty);
    spin(300);  // only for the picture
    EXPECT_TRUE(empty.root->grab().toImage().save(
        QFileInfo(QStringLiteral(BRIMEL_BUNDLE_DIR)).absolutePath() + "/window-empty.png"));
}

} // namespace
