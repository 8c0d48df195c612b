#pragma once
// The application's questions as modal dialogs: an alert box for choices, a small dialog with a
// line edit for text. Buttons stand in the order given, the first one is the default.
#include "Platform/Prompter.h"

class WidgetPrompter final : public Prompter {
public:
    int ask(const Alert& alert) override;
    std::optional<QString> askText(const TextPrompt& prompt) override;
};
