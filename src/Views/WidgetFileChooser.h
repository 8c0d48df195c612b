#pragma once
// The application's open and save panels, as file dialogs.
#include "Platform/FileChooser.h"

class WidgetFileChooser final : public FileChooser {
public:
    std::optional<QString> chooseFolder(const ChooserRequest& request) override;
    std::optional<QString> chooseFile(const ChooserRequest& request) override;
    std::optional<QString> chooseSaveLocation(const ChooserRequest& request) override;
};
