// The command palette: filtering, keyboard selection, and running a command after closing.
#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QLineEdit>

#include "Views/ViewsTestSupport.h"
#include "Views/Navigation/CommandPaletteView.h"
#include "Views/PaletteField.h"
#include "Views/PaletteRow.h"
#include "Views/PaletteScaffold.h"

using namespace testing_support;
using namespace views_test;

namespace {

struct PaletteFixture : ::testing::Test {
    PaletteFixture() : view(app) {
        app.setPaletteOpen(true);
        view.resize(1000, 700);
        view.show();
    }
    QStringList titles() const {
        QStringList out;
        for (PaletteRow* row : view.rows()) out << row->title();
        return out;
    }
    QList<bool> selected() const {
        QList<bool> out;
        for (PaletteRow* row : view.rows()) out << row->isSelected();
        return out;
    }
    AppState app;
    CommandPaletteView view;
};

TEST_F(PaletteFixture, FiltersTitlesOnlyIgnoringCase) {
    EXPECT_EQ(titles(), (QStringList{"New File", "Open Folder…", "Quick Open File", "Save", "Close Tab", "Find in File"}));
    EXPECT_EQ(view.rows()[0]->trailing(), "Ctrl+N");
    view.setQuery("open");
    EXPECT_EQ(titles(), (QStringList{"Open Folder…", "Quick Open File"}));
    view.setQuery("OPEN");
    EXPECT_EQ(titles(), (QStringList{"Open Folder…", "Quick Open File"}));
    view.setQuery(" ");
    EXPECT_EQ(titles(), (QStringList{"New File", "Open Folder…", "Quick Open File", "Close Tab", "Find in File"}));
    // Shortcut texts are not searched.
    view.setQuery("Ctrl");
    EXPECT_TRUE(titles().isEmpty());
    view.enter();
    EXPECT_TRUE(app.paletteOpen());
    view.move(1);
    EXPECT_EQ(view.selection(), 0);
}

TEST_F(PaletteFixture, ArrowsWrapHoverSelectsAndTypingSelectsTheFirstRowAgain) {
    QLineEdit* edit = view.field()->lineEdit();
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(view.selection(), 5);
    EXPECT_EQ(selected(), (QList<bool>{false, false, false, false, false, true}));
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(view.selection(), 0);

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(view.rows()[3], &enter);
    EXPECT_EQ(view.selection(), 3);
    // Typed into the field, as a user would; the list stays the same.
    edit->setFocus();
    QTest::keyClicks(edit, "e");
    EXPECT_EQ(view.query(), "e");
    EXPECT_EQ(view.selection(), 0);
    EXPECT_TRUE(view.rows()[0]->isSelected());
}

TEST_F(PaletteFixture, EscapeAndBackdropCloseWithoutRunningAnything) {
    QTest::keyClick(view.field()->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(app.paletteOpen());
    app.setPaletteOpen(true);
    QTest::mouseClick(view.scaffold(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(app.paletteOpen());
    QCoreApplication::processEvents();  // the turn a command would run on
    EXPECT_TRUE(app.documents().isEmpty());
}

TEST_F(PaletteFixture, RunsTheCommandOnALaterTurnAfterClosing) {
    // Quick open comes up only after the palette is down, never in the same turn.
    QList<std::pair<bool, bool>> states;
    QObject::connect(&app, &AppState::overlaysChanged,
                     [&] { states.append({app.paletteOpen(), app.quickOpenOpen()}); });
    view.setQuery("quick");
    QTest::keyClick(view.field()->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(app.paletteOpen());
    EXPECT_FALSE(app.quickOpenOpen());
    ASSERT_TRUE(waitUntil([&] { return app.quickOpenOpen(); }));
    EXPECT_EQ(states, (QList<std::pair<bool, bool>>{{false, false}, {false, true}}));

    // A click runs the row under it.
    app.setPaletteOpen(true);
    view.setQuery("new");
    QTest::mouseClick(view.rows()[0], Qt::LeftButton);
    EXPECT_FALSE(app.paletteOpen());
    ASSERT_TRUE(waitUntil([&] { return app.documents().size() == 1; }));
    EXPECT_NE(app.activeDocument(), nullptr);
}

TEST_F(PaletteFixture, DocumentCommandsActOnTheDocumentActiveWhenTheyRun) {
    // Without a document, Save and Close Tab only close the palette.
    for (const char* title : {"Save", "Close Tab"}) {
        app.setPaletteOpen(true);
        view.setQuery(title);
        view.enter();
        EXPECT_FALSE(app.paletteOpen());
    }
    QCoreApplication::processEvents();  // the turn the commands run on
    EXPECT_TRUE(app.documents().isEmpty());

    TempFolder folder;
    const QString path = folder.write("a.txt", "old");
    app.open(path);
    app.activeDocument()->setText("new");
    view.setQuery("save");
    view.enter();
    ASSERT_TRUE(waitUntil([&] { return readBytes(path) == "new"; }));
    view.setQuery("close");
    view.enter();
    ASSERT_TRUE(waitUntil([&] { return app.documents().isEmpty(); }));
}

} // namespace
