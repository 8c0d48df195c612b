// The blocks every overlay is made of: key catcher, frame, field and row; and the go-to-line box
// built from them.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QSignalSpy>

#include "ViewsTestSupport.h"
#include "Views/GoToLineView.h"
#include "Views/KeyCatcher.h"
#include "Views/PaletteField.h"
#include "Views/PaletteRow.h"
#include "Views/PaletteScaffold.h"

using namespace testing_support;
using namespace views_test;

namespace {

struct Recorder {
    QStringList calls;
    void install(KeyCatcher& catcher) {
        catcher.setActions([this](int step) { calls << QStringLiteral("move %1").arg(step); },
                           [this] { calls << "enter"; }, [this] { calls << "escape"; });
    }
};

// Sends a key press straight to the widget; true when something took it.
bool sendKey(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    press.setAccepted(false);
    const bool handled = QApplication::sendEvent(to, &press);
    return handled && press.isAccepted();
}

// The five keys are taken (swallowed while no actions are set), the latest actions win, and every
// other key goes on to the default handling.
TEST(KeyCatcherTest, MapsTheFiveKeysToTheLatestActionsAndPassesEveryOtherKeyOn) {
    KeyCatcher catcher;
    const int five[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape};
    for (int key : five) EXPECT_TRUE(sendKey(&catcher, key));
    Recorder first, r;
    first.install(catcher);
    r.install(catcher);
    for (int key : five) EXPECT_TRUE(sendKey(&catcher, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier));
    EXPECT_TRUE(first.calls.isEmpty());
    EXPECT_EQ(r.calls, (QStringList{"move 1", "move -1", "enter", "enter", "escape"}));
    for (int key : {Qt::Key_A, Qt::Key_Tab, Qt::Key_Left, Qt::Key_Right})
        EXPECT_FALSE(sendKey(&catcher, key)) << "key " << key << " goes on to the default handling";
    EXPECT_EQ(r.calls.size(), 5);
}

TEST(KeyCatcherTest, CatchesFromAFieldAndBeatsAWindowEscapeShortcut) {
    QWidget window;
    auto* field = new QLineEdit(&window);
    auto* catcher = new KeyCatcher(&window);
    Recorder r;
    r.install(*catcher);
    catcher->catchFrom(field);
    int windowEscapes = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++windowEscapes; });
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));

    QTest::keyClicks(field, "12");
    QTest::keyClick(field, Qt::Key_Escape);
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->text(), "12") << "typing still reaches the field";
    EXPECT_EQ(r.calls, (QStringList{"escape", "move 1", "enter"}));
    EXPECT_EQ(windowEscapes, 0);
}

TEST(PaletteScaffoldTest, CardIsFixedWideBelowTheTopAndOnlyTheBackdropDismisses) {
    int dismissed = 0;
    auto* wide = new QWidget;
    wide->setMinimumWidth(100);
    wide->setFixedHeight(54);
    PaletteScaffold scaffold([&] { ++dismissed; }, wide);
    scaffold.resize(1200, 800);
    scaffold.show();
    // The content's layout follows the card's a turn later.
    EXPECT_TRUE(waitUntil([&] {
        return scaffold.card()->width() == PaletteScaffold::kCardWidth &&
               scaffold.card()->x() == (1200 - PaletteScaffold::kCardWidth) / 2 &&
               wide->width() == PaletteScaffold::kCardWidth;
    })) << "content is laid out in the card's width";
    const QRect card = scaffold.card()->geometry();

    QTest::mouseClick(&scaffold, Qt::LeftButton, Qt::NoModifier, card.center());
    QTest::mouseClick(wide, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(dismissed, 0) << "clicks on the card never dismiss";
    QTest::mouseClick(&scaffold, Qt::LeftButton, Qt::NoModifier, QPoint(10, 700));
    EXPECT_EQ(dismissed, 1);
}

TEST(PaletteRowTest, TrailingTextTakesRoomOnlyWhenPresentAndTheWholeRowClicks) {
    PaletteRow plain("doc.text", "main.py", "", false);
    PaletteRow noted("doc.text", "main.py", "src/app", true);
    EXPECT_GT(noted.sizeHint().width(), plain.sizeHint().width());

    plain.resize(400, PaletteRow::kHeight);
    plain.show();
    QSignalSpy clicks(&plain, &PaletteRow::clicked);
    QTest::mouseClick(&plain, Qt::LeftButton, Qt::NoModifier, QPoint(390, 20));  // far from the text
    EXPECT_EQ(clicks.count(), 1);
}

// ---------------------------------------------------------------- go to line

TEST(GoToLineTest, ReadsOnlyPositiveDecimalNumbersBetweenBlanks) {
    const QList<std::pair<QString, std::optional<qint64>>> cases{
        {"42", 42}, {"  42", 42}, {"42\t", 42}, {"\t 42 \u00A0", 42}, {"\u3000" "9", 9}, {"+7", 7}, {"007", 7},
        {"9223372036854775807", Q_INT64_C(9223372036854775807)},
        {"0", std::nullopt}, {"-3", std::nullopt}, {"4a", std::nullopt}, {"4.5", std::nullopt},
        {"1e3", std::nullopt}, {"+", std::nullopt}, {"", std::nullopt}, {"   ", std::nullopt},
        {"+-4", std::nullopt}, {"4 2", std::nullopt}, {"\n42", std::nullopt}, {"٤٢", std::nullopt},
        {"9223372036854775808", std::nullopt}, {"99999999999999999999999", std::nullopt}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(GoToLineView::lineNumber(text), expected) << text.toStdString();
}

TEST(GoToLineTest, EveryGoClosesTheBoxAndOnlyANumberReachesTheEditor) {
    AppState app;
    FakeEditor editor;
    app.editorController().setActions(&editor);
    const QList<std::pair<QString, std::optional<int>>> cases{
        {"12", 12}, {" 5 ", 5}, {"abc", std::nullopt}, {"", std::nullopt}, {"-1", std::nullopt},
        {"5000000000", std::numeric_limits<int>::max()}};
    for (const auto& [text, line] : cases) {
        app.setGoToLineOpen(true);
        GoToLineView box(&app);
        box.field()->setText(text);
        editor.lines.clear();
        box.go();
        EXPECT_FALSE(app.goToLineOpen()) << text.toStdString();
        if (line) EXPECT_EQ(editor.lines, QList<int>{*line}) << text.toStdString();
        else EXPECT_TRUE(editor.lines.isEmpty()) << text.toStdString();
    }

    app.editorController().clearActions();  // no text editor on screen
    app.setGoToLineOpen(true);
    GoToLineView box(&app);
    box.field()->setText("3");
    box.go();
    EXPECT_FALSE(app.goToLineOpen());
}

} // namespace
