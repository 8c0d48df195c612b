#include "Views/Workbench/StatusBarView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "AppState.h"
#include "Editor/CodeLanguage.h"
#include "UI/Brand.h"
#include "UI/LayerCache.h"
#include "UI/ShimmerText.h"
#include "UI/SteadyWidgetItem.h"
#include "UI/StatusDot.h"
#include "Views/Workbench/BranchStatusButton.h"

namespace {
QLabel* text(const QString& value, const QColor& colour, qreal alpha, QWidget* parent) {
    auto* label = new QLabel(value, parent);
    label->setStyleSheet(QStringLiteral("QLabel { color: rgba(%1, %2, %3, %4); background: transparent; }")
                             .arg(colour.red()).arg(colour.green()).arg(colour.blue()).arg(int(alpha * 255)));
    // Kept drawn: the backdrop moves under the bar at every frame, the text seldom changes.
    label->setGraphicsEffect(new LayerCache(label));
    return label;
}
} // namespace

StatusBarView::StatusBarView(AppState& app, QWidget* parent) : QWidget(parent), app_(&app) {
    setFixedHeight(kHeight);
    setFont(ShimmerText::font(11, QFont::Medium, ShimmerText::Design::rounded));
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(14, 0, 14, 0);
    row_->setSpacing(14);

    auto* brand = new QHBoxLayout;
    brand->setSpacing(6);
    brand->addWidget(new StatusDot(Brand::palette()[3], 6, this));
    product_ = text(QStringLiteral("Duzizoda Voza"), Qt::white, 0.6, this);
    SteadyWidgetItem::add(brand, product_);
    row_->addLayout(brand);
    row_->addStretch(1);  // the branch button goes in before it
    caret_ = text(QString(), Qt::white, 0.55, this);
    language_ = text(QString(), Qt::white, 0.75, this);
    unsaved_ = text(QStringLiteral("● Unsaved"), Brand::palette()[4], 0.9, this);
    for (QLabel* label : {caret_, language_, unsaved_}) SteadyWidgetItem::add(row_, label);

    GitService& git = app_->git();
    connect(&git, &GitService::isRepoChanged, this, &StatusBarView::syncBranch);
    connect(&git, &GitService::branchChanged, this, &StatusBarView::syncBranch);
    connect(app_, &AppState::activeDocumentIdChanged, this, &StatusBarView::bindDocument);
    connect(app_, &AppState::documentsChanged, this, &StatusBarView::bindDocument);
    syncBranch();
    bindDocument();
}

void StatusBarView::syncBranch() {
    if (!app_) return;
    const GitService& git = app_->git();
    const bool show = git.isRepo() && git.branch().has_value();
    if (!show) {
        delete branch_.data();  // closes its popover with it
        return;
    }
    if (branch_) {
        branch_->setBranch(*git.branch());
        return;
    }
    branch_ = new BranchStatusButton(*app_, *git.branch(), this);
    row_->insertWidget(1, branch_);
}

void StatusBarView::bindDocument() {
    for (const auto& link : documentLinks_) disconnect(link);
    documentLinks_.clear();
    if (EditorDocument* doc = app_ ? app_->activeDocument() : nullptr) {
        for (auto signal : {&EditorDocument::cursorLineChanged, &EditorDocument::cursorColumnChanged,
                            &EditorDocument::languageChanged, &EditorDocument::isDirtyChanged})
            documentLinks_ << connect(doc, signal, this, &StatusBarView::syncDocument);
    }
    syncDocument();
}

void StatusBarView::syncDocument() {
    EditorDocument* doc = app_ ? app_->activeDocument() : nullptr;
    caret_->setVisible(doc != nullptr);
    language_->setVisible(doc != nullptr);
    unsaved_->setVisible(doc && doc->isDirty());
    if (!doc) return;
    caret_->setText(QStringLiteral("Ln %1, Col %2").arg(doc->cursorLine()).arg(doc->cursorColumn()));
    language_->setText(CodeLanguages::displayName(doc->language()));
    // A text of another width takes its new place now: placed on a later event, after a paint the
    // same turn asked for (the key that moved the caret repaints the editor first), the label would
    // be drawn once cut to its old width and once more where it goes.
    row_->activate();
}

void StatusBarView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.5f));
    p.fillRect(QRect(0, 0, width(), 1), QColor::fromRgbF(1, 1, 1, 0.06f));
}
