#pragma once
// The application's questions as modal dialogs: an alert box for choices, a small dialog with a
// line edit for text. Buttons stand in the order given. A question goes over the active window, or
// over the window named by an `Over` while one lives.
#include <QPointer>
#include <QWidget>

#include "Platform/Prompter.h"

class WidgetPrompter final : public Prompter {
public:
    // Raises and activates the window, and has the questions asked meanwhile drawn over it as its own,
    // so the user sees which window a question is about.
    class Over {
    public:
        explicit Over(QWidget* window);
        ~Over();
        Over(const Over&) = delete;
        Over& operator=(const Over&) = delete;

    private:
        QPointer<QWidget> previous_;
    };

    int ask(const Alert& alert) override;
    std::optional<QString> askText(const TextPrompt& prompt) override;
    void withdraw(const QString& title) override;
};
