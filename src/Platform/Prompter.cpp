#include "Platform/Prompter.h"

namespace {
class DismissingPrompter final : public Prompter {
public:
    int ask(const Alert&) override { return -1; }
    std::optional<QString> askText(const TextPrompt&) override { return std::nullopt; }
};
DismissingPrompter g_dismissing;
Prompter* g_current = nullptr;
} // namespace

Prompter& Prompter::current() { return g_current ? *g_current : g_dismissing; }

void Prompter::install(Prompter* prompter) { g_current = prompter; }
