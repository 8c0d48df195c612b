#include "Views/WidgetFileChooser.h"

#include <QApplication>
#include <QFileDialog>

namespace {

enum class Panel { folder, file, save };

std::optional<QString> run(const ChooserRequest& request, Panel panel) {
    QFileDialog dialog(QApplication::activeWindow());
    if (!request.title.isEmpty()) dialog.setWindowTitle(request.title);
    if (!request.directory.isEmpty()) dialog.setDirectory(request.directory);
    switch (panel) {
    case Panel::folder:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case Panel::file:
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        break;
    case Panel::save:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
        break;
    }
    if (!request.prompt.isEmpty()) dialog.setLabelText(QFileDialog::Accept, request.prompt);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return chosen.front();
}

} // namespace

std::optional<QString> WidgetFileChooser::chooseFolder(const ChooserRequest& request) {
    return run(request, Panel::folder);
}

std::optional<QString> WidgetFileChooser::chooseFile(const ChooserRequest& request) {
    return run(request, Panel::file);
}

std::optional<QString> WidgetFileChooser::chooseSaveLocation(const ChooserRequest& request) {
    return run(request, Panel::save);
}
