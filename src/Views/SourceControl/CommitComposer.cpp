#include "Views/SourceControl/CommitComposer.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSet>
#include <QShortcut>
#include <QVBoxLayout>

#include "AppState.h"
#include "Git/AIService.h"
#include "Git/ProcessText.h"
#include "Platform/Prompter.h"
#include "UI/Brand.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "UI/Spinner.h"
#include "UI/Icons.h"
#include "Views/SourceControl/ChangeLists.h"
#include "Views/SourceControl/IconButton.h"

namespace {
QFont monoFont() { return ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::monospaced); }
} // namespace

CommitComposer::CommitComposer(AppState& app, QWidget* parent)
    : QWidget(parent), app_(&app), editor_(new QPlainTextEdit(this)),
      commitButton_(new PressableButton(QStringLiteral("checkmark.seal.fill"), QStringLiteral("Commit All"), this)),
      generateButton_(new IconButton(IconButton::Kind::panel, QStringLiteral("sparkles"), QString(), this)),
      errorLabel_(new QLabel(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(8);

    editor_->setObjectName(QStringLiteral("commitMessage"));
    editor_->setTabChangesFocus(true);  // Tab goes on to the Commit button
    editor_->setFont(monoFont());
    editor_->setPlaceholderText(QStringLiteral("Message (Ctrl+↵ to commit)"));
    editor_->setFixedHeight(64 + 2 * 7);
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setStyleSheet(QStringLiteral(
        "QPlainTextEdit { color: white; background: rgba(255,255,255,13); border: 1px solid rgba(255,255,255,20);"
        " border-radius: 8px; padding: 4px; }"));
    QPalette pal = editor_->palette();
    pal.setColor(QPalette::PlaceholderText, QColor::fromRgbF(1, 1, 1, 0.32f));
    editor_->setPalette(pal);
    column->addWidget(editor_);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    commitButton_->setObjectName(QStringLiteral("commit"));
    commitButton_->label().font = ShimmerText::font(11.5, QFont::DemiBold, ShimmerText::Design::rounded);
    commitButton_->label().spacing = 5;
    commitButton_->setPadding(QMarginsF(10, 5, 10, 5));
    QLinearGradient fill(0, 0, 1, 0);
    fill.setCoordinateMode(QGradient::ObjectBoundingMode);
    fill.setColorAt(0, Brand::palette()[0]);
    fill.setColorAt(1, Brand::palette()[2]);
    commitButton_->setBackground(fill, 7);
    commitButton_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    commitButton_->setFocusPolicy(Qt::TabFocus);  // by Tab, not by a click
    commitButton_->installEventFilter(this);
    row->addWidget(commitButton_, 1);
    // While a commit runs it turns where the seal stands.
    commitSpinner_ = new Spinner(Icons::sizeForPointSize(11.5), commitButton_);
    commitSpinner_->setObjectName(QStringLiteral("commitSpinner"));
    commitSpinner_->hide();
    generateButton_->setObjectName(QStringLiteral("generate"));
    row->addWidget(generateButton_);
    column->addLayout(row);

    errorLabel_->setObjectName(QStringLiteral("commitError"));
    errorLabel_->setWordWrap(true);
    errorLabel_->setFont(ShimmerText::font(10.5, QFont::Normal, ShimmerText::Design::standard));
    errorLabel_->setStyleSheet(QStringLiteral("QLabel { color: %1; background: transparent; }")
                                   .arg(Brand::palette()[2].name()));
    errorLabel_->hide();
    column->addWidget(errorLabel_);

    connect(commitButton_, &QAbstractButton::clicked, this, &CommitComposer::commit);
    connect(generateButton_, &QAbstractButton::clicked, this, &CommitComposer::generate);
    connect(editor_, &QPlainTextEdit::textChanged, this, &CommitComposer::updateControls);
    connect(&app.git(), &GitService::changesChanged, this, [this] {
        followChanges();
        updateControls();
    });
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (canCommit()) commit();
        });
    }
    followChanges();
    updateControls();
}

void CommitComposer::followChanges() {
    // Read when the changes change, not at every key typed into the message.
    nothingStaged_ = !app_ || ChangeLists::staged(app_->git().changes()).isEmpty();
}

void CommitComposer::placeSpinner() {
    const QSizeF label = commitButton_->label().size();
    commitSpinner_->move(int((commitButton_->width() - label.width()) / 2),
                         (commitButton_->height() - commitSpinner_->height()) / 2);
}

bool CommitComposer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == commitButton_ && event->type() == QEvent::Resize) placeSpinner();
    return QWidget::eventFilter(watched, event);
}

QString CommitComposer::backendDisplayName(AIBackend backend) {
    switch (backend) {
    case AIBackend::claude: return QStringLiteral("Claude Code");
    case AIBackend::codex: return QStringLiteral("Codex");
    }
    return {};
}

void CommitComposer::setBackend(const std::optional<AIBackend>& backend) {
    backend_ = backend;
    updateControls();
}

QString CommitComposer::message() const { return editor_->toPlainText(); }

void CommitComposer::setMessage(const QString& message) { editor_->setPlainText(message); }

bool CommitComposer::canCommit() const {
    return !committing_ && !ProcessText::trimWhitespace(message()).isEmpty();
}

void CommitComposer::setErrorText(const std::optional<QString>& text) {
    errorText_ = text;
    errorLabel_->setText(text.value_or(QString()));
    errorLabel_->setVisible(text.has_value());
}

void CommitComposer::updateControls() {
    commitButton_->label().text = nothingStaged_ ? QStringLiteral("Commit All") : QStringLiteral("Commit");
    // The seal keeps its place, unseen, while the spinner stands in it.
    commitButton_->label().symbolBrush = committing_ ? QBrush(Qt::transparent) : QBrush(Qt::white);
    // Disabled while it runs, Commit passes the keys on to the change list, where a second Return
    // would act on a row: they come back when it ends (to Commit, or to the emptied message),
    // unless the user took them elsewhere meanwhile.
    const bool hadKeys = commitButton_->hasFocus();
    commitButton_->setEnabled(canCommit());
    if (hadKeys && committing_ && !commitButton_->isEnabled()) {
        keysPassedTo_ = QApplication::focusWidget();
    } else if (!committing_ && keysPassedTo_) {
        if (keysPassedTo_ == QApplication::focusWidget())
            (commitButton_->isEnabled() ? static_cast<QWidget*>(commitButton_) : editor_)->setFocus(Qt::OtherFocusReason);
        keysPassedTo_ = nullptr;
    }
    commitButton_->update();
    commitSpinner_->setVisible(committing_);
    placeSpinner();

    generateButton_->setToolTip(backend_ ? QStringLiteral("Generate with ") + backendDisplayName(*backend_)
                                         : QStringLiteral("No AI CLI on PATH"));
    generateButton_->setEnabled(backend_ && !generating_ && !nothingStaged_);
    generateButton_->setLoading(generating_);
}

void CommitComposer::commit() {
    if (!app_ || committing_) return;
    setErrorText(std::nullopt);
    committing_ = true;
    updateControls();
    GitService& git = app_->git();
    const QString text = message();
    auto finish = [this, &git, text](bool ok) {
        committing_ = false;
        if (ok) {
            // A message generated while the commit ran is what the user reads now; keep it.
            if (message() == text) editor_->clear();
        } else {
            setErrorText(git.lastError().value_or(QStringLiteral("Commit failed.")));
        }
        updateControls();
    };
    auto commitNow = [this, &git, text, finish] { git.commit(text, {this, finish}); };
    const QList<GitFileChange>& changes = git.changes();
    const QList<GitFileChange> conflicts = ChangeLists::conflicts(changes);
    const bool stageFirst = ChangeLists::staged(changes).isEmpty() &&
                            (!ChangeLists::unstaged(changes).isEmpty() || !conflicts.isEmpty());
    // Staging everything would mark every conflict resolved: a conflict, or a file that still
    // holds conflict markers, is committed only when the user says so.
    QStringList unresolved;
    if (stageFirst)
        for (const GitFileChange& c : conflicts) unresolved << c.path;
    git.conflictMarkers(stageFirst, {this, [this, &git, stageFirst, unresolved, commitNow](const QStringList& marked) {
        QStringList paths = unresolved;
        QSet<QString> listed(unresolved.begin(), unresolved.end());
        for (const QString& path : marked)
            if (!listed.contains(path)) paths << path;
        if (!paths.isEmpty() && !confirmUnresolved(paths)) {
            committing_ = false;
            updateControls();
            return;
        }
        if (stageFirst) git.stageAll({this, [commitNow](bool) { commitNow(); }});
        else commitNow();
    }});
}

bool CommitComposer::confirmUnresolved(const QStringList& paths) {
    constexpr qsizetype kShown = 8;
    QStringList shown;
    for (qsizetype i = 0; i < std::min(paths.size(), kShown); ++i) shown << ProcessText::visibleName(paths.at(i));
    if (paths.size() > kShown) shown << QStringLiteral("and %1 more").arg(paths.size() - kShown);
    Alert alert;
    alert.title = QStringLiteral("Commit unresolved conflicts?");
    alert.message = QStringLiteral("These files still hold conflict markers or are not marked resolved:\n") +
                    shown.join(u'\n');
    alert.buttons = {QStringLiteral("Commit Anyway"), QStringLiteral("Cancel")};
    alert.warning = true;
    return Prompter::current().ask(alert) == 0;
}

void CommitComposer::generate() {
    if (!app_ || generating_) return;
    setErrorText(std::nullopt);
    generating_ = true;
    updateControls();
    // Only the diff's start goes into the prompt, which one argument must hold.
    app_->git().stagedDiff({this, [this](const QString& diff) {
        if (!backend_) {
            setErrorText(QStringLiteral("No AI CLI found on PATH."));
            generating_ = false;
            updateControls();
            return;
        }
        AIService::generateCommitMessage(diff, *backend_, {this, [this](const AIResult& result) {
            if (result.ok()) setMessage(result.text);
            else setErrorText(result.error->errorDescription());
            generating_ = false;
            updateControls();
        }});
    }}, AIService::kMaxArgumentBytes);
}
