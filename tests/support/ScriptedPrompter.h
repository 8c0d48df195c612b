#pragma once
// Prompter and file chooser that answer from a script and record what they were asked.
#include <QList>
#include <QStringList>
#include <deque>

#include "Platform/FileChooser.h"
#include "Platform/Prompter.h"

namespace testing_support {

class ScriptedPrompter final : public Prompter {
public:
    ScriptedPrompter() { Prompter::install(this); }
    ~ScriptedPrompter() override { Prompter::install(nullptr); }

    std::deque<int> answers;                    // button indexes, in order; -1 when the script runs dry
    std::deque<std::optional<QString>> texts;   // answers to text prompts
    QList<Alert> asked;
    QList<TextPrompt> askedText;
    QStringList withdrawn;  // titles

    int ask(const Alert& alert) override {
        asked << alert;
        if (answers.empty()) return -1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    void withdraw(const QString& title) override { withdrawn << title; }
    std::optional<QString> askText(const TextPrompt& prompt) override {
        askedText << prompt;
        if (texts.empty()) return std::nullopt;
        auto t = texts.front();
        texts.pop_front();
        return t;
    }
};

class ScriptedChooser final : public FileChooser {
public:
    ScriptedChooser() { FileChooser::install(this); }
    ~ScriptedChooser() override { FileChooser::install(nullptr); }

    std::deque<std::optional<QString>> answers;  // nullopt: cancelled
    QList<ChooserRequest> asked;

    std::optional<QString> next(const ChooserRequest& r) {
        asked << r;
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<QString> chooseFolder(const ChooserRequest& r) override { return next(r); }
    std::optional<QString> chooseFile(const ChooserRequest& r) override { return next(r); }
    std::optional<QString> chooseSaveLocation(const ChooserRequest& r) override { return next(r); }
};

} // namespace testing_support
