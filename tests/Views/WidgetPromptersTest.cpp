// The dialogs behind the prompter and file chooser interfaces, answered by a timer while they run.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "TestSupport.h"
#include "Views/WidgetPrompter.h"

using namespace testing_support;

namespace {

// Runs answer on the dialog once it is up.
void whenModal(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer] {
        waitUntil([] { return QApplication::activeModalWidget() != nullptr; });
        if (QWidget* modal = QApplication::activeModalWidget()) answer(modal);
    });
}

QStringList buttonsLeftToRight(QWidget* dialog) {
    QList<QPushButton*> buttons = dialog->findChild<QDialogButtonBox*>()->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    QStringList titles;
    for (QPushButton* b : buttons) titles << b->text();
    return titles;
}

TEST(WidgetPrompterTest, ButtonsStandInTheGivenOrderAndTheChoiceIsItsIndex) {
    WidgetPrompter prompter;
    const Alert alert{"Save changes?", "They will be lost.", {"Save", "Don’t Save", "Cancel"}, true};
    QStringList shown;
    QString defaultButton;
    whenModal([&](QWidget* modal) {
        shown = buttonsLeftToRight(modal);
        for (QPushButton* b : modal->findChildren<QPushButton*>())
            if (b->isDefault()) defaultButton = b->text();
        for (QPushButton* b : modal->findChildren<QPushButton*>())
            if (b->text() == "Don’t Save") b->click();
    });
    EXPECT_EQ(prompter.ask(alert), 1);
    EXPECT_EQ(shown, (QStringList{"Save", "Don’t Save", "Cancel"}));
    EXPECT_EQ(defaultButton, "Save");

    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(prompter.ask(alert), 2) << "Escape picks Cancel";

    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(prompter.ask({"Done", "", {}, false}), 0) << "no buttons given: a single OK";

    whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    EXPECT_EQ(prompter.ask({"Changed on disk", "", {"Overwrite", "Cancel"}, true, 1}), 1) << "Return picks the default";
}

// An alert taken back goes as if dismissed; taking back another leaves it up.
TEST(WidgetPrompterTest, AWithdrawnAlertGoes) {
    WidgetPrompter prompter;
    bool stillUp = false;
    whenModal([&](QWidget* modal) {
        prompter.withdraw("Something else");
        QCoreApplication::processEvents();
        stillUp = modal->isVisible();
        prompter.withdraw("“F” is not watched for changes.");
    });
    EXPECT_EQ(prompter.ask({"“F” is not watched for changes.", "There is no folder at F.", {}, true}), -1);
    EXPECT_TRUE(stillUp);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(WidgetPrompterTest, TextPromptReturnsTheTextOrNothing) {
    WidgetPrompter prompter;
    TextPrompt prompt;
    prompt.title = "New Request";
    prompt.initialText = "draft";
    prompt.confirmButton = "Create";
    whenModal([](QWidget* modal) {
        auto* field = modal->findChild<QLineEdit*>("text");
        field->setText("login");
        QTest::keyClick(field, Qt::Key_Return);
    });
    EXPECT_EQ(prompter.askText(prompt), std::optional<QString>("login"));

    QStringList shown;
    whenModal([&](QWidget* modal) {
        shown = buttonsLeftToRight(modal);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(prompter.askText(prompt), std::nullopt);
    EXPECT_EQ(shown, (QStringList{"Create", "Cancel"}));
}

} // namespace
