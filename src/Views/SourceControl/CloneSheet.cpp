#include "Views/SourceControl/CloneSheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>

#include "AppState.h"
#include "Git/GitClone.h"
#include "Git/GitService.h"
#include "Git/ProcessText.h"
#include "Platform/FileChooser.h"
#include "UI/AuroraBackground.h"
#include "UI/Brand.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"

namespace {

QLabel* textLabel(const QString& text, const QFont& font, const QString& colour, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }").arg(colour));
    return label;
}

QLabel* caps(const QString& text, QWidget* parent) {
    return textLabel(text.toUpper(), ShimmerText::font(9.5, QFont::Bold, ShimmerText::Design::rounded),
                     QStringLiteral("rgba(255, 255, 255, 115)"), parent);
}

const QString kBoxStyle = QStringLiteral(
    "background: rgba(255, 255, 255, 13); border: 1px solid rgba(255, 255, 255, 20); border-radius: 7px;"
    " padding: 7px 10px; color: white;");

} // namespace

CloneSheet::CloneSheet(AppState& app, std::function<void(const QString&)> onCloned, QWidget* parent)
    : QDialog(parent), app_(&app), onCloned_(std::move(onCloned)) {
    setWindowTitle(QStringLiteral("Clone Repository"));
    setWindowModality(Qt::WindowModal);
    setFixedSize(kWidth, kHeight);

    auto* aurora = new AuroraBackground(0.45, this);
    aurora->setGeometry(rect());
    aurora->lower();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(18);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    auto* symbol = new QLabel(this);
    const int side = Icons::sizeForPointSize(18);
    const qreal dpr = devicePixelRatioF();
    symbol->setPixmap(QPixmap::fromImage(Icons::image(QStringLiteral("arrow.down.doc"), side,
                                                      QBrush(Brand::gradient(QRectF(0, 0, side * dpr, side * dpr))), dpr)));
    symbol->setStyleSheet(QStringLiteral("background: transparent;"));
    header->addWidget(symbol);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(textLabel(QStringLiteral("Clone Repository"),
                                ShimmerText::font(18, QFont::DemiBold, ShimmerText::Design::rounded),
                                QStringLiteral("white"), this));
    titles->addWidget(textLabel(QStringLiteral("Pulls a remote into a folder on your machine and opens it."),
                                ShimmerText::font(11.5, QFont::Normal, ShimmerText::Design::standard),
                                QStringLiteral("rgba(255, 255, 255, 128)"), this));
    header->addLayout(titles);
    header->addStretch(1);
    column->addLayout(header);

    column->addWidget(field(QStringLiteral("Repository URL"), QStringLiteral("git@github.com:owner/project.git"), true,
                            urlField_));

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* into = new QVBoxLayout;
    into->setSpacing(6);
    into->addWidget(caps(QStringLiteral("Clone into"), this));
    parentButton_ = new PressableButton(QStringLiteral("folder"), QStringLiteral("Choose parent folder…"), this);
    parentButton_->setObjectName(QStringLiteral("chooseParent"));
    parentButton_->label().font = ShimmerText::font(12, QFont::Normal, ShimmerText::Design::monospaced);
    parentButton_->setPadding(QMarginsF(10, 7, 10, 7));
    parentButton_->setBackground(QColor::fromRgbF(1, 1, 1, 0.05f), 7);
    parentButton_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(parentButton_, &QAbstractButton::clicked, this, &CloneSheet::pickFolder);
    into->addWidget(parentButton_);
    row->addLayout(into, 1);
    QWidget* nameBox = field(QStringLiteral("Folder name"), QStringLiteral("repo"), true, nameField_);
    nameBox->setMaximumWidth(200);
    row->addWidget(nameBox);
    column->addLayout(row);

    errorLabel_ = textLabel(QString(), ShimmerText::font(11, QFont::Normal, ShimmerText::Design::standard),
                            Brand::palette()[2].name(), this);
    errorLabel_->setObjectName(QStringLiteral("cloneError"));
    errorLabel_->setWordWrap(true);
    errorLabel_->setMaximumHeight(2 * QFontMetrics(errorLabel_->font()).lineSpacing() + 2);
    errorLabel_->hide();
    column->addWidget(errorLabel_);
    column->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new PressableButton(QString(), QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->label().font = ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::standard);
    cancel->label().textBrush = QColor::fromRgbF(1, 1, 1, 0.65f);
    cancel->setPadding(QMarginsF(10, 6, 10, 6));
    connect(cancel, &QAbstractButton::clicked, this, &CloneSheet::reject);
    buttons->addWidget(cancel);
    cloneButton_ = new GradientButton(QStringLiteral("Clone"), this);
    cloneButton_->setObjectName(QStringLiteral("clone"));
    connect(cloneButton_, &QAbstractButton::clicked, this, &CloneSheet::clone);
    buttons->addWidget(cloneButton_);
    column->addLayout(buttons);

    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (canClone()) clone();
        });
    }
    connect(urlField_, &QLineEdit::textChanged, this, &CloneSheet::urlEdited);
    connect(nameField_, &QLineEdit::textChanged, this, &CloneSheet::updateControls);
    updateControls();
}

QWidget* CloneSheet::field(const QString& label, const QString& placeholder, bool monospaced, QLineEdit*& out) {
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(caps(label, box));
    out = new QLineEdit(box);
    out->setPlaceholderText(placeholder);
    out->setFont(ShimmerText::font(12, QFont::Normal,
                                   monospaced ? ShimmerText::Design::monospaced : ShimmerText::Design::standard));
    out->setStyleSheet(QStringLiteral("QLineEdit { %1 }").arg(kBoxStyle));
    column->addWidget(out);
    return box;
}

QString CloneSheet::failureText() {
    return QStringLiteral("Clone failed. Check the URL and that you have credentials configured.");
}

std::optional<QString> CloneSheet::folderNameProblem(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.contains(u'/') || name.contains(QChar(0)))
        return QStringLiteral("The folder name must be a single folder, without \"/\", \".\" or \"..\".");
    return std::nullopt;
}

void CloneSheet::urlEdited() {
    // A name once there, inferred or typed, is never replaced by later edits of the URL.
    if (nameField_->text().isEmpty()) nameField_->setText(GitService::inferRepoName(urlField_->text()));
    updateControls();
}

bool CloneSheet::canClone() const {
    return !cloning_ && !ProcessText::trimBlanks(urlField_->text()).isEmpty() && parent_.has_value() &&
           !ProcessText::trimBlanks(nameField_->text()).isEmpty();
}

void CloneSheet::updateControls() {
    cloneButton_->setEnabled(canClone());
    cloneButton_->label().text = cloning_ ? QStringLiteral("Cloning…") : QStringLiteral("Clone");
    cloneButton_->updateGeometry();
    cloneButton_->update();
    parentButton_->label().text = parent_ ? *parent_ : QStringLiteral("Choose parent folder…");
    const QColor ink = QColor::fromRgbF(1, 1, 1, parent_ ? 0.85f : 0.4f);
    parentButton_->label().symbolBrush = ink;
    parentButton_->label().textBrush = ink;
    parentButton_->update();
}

void CloneSheet::pickFolder() {
    ChooserRequest request;
    request.prompt = QStringLiteral("Choose");
    const std::optional<QString> chosen = FileChooser::current().chooseFolder(request);
    if (chosen) parent_ = *chosen;
    updateControls();
}

void CloneSheet::setErrorText(const std::optional<QString>& text) {
    errorText_ = text;
    errorLabel_->setText(text.value_or(QString()));
    errorLabel_->setVisible(text.has_value());
}

void CloneSheet::setCloning(bool cloning) {
    cloning_ = cloning;
    updateControls();
}

void CloneSheet::clone() {
    if (!parent_ || cloning_ || !app_) return;
    setErrorText(std::nullopt);
    const QString remote = ProcessText::trimWhitespace(urlField_->text());
    const QString name = ProcessText::trimBlanks(nameField_->text());
    if (remote.isEmpty() || name.isEmpty()) {
        setErrorText(failureText());
        return;
    }
    // A name such as "../x" would put the clone outside the chosen folder.
    if (const std::optional<QString> problem = folderNameProblem(name)) {
        setErrorText(*problem);
        return;
    }
    setCloning(true);
    // The clone belongs to the sheet: closing the sheet, or the window, stops it and removes
    // what it made.
    clone_ = GitClone::start(remote, *parent_, name, this, {this, [this](const GitClone::Outcome& outcome) {
                                 clone_ = nullptr;
                                 setCloning(false);
                                 if (!outcome.folder || !app_) {
                                     setErrorText(outcome.problem.value_or(failureText()));
                                     return;
                                 }
                                 app_->openFolder(*outcome.folder);
                                 if (onCloned_) onCloned_(*outcome.folder);
                                 accept();
                             }});
}

void CloneSheet::reject() {
    // Escape and closing the window come here too: no clone goes on behind a closed sheet.
    if (clone_) {
        clone_->cancel();
        clone_ = nullptr;
        setCloning(false);
    }
    QDialog::reject();
}

void CloneSheet::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0.06f, 0.06f, 0.09f));
}
