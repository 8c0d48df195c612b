#include "Views/WidgetPrompter.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPointer<QWidget>& namedParent() {
    static QPointer<QWidget> window;
    return window;
}

QWidget* dialogParent() { return namedParent() ? namedParent().data() : QApplication::activeWindow(); }

// The alert boxes waiting for an answer, innermost last.
QList<QPointer<QMessageBox>>& openBoxes() {
    static QList<QPointer<QMessageBox>> boxes;
    return boxes;
}

bool isCancel(const QString& title) { return title == QStringLiteral("Cancel"); }
} // namespace

WidgetPrompter::Over::Over(QWidget* window) : previous_(namedParent()) {
    if (window) {
        if (window->isMinimized()) window->showNormal();
        window->raise();
        window->activateWindow();
    }
    namedParent() = window;
}

WidgetPrompter::Over::~Over() { namedParent() = previous_; }

int WidgetPrompter::ask(const Alert& alert) {
    QMessageBox box(dialogParent());
    box.setIcon(alert.warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setWindowTitle(alert.title);
    box.setText(alert.title);
    box.setInformativeText(alert.message);
    const QStringList titles = alert.buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : alert.buttons;
    QList<QAbstractButton*> buttons;
    for (const QString& title : titles) {
        // One role for all keeps them in the given order whatever the desktop's button layout.
        QPushButton* button = box.addButton(title, QMessageBox::ActionRole);
        buttons.append(button);
        if (isCancel(title)) box.setEscapeButton(button);
    }
    if (buttons.size() == 1) box.setEscapeButton(buttons.front());
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.value(alert.defaultButton, buttons.front())));
    openBoxes().append(&box);
    box.exec();
    openBoxes().removeAll(&box);
    return int(buttons.indexOf(box.clickedButton()));  // -1 when closed without a choice
}

void WidgetPrompter::withdraw(const QString& title) {
    for (const QPointer<QMessageBox>& box : openBoxes())
        if (box && box->windowTitle() == title) box->reject();
}

std::optional<QString> WidgetPrompter::askText(const TextPrompt& prompt) {
    QDialog dialog(dialogParent());
    dialog.setWindowTitle(prompt.title);
    auto* column = new QVBoxLayout(&dialog);
    column->setSpacing(10);
    auto* title = new QLabel(prompt.title, &dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setWordWrap(true);
    column->addWidget(title);
    if (!prompt.message.isEmpty()) {
        auto* message = new QLabel(prompt.message, &dialog);
        message->setWordWrap(true);
        column->addWidget(message);
    }
    auto* field = new QLineEdit(prompt.initialText, &dialog);
    field->setObjectName(QStringLiteral("text"));
    field->setPlaceholderText(prompt.placeholder);
    field->setMinimumWidth(300);
    column->addWidget(field);

    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* confirm = buttons->addButton(prompt.confirmButton, QDialogButtonBox::ActionRole);
    QPushButton* cancel = buttons->addButton(prompt.cancelButton, QDialogButtonBox::ActionRole);
    confirm->setDefault(true);
    QObject::connect(confirm, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    column->addWidget(buttons);

    field->setFocus();
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return field->text();
}
