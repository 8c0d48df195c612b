#pragma once
// Modal questions to the user. The application installs a widget-backed prompter;
// tests install a scripted one. Buttons are given in the order they appear.
#include <QString>
#include <QStringList>
#include <optional>

struct Alert {
    QString title;
    QString message;
    QStringList buttons;  // empty means a single "OK"
    bool warning = false;
    int defaultButton = 0;  // the index Return picks
};

struct TextPrompt {
    QString title;
    QString message;
    QString placeholder;
    QString initialText;
    QString confirmButton = QStringLiteral("OK");
    QString cancelButton = QStringLiteral("Cancel");
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // Index of the button chosen; -1 when dismissed without a choice.
    virtual int ask(const Alert& alert) = 0;
    // The text entered, or nothing when cancelled.
    virtual std::optional<QString> askText(const TextPrompt& prompt) = 0;
    // Takes back an alert with that title still waiting for an answer, as if dismissed: what it
    // said is no longer so.
    virtual void withdraw(const QString& title) { (void)title; }

    // The installed prompter; without one, every question is dismissed.
    static Prompter& current();
    static void install(Prompter* prompter);  // not owned; nullptr restores the default
};
