#include <QDir>

#include "ScmTestSupport.h"
#include "Views/SourceControl/DiffView.h"
#include "Views/SourceControl/SourceControlPanel.h"

namespace {

using namespace scm_test;

// Renders the panel with changes and a diff; saved for a look when BRIMEL_SCREENSHOT_DIR is set.
TEST_F(ScmViewTest, PanelAndDiffRenderWithChanges) {
    TempFolder folder;
    makeRepository(folder);
    folder.write("README.md", "hello\nworld\n");
    gitOk(folder.path(), {"add", "README.md"});
    folder.write("src/app.py", "print('one')\nprint(\"changed\")\nprint('three')\n");
    folder.write("docs/guide.md", "# Guide\n");
    auto app = openState(folder);

    SourceControlPanel panel(*app);
    panel.resize(268, 620);
    panel.show();
    GitFileChange py;
    for (const GitFileChange& c : app->git().changes())
        if (c.path == "src/app.py") py = c;
    app->setActiveDiff(py);
    DiffView diff(*app, py);
    diff.resize(760, 420);
    diff.show();
    ASSERT_TRUE(waitUntil([&] { return !diff.isLoading(); }, 20000));

    // Over the window's dark backdrop, as in the sidebar.
    QImage panelShot(panel.size(), QImage::Format_ARGB32);
    panelShot.fill(QColor(22, 22, 30));
    panel.render(&panelShot, QPoint(), QRegion(), QWidget::DrawChildren);
    const QImage diffShot = diff.grab().toImage();
    EXPECT_FALSE(panelShot.isNull());
    EXPECT_FALSE(diffShot.isNull());
    const QString dir = qEnvironmentVariable("BRIMEL_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        panelShot.save(dir + "/scm-panel.png");
        diffShot.save(dir + "/scm-diff.png");
    }
}

} // namespace
