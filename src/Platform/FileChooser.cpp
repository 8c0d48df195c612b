#include "Platform/FileChooser.h"

namespace {
class CancellingChooser final : public FileChooser {
public:
    std::optional<QString> chooseFolder(const ChooserRequest&) override { return std::nullopt; }
    std::optional<QString> chooseFile(const ChooserRequest&) override { return std::nullopt; }
    std::optional<QString> chooseSaveLocation(const ChooserRequest&) override { return std::nullopt; }
};
CancellingChooser g_cancelling;
FileChooser* g_current = nullptr;
} // namespace

FileChooser& FileChooser::current() { return g_current ? *g_current : g_cancelling; }

void FileChooser::install(FileChooser* chooser) { g_current = chooser; }
