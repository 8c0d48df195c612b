#include "Views/Navigation/ProjectSearchView.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "AppState.h"
#include "UI/ShimmerText.h"
#include "Views/KeyCatcher.h"
#include "Views/Navigation/FolderPaths.h"
#include "Views/Navigation/OverlayList.h"
#include "Views/Navigation/OverlayParts.h"
#include "Views/Navigation/SearchFileHeader.h"
#include "Views/Navigation/SearchHitRow.h"
#include "Views/Navigation/SearchText.h"
#include "Views/PaletteField.h"
#include "Views/PaletteScaffold.h"

ProjectSearchView::ProjectSearchView(AppState& app, QWidget* parent)
    : QWidget(parent), app_(&app), keys_(new KeyCatcher(this)),
      field_(new PaletteField(QStringLiteral("text.magnifyingglass"), QStringLiteral("Search in project…"))),
      message_(OverlayParts::message(QString(), 26)), list_(new OverlayList(kListMaxHeight, 6)),
      scaffold_(OverlayParts::card(this, keys_, field_, {message_, list_}, [this] { close(); })) {
    // Return in the field or anywhere in the overlay searches; there is nothing to move through.
    keys_->setActions([](int) {}, [this] { runSearch(); }, [this] { close(); });
    connect(field_, &PaletteField::textEdited, this, &ProjectSearchView::setQuery);
    connect(&search_, &ProjectSearch::found, this, &ProjectSearchView::addHits);
    connect(&search_, &ProjectSearch::finished, this, &ProjectSearchView::finish);
    refresh();
}

QList<ProjectSearchView::FileGroup> ProjectSearchView::grouped(const QList<SearchHit>& hits) {
    QList<FileGroup> groups;
    for (const SearchHit& hit : hits) {
        auto it = std::find_if(groups.begin(), groups.end(), [&](const FileGroup& g) { return g.url == hit.url; });
        if (it == groups.end()) groups.append({hit.url, {hit}});
        else it->hits.append(hit);
    }
    std::stable_sort(groups.begin(), groups.end(), [](const FileGroup& a, const FileGroup& b) { return a.url < b.url; });
    return groups;
}

QString ProjectSearchView::summary(const QList<SearchHit>& hits, bool truncated) {
    return QString::number(hits.size()) + (truncated ? QStringLiteral("+") : QString()) + QStringLiteral(" matches in ") +
           QString::number(grouped(hits).size()) + QStringLiteral(" files");
}

void ProjectSearchView::setQuery(const QString& query) {
    query_ = query;
    field_->setText(query);
    refresh();  // the message depends on whether a query is typed; the hits stay
}

void ProjectSearchView::runSearch() {
    const QString q = SearchText::trimBlanks(query_);
    searched_ = true;
    if (SearchText::graphemes(q).size() < ProjectSearch::kMinQueryLength) {
        // A running search is for an older query: its result would no longer fit.
        search_.cancel();
        searching_ = false;
        hits_.clear();
        rebuildList();
        return;
    }
    // Quick open's files, listed by the scan itself so that a large folder never stalls the window.
    const QString folder = app_ && app_->rootNode() ? app_->rootNode()->url() : QString();
    searching_ = true;
    truncated_ = false;
    // The new search's hits go on screen as they are found; the old ones would mix with them.
    hits_.clear();
    rebuildList();
    search_.startInFolder(q, folder);
}

void ProjectSearchView::addHits(const QList<SearchHit>& hits) {
    hits_ += hits;
    addRows(hits);
}

void ProjectSearchView::finish(const ProjectSearch::Result& result) {
    searching_ = false;
    truncated_ = result.truncated;
    // Usually every hit is on screen already; then only the message and a cut-off mark can change.
    const bool followsShown = result.hits.size() >= hits_.size() && std::equal(hits_.begin(), hits_.end(), result.hits.begin());
    if (followsShown) {
        addHits(result.hits.sliced(hits_.size()));
    } else {
        hits_ = result.hits;
        rebuildList();
    }
    emit searchFinished();
}

void ProjectSearchView::close() {
    OverlayParts::markDismissed(this);
    if (app_) app_->setProjectSearchOpen(false);
}

void ProjectSearchView::open(const SearchHit& hit) {
    const QPointer<AppState> app = app_;
    if (!app) return;
    const int line = hit.line;
    app->setProjectSearchOpen(false);
    if (!app) return;
    app->open(hit.url);
    // The state outlives this overlay, so the caret still moves after the overlay is gone.
    QTimer::singleShot(kCaretDelayMs, app.data(), [app, line] {
        if (app) app->editorController().goToLine(line);
    });
}

QString ProjectSearchView::message() const {
    if (!hits_.isEmpty()) return QString();  // the hits found so far, even while searching
    if (searching_) return QStringLiteral("Searching…");
    // Before Return was first pressed nothing was looked for: the hint says how to search.
    if (searched_ && !query_.isEmpty()) return QStringLiteral("No results");
    return QStringLiteral("Type and press ↵ to search the open folder");
}

QList<SearchHitRow*> ProjectSearchView::hitRows() const {
    QList<SearchHitRow*> out;
    for (QWidget* row : list_->rows()) out += row->findChildren<SearchHitRow*>();
    return out;
}

void ProjectSearchView::refresh() {
    const QString text = message();
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
    list_->setVisible(text.isEmpty());
}

void ProjectSearchView::rebuildList() {
    summaryLine_ = nullptr;
    groups_.clear();
    list_->setRows({});
    addRows(hits_);
}

void ProjectSearchView::addRows(const QList<SearchHit>& hits) {
    if (hits_.isEmpty()) {
        refresh();
        return;
    }
    // The hit with the keyboard stays where it is on screen though files come above it; otherwise
    // the list stays where it was scrolled to.
    QScrollBar* scroll = list_->verticalScrollBar();
    QWidget* anchor = QApplication::focusWidget();
    if (!anchor || !list_->widget()->isAncestorOf(anchor)) anchor = nullptr;
    const int scrolled = scroll->value();
    const int above = anchor ? anchor->mapTo(list_->widget(), QPoint()).y() : 0;

    if (!summaryLine_) {
        summaryLine_ = new QLabel;
        summaryLine_->setFont(ShimmerText::font(11, QFont::Medium, ShimmerText::Design::rounded));
        summaryLine_->setContentsMargins(12, 8, 12, 0);
        QPalette colours = summaryLine_->palette();
        colours.setColor(QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.4f));
        summaryLine_->setPalette(colours);
    }
    summaryLine_->setText(summary(hits_, truncated_));

    // Rows already shown stay as they are: the hit with the keyboard keeps it while hits stream in.
    const QString folder = app_ && app_->rootNode() ? app_->rootNode()->url() : QString();
    QSet<QWidget*> added;
    for (const SearchHit& hit : hits) {
        auto group = std::lower_bound(groups_.begin(), groups_.end(), hit.url,
                                      [](const GroupRows& g, const QString& url) { return g.url < url; });
        if (group == groups_.end() || group->url != hit.url) {
            auto* box = new QWidget;
            auto* stack = new QVBoxLayout(box);
            stack->setContentsMargins(0, 0, 0, 4);
            stack->setSpacing(1);
            const QString shown =
                folder.isEmpty() ? QFileInfo(hit.url).fileName() : FolderPaths::insideFolder(hit.url, folder);
            stack->addWidget(new SearchFileHeader(hit.url, shown, box));
            group = groups_.insert(group, {hit.url, box});
        }
        auto* row = new SearchHitRow(hit, group->box);
        connect(row, &SearchHitRow::clicked, this, [this, hit] { open(hit); });
        connect(row, &SearchHitRow::focused, this, [this, row] { list_->ensureWidgetVisible(row, 0, 8); });
        // Escape, Return, Up and Down mean the same on a hit as in the field.
        keys_->catchFrom(row);
        group->box->layout()->addWidget(row);
        row->show();  // now, so the list's height fits it at once
        added.insert(row);
    }

    QList<QWidget*> rows{summaryLine_};
    for (const GroupRows& group : std::as_const(groups_)) rows.append(group.box);
    list_->setRows(rows);
    // Tab goes through the hits in the list's order, which is not the order they came in.
    QWidget* before = field_->lineEdit();
    for (const GroupRows& group : std::as_const(groups_)) {
        const QLayout* stack = group.box->layout();
        for (int i = 1; i < stack->count(); ++i) {  // after the file's header
            QWidget* row = stack->itemAt(i)->widget();
            if (added.contains(row)) setTabOrder(before, row);
            before = row;
        }
    }
    if (anchor) QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    scroll->setValue(scrolled + (anchor ? anchor->mapTo(list_->widget(), QPoint()).y() - above : 0));
    refresh();
}

void ProjectSearchView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    field_->setFocused(true);
}
