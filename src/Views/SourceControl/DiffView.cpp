#include "Views/SourceControl/DiffView.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "AppState.h"
#include "Editor/CodeLanguage.h"
#include "Git/ProcessText.h"
#include "UI/Brand.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "UI/ShimmerText.h"
#include "Views/SourceControl/DiffParser.h"

namespace {
constexpr int kGutterWidth = 42;
constexpr int kGutterGap = 6;
constexpr int kMarkerWidth = 14;
constexpr int kTextGap = 4;
constexpr int kRowPad = 4;
constexpr int kListPad = 6;

QColor rgb(float r, float g, float b, float a = 1) { return QColor::fromRgbF(r, g, b, a); }
} // namespace

// The scrolling list of diff rows; paints only the rows that intersect the viewport.
class DiffLinesArea : public QAbstractScrollArea {
public:
    explicit DiffLinesArea(QWidget* parent) : QAbstractScrollArea(parent) {
        setFrameShape(QFrame::NoFrame);
        viewport()->setAutoFillBackground(false);
        setStyleSheet(QStringLiteral("QAbstractScrollArea { background: transparent; }"));
    }

    // longest: indexes of the lines with the most characters, the only ones measured.
    void setLines(const QList<DiffLine>* lines, const QList<qsizetype>& longest, bool keepScroll) {
        lines_ = lines;
        const QFontMetrics fm(textFont());
        widest_ = 0;
        for (qsizetype i : longest) {
            const QString& text = lines_->at(i).text;
            // Measuring a huge line would cost what drawing it whole would: estimate it instead.
            widest_ = std::max(widest_, text.size() > kLongLine ? int(std::min<qsizetype>(text.size(), 1 << 20)) * charWidth()
                                                                : fm.horizontalAdvance(text));
        }
        if (!keepScroll) {
            verticalScrollBar()->setValue(0);
            horizontalScrollBar()->setValue(0);
        }
        updateBars();
        viewport()->update();
    }

    int rowHeight() const { return QFontMetrics(textFont()).lineSpacing() + 3; }
    int contentWidth() const {
        return kRowPad + 2 * (kGutterWidth + kGutterGap) + kMarkerWidth + kTextGap + widest_ + kRowPad;
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        updateBars();
    }

    void paintEvent(QPaintEvent*) override {
        if (!lines_) return;
        QPainter p(viewport());
        const int h = rowHeight();
        const int top = verticalScrollBar()->value();
        const int dx = -horizontalScrollBar()->value();
        const int first = std::max(0, (top - kListPad) / h);
        const int width = std::max(viewport()->width(), contentWidth());
        const QFont gutter = ShimmerText::font(10.5, QFont::Normal, ShimmerText::Design::monospaced);
        const QFont mark = ShimmerText::font(12, QFont::Bold, ShimmerText::Design::monospaced);
        const QFont text = textFont();
        for (qsizetype i = first; i < lines_->size(); ++i) {
            const int y = kListPad + int(i) * h - top;
            if (y > viewport()->height()) break;
            const DiffLine& line = (*lines_)[i];
            const QRect row(dx, y, width, h);
            const QColor background = DiffView::rowBackground(line.kind);
            if (background.alpha() > 0) p.fillRect(row, background);
            int x = dx + kRowPad;
            p.setFont(gutter);
            p.setPen(rgb(1, 1, 1, 0.3f));
            for (const std::optional<qint64>& number : {line.oldNo, line.newNo}) {
                if (number) p.drawText(QRect(x, y, kGutterWidth, h), Qt::AlignRight | Qt::AlignVCenter, QString::number(*number));
                x += kGutterWidth + kGutterGap;
            }
            p.setFont(mark);
            p.setPen(line.kind == DiffLineKind::added ? rgb(0.4f, 0.82f, 0.5f) : rgb(0.95f, 0.45f, 0.5f));
            p.drawText(QRect(x, y, kMarkerWidth, h), Qt::AlignCenter, DiffView::marker(line.kind));
            x += kMarkerWidth + kTextGap;
            p.setFont(text);
            p.setPen(DiffView::textColor(line.kind));
            if (line.text.size() <= kLongLine) {
                p.drawText(QRect(x, y, width, h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextExpandTabs, line.text);
                continue;
            }
            // Laying out a very long line costs far more than the screen shows: draw the part in view.
            const int cw = charWidth();
            const qsizetype from = std::max(0, -x / cw - 1);
            const qsizetype count = viewport()->width() / cw + 3;
            const int left = x + int(from) * cw;
            p.drawText(QRect(left, y, int(count) * cw, h), Qt::AlignLeft | Qt::AlignVCenter, line.text.mid(from, count));
        }
    }

private:
    static constexpr qsizetype kLongLine = 2000;
    static QFont textFont() { return ShimmerText::font(12.5, QFont::Normal, ShimmerText::Design::monospaced); }
    static int charWidth() { return std::max(1, QFontMetrics(textFont()).horizontalAdvance(u'M')); }

    void updateBars() {
        const int total = lines_ ? int(lines_->size()) * rowHeight() + 2 * kListPad : 0;
        verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
        verticalScrollBar()->setPageStep(viewport()->height());
        verticalScrollBar()->setSingleStep(rowHeight());
        horizontalScrollBar()->setRange(0, std::max(0, contentWidth() - viewport()->width()));
        horizontalScrollBar()->setPageStep(viewport()->width());
    }

    const QList<DiffLine>* lines_ = nullptr;
    int widest_ = 0;
};

DiffView::DiffView(AppState& app, const GitFileChange& change, QWidget* parent)
    : QWidget(parent), app_(&app), change_(change) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    auto* line = new QWidget(this);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 15);"));
    column->addWidget(line);

    content_ = new QStackedWidget(this);
    spinner_ = new QLabel(QStringLiteral("…"), content_);
    static_cast<QLabel*>(spinner_)->setAlignment(Qt::AlignCenter);
    spinner_->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));
    auto* empty = new QLabel(QStringLiteral("No diff to show."), content_);
    empty->setAlignment(Qt::AlignCenter);
    empty->setFont(ShimmerText::font(12, QFont::Normal, ShimmerText::Design::standard));
    empty->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 128); background: transparent; }"));
    empty_ = empty;
    area_ = new DiffLinesArea(content_);
    content_->addWidget(spinner_);
    content_->addWidget(empty_);
    content_->addWidget(area_);
    column->addWidget(content_, 1);

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &DiffView::dismiss);
    connect(&app.git(), &GitService::changesChanged, this, &DiffView::followRepository);
    // The window keeps this view while the chosen path stays the same; the path's other entry
    // chosen from the list is shown here.
    connect(&app, &AppState::activeDiffChanged, this, [this] {
        const std::optional<GitFileChange>& chosen = app_->activeDiff();
        if (chosen && chosen->path == change_.path) setChange(*chosen);
    });

    followState();
    load();
}

void DiffView::followRepository() {
    if (!app_) return;
    // A path can be listed twice (deleted in the index and new on disk): follow the entry of the
    // same side, so a refresh never swaps the diff for the other one.
    const GitFileChange* found = nullptr;
    for (const GitFileChange& c : app_->git().changes()) {
        if (c.path != change_.path) continue;
        if (c == change_) {
            listed_ = true;
            return;
        }
        if (!found || c.isUntracked() == change_.isUntracked()) found = &c;
    }
    if (found) {
        listed_ = true;
        // Staged, unstaged or changed in kind: the diff is read again from where it now is.
        change_ = *found;
        load();
        return;
    }
    if (!listed_) return;
    // Committed or discarded: nothing differs any more, whatever the change said before.
    listed_ = false;
    change_ = {change_.path, u' ', u' ', {}};
    load();
}

QWidget* DiffView::buildHeader() {
    auto* header = new QWidget(this);
    header->setFixedHeight(36);
    header->setAttribute(Qt::WA_StyledBackground);
    header->setStyleSheet(QStringLiteral("background: rgba(0, 0, 0, 89);"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(10);
    icon_ = new QLabel(header);
    icon_->setStyleSheet(QStringLiteral("background: transparent;"));
    row->addWidget(icon_);
    path_ = new QLabel(header);
    path_->setObjectName(QStringLiteral("diffPath"));
    path_->setFont(ShimmerText::font(13, QFont::DemiBold, ShimmerText::Design::rounded));
    path_->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 217); background: transparent; }"));
    row->addWidget(path_);
    badge_ = new QLabel(header);
    badge_->setObjectName(QStringLiteral("diffBadge"));
    badge_->setFont(ShimmerText::font(10, QFont::Bold, ShimmerText::Design::rounded));
    badge_->setStyleSheet(QStringLiteral("QLabel { color: rgba(255, 255, 255, 128); background: rgba(255, 255, 255, 20);"
                                         " border-radius: 7px; padding: 2px 6px; }"));
    row->addWidget(badge_, 0, Qt::AlignVCenter);
    row->addStretch(1);

    auto* open = new PressableButton(QStringLiteral("doc.text"), QStringLiteral("Open File"), header);
    open_ = open;
    open->setObjectName(QStringLiteral("openFile"));
    open->label().font = ShimmerText::font(11.5, QFont::Medium, ShimmerText::Design::rounded);
    open->label().symbolBrush = rgb(1, 1, 1, 0.7f);
    open->label().textBrush = rgb(1, 1, 1, 0.7f);
    open->setPadding(QMarginsF(4, 4, 4, 4));
    // Reached with Tab, as the keyboard's only way to them; a click leaves the focus where it was.
    open->setFocusPolicy(Qt::TabFocus);
    connect(open, &QAbstractButton::clicked, this, &DiffView::openFile);
    row->addWidget(open);
    auto* close = new PressableButton(QStringLiteral("xmark"), QString(), header);
    close->setObjectName(QStringLiteral("closeDiff"));
    close->label().font = ShimmerText::font(11, QFont::Bold, ShimmerText::Design::standard);
    close->label().symbolBrush = rgb(1, 1, 1, 0.55f);
    close->setPadding(QMarginsF(4, 4, 4, 4));
    close->setFocusPolicy(Qt::TabFocus);
    close->setToolTip(QStringLiteral("Close"));
    connect(close, &QAbstractButton::clicked, this, &DiffView::dismiss);
    row->addWidget(close);
    return header;
}

void DiffView::followState() {
    QString name = change_.path;
    while (name.endsWith(u'/')) name.chop(1);
    name = name.mid(name.lastIndexOf(u'/') + 1);
    const CodeLanguage language = CodeLanguages::detect(name);
    icon_->setPixmap(Icons::pixmap(CodeLanguages::icon(language), Icons::sizeForPointSize(12),
                                   CodeLanguages::tint(language), devicePixelRatioF()));
    path_->setText(ProcessText::visibleName(change_.path));
    badge_->setText(change_.displayStatus());
    badge_->setVisible(listed_);
    open_->setEnabled(!openablePath().isEmpty());
    if (loading_) content_->setCurrentWidget(spinner_);
    else if (raw_.isEmpty()) content_->setCurrentWidget(empty_);
    else content_->setCurrentWidget(area_);
}

QString DiffView::contentState() const {
    if (content_->currentWidget() == spinner_) return QStringLiteral("loading");
    return content_->currentWidget() == empty_ ? QStringLiteral("empty") : QStringLiteral("lines");
}

void DiffView::setChange(const GitFileChange& change) {
    listed_ = true;
    if (change == change_) {
        followState();
        return;
    }
    change_ = change;
    load();
}

namespace {

struct ParsedDiff {
    QList<DiffLine> lines;
    QList<qsizetype> longest;  // the lines with the most characters, longest first
    bool complete = false;
};

ParsedDiff parsed(QList<DiffLine> lines, bool complete) {
    constexpr qsizetype kMeasured = 8;
    ParsedDiff out{std::move(lines), {}, complete};
    for (qsizetype i = 0; i < out.lines.size(); ++i) {
        const qsizetype size = out.lines.at(i).text.size();
        if (out.longest.size() == kMeasured && size <= out.lines.at(out.longest.last()).text.size()) continue;
        auto at = std::find_if(out.longest.begin(), out.longest.end(),
                               [&](qsizetype j) { return out.lines.at(j).text.size() < size; });
        out.longest.insert(at, i);
        if (out.longest.size() > kMeasured) out.longest.removeLast();
    }
    return out;
}

// Parses aside from the window: a screenful first, so it shows at once, then the whole diff.
void parseDiff(QPromise<ParsedDiff>& promise, const QString& text) {
    constexpr int kFirstLines = 200;
    qsizetype cut = -1;
    for (int n = 0; n <= kFirstLines; ++n) {
        cut = text.indexOf(u'\n', cut + 1);
        if (cut < 0) break;
    }
    if (cut >= 0) {
        QList<DiffLine> first = DiffParser::parse(text.left(cut));
        first.removeLast();  // the cut line may read differently as the last one
        promise.addResult(parsed(std::move(first), false));
    }
    if (promise.isCanceled()) return;
    promise.addResult(parsed(DiffParser::parse(text), true));
}

} // namespace

void DiffView::load() {
    loading_ = true;
    followState();
    if (!app_) return;
    // Only the newest load may write: an older one that ends late is for a path no longer shown.
    const quint64 token = ++loadToken_;
    app_->git().diff(change_, {this, [this, token](const QString& text) {
        if (token != loadToken_) return;
        if (parsing_) {
            parsing_->cancel();
            parsing_->deleteLater();
        }
        auto* watcher = new QFutureWatcher<ParsedDiff>(this);
        parsing_ = watcher;
        connect(watcher, &QFutureWatcherBase::resultReadyAt, this, [this, watcher, token, text](int index) {
            if (token != loadToken_) return;
            ParsedDiff result = watcher->resultAt(index);
            const bool first = loading_;
            raw_ = text;
            if (result.complete) {
                parsing_ = nullptr;
                watcher->deleteLater();
            }
            lines_ = std::move(result.lines);
            loading_ = false;
            area_->setLines(&lines_, result.longest, !first);
            followState();
        });
        watcher->setFuture(QtConcurrent::run(parseDiff, text));
    }});
}

QString DiffView::openablePath() const {
    if (!app_ || !app_->git().root()) return {};
    // A deleted file or an untracked folder has nothing a tab could show.
    const QString path = QDir(*app_->git().root()).filePath(change_.path);
    return QFileInfo(path).isFile() ? path : QString();
}

void DiffView::openFile() {
    // Leaving the diff may delete this view: keep what is needed first.
    AppState* app = app_;
    const QString path = openablePath();
    if (path.isEmpty()) return;
    app->setActiveDiff(std::nullopt);
    app->open(path);
}

void DiffView::dismiss() {
    if (app_) app_->setActiveDiff(std::nullopt);
}

QString DiffView::marker(DiffLineKind kind) {
    switch (kind) {
    case DiffLineKind::added: return QStringLiteral("+");
    case DiffLineKind::removed: return QStringLiteral("\u2212");
    case DiffLineKind::context: return QStringLiteral(" ");
    case DiffLineKind::header:
    case DiffLineKind::hunk: return QString();
    }
    return QString();
}

QColor DiffView::textColor(DiffLineKind kind) {
    switch (kind) {
    case DiffLineKind::header: return rgb(1, 1, 1, 0.35f);
    case DiffLineKind::hunk: return rgb(0.62f, 0.52f, 1.0f);
    case DiffLineKind::added: return rgb(0.78f, 0.95f, 0.8f);
    case DiffLineKind::removed: return rgb(1.0f, 0.75f, 0.75f);
    case DiffLineKind::context: return rgb(1, 1, 1, 0.7f);
    }
    return Qt::white;
}

QColor DiffView::rowBackground(DiffLineKind kind) {
    switch (kind) {
    case DiffLineKind::hunk: {
        QColor c = Brand::accent();
        c.setAlphaF(0.1f);
        return c;
    }
    case DiffLineKind::added: return rgb(0.4f, 0.82f, 0.5f, 0.1f);
    case DiffLineKind::removed: return rgb(0.95f, 0.45f, 0.5f, 0.1f);
    case DiffLineKind::header:
    case DiffLineKind::context: return Qt::transparent;
    }
    return Qt::transparent;
}

void DiffView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), rgb(0.06f, 0.06f, 0.09f));
}
