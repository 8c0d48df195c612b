#include "Views/Workbench/BranchStatusButton.h"

#include "Views/SourceControl/BranchPopover.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>

#include "AppState.h"
#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/Spinner.h"

namespace {

QString colour(const QColor& c, qreal alpha = 1) {
    return QStringLiteral("QLabel { color: rgba(%1, %2, %3, %4); background: transparent; }")
        .arg(c.red()).arg(c.green()).arg(c.blue()).arg(int(alpha * 255));
}

} // namespace

BranchStatusButton::BranchStatusButton(AppState& app, const QString& branch, QWidget* parent)
    : QAbstractButton(parent), app_(&app) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    const auto label = [this, row](const QString& style) {
        auto* l = new QLabel(this);
        l->setStyleSheet(style);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        row->addWidget(l);
        return l;
    };
    spinner_ = new Spinner(10, this);
    row->addWidget(spinner_);
    symbol_ = label(colour(Qt::white, 0.7));
    symbol_->setPixmap(Icons::pixmap(QStringLiteral("arrow.triangle.branch"), 10, QColor::fromRgbF(1, 1, 1, 0.7f),
                                     devicePixelRatioF()));
    name_ = label(colour(Qt::white, 0.7));
    ahead_ = label(colour(Brand::palette()[3]));
    behind_ = label(colour(Brand::palette()[1]));
    bullet_ = label(colour(Qt::white, 0.3));
    bullet_->setText(QStringLiteral("•"));
    changeCount_ = label(colour(Brand::palette()[4]));
    setBranch(branch);

    connect(this, &QAbstractButton::clicked, this, [this] {
        if (app_) showBranchPopover(*app_, this);
    });
    GitService& git = app_->git();
    for (auto signal : {&GitService::aheadBehindChanged, &GitService::changesChanged, &GitService::isNetworkingChanged})
        connect(&git, signal, this, &BranchStatusButton::sync);
    sync();
}

QString BranchStatusButton::branch() const { return branch_; }

void BranchStatusButton::setBranch(const QString& branch) {
    branch_ = branch;
    // A bounded width, cut in the middle: a long name keeps its prefix and its distinctive end and
    // never pushes the rest of the status bar off the window.
    const QString visible = ProcessText::visibleName(branch);
    const QString shown = name_->fontMetrics().elidedText(visible, Qt::ElideMiddle, kMaxNameWidth);
    name_->setText(shown);
    const QString help = QStringLiteral("Switch / create branch");
    setToolTip(shown == visible ? help : visible + u'\n' + help);
    updateGeometry();
}

void BranchStatusButton::sync() {
    if (!app_) return;
    const GitService& git = app_->git();
    spinner_->setVisible(git.isNetworking());
    symbol_->setVisible(!git.isNetworking());
    ahead_->setText(QStringLiteral("↑%1").arg(git.aheadBy()));
    ahead_->setVisible(git.aheadBy() > 0);
    behind_->setText(QStringLiteral("↓%1").arg(git.behindBy()));
    behind_->setVisible(git.behindBy() > 0);
    const qsizetype changes = git.changes().size();
    changeCount_->setText(QString::number(changes));
    bullet_->setVisible(changes > 0);
    changeCount_->setVisible(changes > 0);
    updateGeometry();
}

QStringList BranchStatusButton::visibleTexts() const {
    QStringList out;
    for (QLabel* l : {name_, ahead_, behind_, bullet_, changeCount_})
        if (!l->isHidden()) out << l->text();
    return out;
}

QSize BranchStatusButton::sizeHint() const { return layout()->sizeHint(); }

void BranchStatusButton::paintEvent(QPaintEvent*) {}  // plain: the labels are the whole look

void showBranchPopover(AppState& app, QWidget* anchor) { BranchPopover::show(app, anchor); }
