#pragma once
// Open and save panels behind an interface, so tests can script the user's choice.
#include <QString>
#include <optional>

struct ChooserRequest {
    QString title;
    QString prompt;          // confirm button text
    QString directory;       // where the panel starts; empty for the default
    QString proposedName;    // save panels only
};

class FileChooser {
public:
    virtual ~FileChooser() = default;
    virtual std::optional<QString> chooseFolder(const ChooserRequest& request) = 0;
    virtual std::optional<QString> chooseFile(const ChooserRequest& request) = 0;
    virtual std::optional<QString> chooseSaveLocation(const ChooserRequest& request) = 0;

    // The installed chooser; without one, every panel is cancelled.
    static FileChooser& current();
    static void install(FileChooser* chooser);  // not owned; nullptr restores the default
};
