#include "Views/HTTP/RequestCollectionsPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "AppState.h"
#include "UI/Brand.h"
#include "UI/FocusChain.h"
#include "UI/GradientButton.h"
#include "UI/Icons.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/CollectionFileRow.h"
#include "Views/HTTP/HTTPStyle.h"
#include "Views/HTTP/RequestRow.h"

using HTTPStyle::white;

namespace {

// Plain ordering of composed names by Unicode scalar values (upper-case ASCII before lower-case).
bool scalarLess(const QString& a, const QString& b) {
    const QList<uint> x = a.normalized(QString::NormalizationForm_C).toUcs4();
    const QList<uint> y = b.normalized(QString::NormalizationForm_C).toUcs4();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
}

QLabel* symbol(const QString& name, qreal points, const QColor& colour, QWidget* parent) {
    auto* l = new QLabel(parent);
    const int side = Icons::sizeForPointSize(points);
    l->setPixmap(Icons::pixmap(name, side, colour, parent ? parent->devicePixelRatioF() : 1.0));
    l->setFixedSize(side, side);
    return l;
}

} // namespace

RequestCollectionsPanel::RequestCollectionsPanel(AppState& app, QWidget* parent)
    : QWidget(parent), app_(app), actions_(app) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeader());
    column->addWidget(makeEnvironmentRow());
    column->addWidget(HTTPStyle::divider(0.06, this));

    auto* content = new QWidget(this);
    pages_ = new QStackedLayout(content);
    pages_->addWidget(makeEmptyPage());
    scroll_ = new QScrollArea(content);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->viewport()->setAutoFillBackground(false);
    pages_->addWidget(scroll_);
    column->addWidget(content, 1);

    auto schedule = [this] { rebuild(); };
    connect(&app_, &AppState::rootNodeChanged, this, schedule);
    connect(&app_, &AppState::activeRequestChanged, this, schedule);
    connect(&app_.api(), &APIService::collectionsChanged, this, schedule);
    connect(&app_.api(), &APIService::environmentsChanged, this, schedule);
    connect(&app_.api(), &APIService::activeEnvironmentChanged, this, schedule);
    rebuild();
}

QWidget* RequestCollectionsPanel::makeHeader() {
    auto* header = new QWidget(this);
    header->setFixedHeight(38);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(6);
    row->addWidget(HTTPStyle::label(QStringLiteral("API CLIENT"),
                                    HTTPStyle::font(11, QFont::Bold, HTTPStyle::Design::rounded), white(0.5), header));
    row->addStretch(1);

    plus_ = HTTPStyle::button(QStringLiteral("plus"), {}, HTTPStyle::font(11, QFont::Bold), white(0.7), header);
    plus_->setFixedSize(22, 20);
    plus_->setBackground(white(0.06), 5);
    plus_->setToolTip(QStringLiteral("Create new collection / environment"));
    plusMenu_ = new QMenu(plus_);
    connect(plusMenu_->addAction(QStringLiteral("New Collection…")), &QAction::triggered, this,
            [this] { actions_.promptNewCollection(); });
    connect(plusMenu_->addAction(QStringLiteral("New Environment…")), &QAction::triggered, this,
            [this] { actions_.promptNewEnvironment(false); });
    connect(plusMenu_->addAction(QStringLiteral("New Secrets Environment…")), &QAction::triggered, this,
            [this] { actions_.promptNewEnvironment(true); });
    connect(plus_, &QAbstractButton::clicked, this,
            [this] { plusMenu_->popup(plus_->mapToGlobal(QPoint(0, plus_->height()))); });
    row->addWidget(plus_);

    rescan_ = HTTPStyle::button(QStringLiteral("arrow.clockwise"), {}, HTTPStyle::font(11, QFont::DemiBold),
                                white(0.55), header);
    rescan_->setPadding({2, 2, 2, 2});
    rescan_->setToolTip(QStringLiteral("Rescan workspace"));
    connect(rescan_, &QAbstractButton::clicked, this, [this] { actions_.rescan(); });
    row->addWidget(rescan_);
    return header;
}

QWidget* RequestCollectionsPanel::makeEnvironmentRow() {
    envRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(envRow_);
    row->setContentsMargins(12, 0, 12, 8);
    row->setSpacing(8);
    row->addWidget(symbol(QStringLiteral("globe"), 11, white(0.45), envRow_));
    envPicker_ = new QComboBox(envRow_);
    envPicker_->setAccessibleName(QStringLiteral("Environment"));
    envPicker_->setFont(HTTPStyle::font(11));
    envPicker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(envPicker_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) app_.api().setActiveEnvironment(envPicker_->itemText(index));
    });
    row->addWidget(envPicker_);
    row->addStretch(1);
    return envRow_;
}

QWidget* RequestCollectionsPanel::makeEmptyPage() {
    emptyPage_ = new QWidget(this);
    auto* column = new QVBoxLayout(emptyPage_);
    column->setContentsMargins(14, 0, 14, 0);
    column->setSpacing(12);
    column->addStretch(1);
    column->addWidget(symbol(QStringLiteral("network"), 26, white(0.3), emptyPage_), 0, Qt::AlignHCenter);
    emptyText_ = HTTPStyle::label({}, HTTPStyle::font(12, QFont::Medium, HTTPStyle::Design::rounded), white(0.5),
                                  emptyPage_);
    emptyText_->setAlignment(Qt::AlignCenter);
    emptyText_->setWordWrap(true);
    column->addWidget(emptyText_);
    newCollection_ = new GradientButton(QStringLiteral("New Collection"), emptyPage_);
    newCollection_->setBaseScale(0.8);
    connect(newCollection_, &QAbstractButton::clicked, this, [this] { actions_.promptNewCollection(); });
    column->addWidget(newCollection_, 0, Qt::AlignHCenter);
    column->addStretch(1);
    return emptyPage_;
}

QList<RequestCollectionsPanel::Group> RequestCollectionsPanel::grouped(const QList<APICollectionFile>& collections) {
    QList<Group> groups;
    for (const APICollectionFile& file : collections) {
        const QString key = QFileInfo(QFileInfo(file.url).path()).fileName();
        auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.first == key; });
        if (it == groups.end())
            groups.append({key, {file}});
        else
            it->second.append(file);
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return scalarLess(a.first, b.first); });
    return groups;
}

bool RequestCollectionsPanel::isExpanded(const APICollectionFile& file, const std::optional<QString>& activeFileUrl) {
    if (activeFileUrl && *activeFileUrl == file.url) return true;
    return file.requests.size() <= kExpandedRequestLimit;
}

void RequestCollectionsPanel::fillEnvironments() {
    const QSignalBlocker block(envPicker_);
    envPicker_->clear();
    const auto& environments = app_.api().environments();
    for (const APIEnvironment& environment : environments) envPicker_->addItem(environment.name);
    const auto& active = app_.api().activeEnvironment();
    envPicker_->setCurrentIndex(active ? envPicker_->findText(*active, Qt::MatchExactly) : -1);
    envRow_->setVisible(!environments.isEmpty());
}

QStringList RequestCollectionsPanel::shownState() const {
    const auto& active = app_.activeRequest();
    const std::optional<QString> activeUrl = active ? std::optional<QString>(active->file.url) : std::nullopt;
    QStringList shown{app_.rootNode() ? QStringLiteral("open") : QString()};
    for (const APICollectionFile& file : app_.api().collections()) {
        const bool expanded = isExpanded(file, activeUrl);
        shown << file.url << QString::number(file.requests.size()) << QString::number(expanded);
        if (!expanded) continue;
        for (const HTTPRequest& request : file.requests)
            shown << request.id.toString() << HTTPMethods::rawValue(request.method) << request.name
                  << QString::number(active && active->request.id == request.id);
    }
    return shown;
}

std::optional<APICollectionFile> RequestCollectionsPanel::currentFile(const QString& url) const {
    for (const APICollectionFile& file : app_.api().collections())
        if (file.url == url) return file;
    return std::nullopt;
}

void RequestCollectionsPanel::withRequest(const QString& url, const QUuid& id,
                                          const std::function<void(const HTTPRequest&, const APICollectionFile&)>& act) {
    const auto file = currentFile(url);
    if (!file) return;
    for (const HTTPRequest& request : file->requests)
        if (request.id == id) return act(request, *file);
}

void RequestCollectionsPanel::rebuild() {
    fillEnvironments();
    const bool folderOpen = app_.rootNode() != nullptr;
    plus_->setEnabled(folderOpen);
    // Typing into a request changes nothing shown here: its rows (hundreds in a long file) stay.
    QStringList shown = shownState();
    if (shown == shown_) return;
    shown_ = std::move(shown);
    // The row with the keyboard is made anew: the keyboard goes to the new one.
    std::optional<QUuid> focusedRow;
    if (auto* row = qobject_cast<RequestRow*>(QApplication::focusWidget()); row && list_ && list_->isAncestorOf(row))
        focusedRow = row->requestId();
    // A rebuild may come from inside a row's own click.
    HTTPStyle::releaseScrolled(scroll_);
    list_ = nullptr;
    if (!folderOpen || app_.api().collections().isEmpty()) {
        emptyText_->setText(folderOpen ? QStringLiteral("No .http files found.\nCreate one to start.")
                                       : QStringLiteral("Open a folder to see request collections."));
        newCollection_->setVisible(folderOpen);
        pages_->setCurrentWidget(emptyPage_);
        return;
    }
    list_ = makeList();
    scroll_->setWidget(list_);
    pages_->setCurrentWidget(scroll_);
    // The new rows came last in the window's Tab order: they go back after the panel's own controls.
    QWidget* lastControl = nullptr;
    for (QWidget* w = window()->nextInFocusChain(); w && w != window(); w = w->nextInFocusChain())
        if (isAncestorOf(w) && !list_->isAncestorOf(w) && FocusChain::takesTab(w)) lastControl = w;
    if (lastControl) FocusChain::placeAfter(lastControl, list_);
    if (focusedRow)
        for (RequestRow* row : requestRows())
            if (row->requestId() == *focusedRow) row->setFocus(Qt::OtherFocusReason);
}

QWidget* RequestCollectionsPanel::makeList() {
    auto* list = new QWidget;
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(0, 10, 0, 10);
    column->setSpacing(10);
    for (const Group& group : grouped(app_.api().collections())) column->addWidget(makeGroup(group, list));
    column->addStretch(1);
    return list;
}

QWidget* RequestCollectionsPanel::makeGroup(const Group& group, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto* header = new QWidget(box);
    header->setObjectName(QStringLiteral("groupHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(6);
    QColor accent = Brand::accent();
    accent.setAlphaF(0.8f);
    row->addWidget(symbol(QStringLiteral("folder"), 11, accent, header));
    auto* name = HTTPStyle::label(group.first, HTTPStyle::font(11, QFont::DemiBold, HTTPStyle::Design::rounded),
                                  white(0.6), header);
    name->setObjectName(QStringLiteral("groupName"));
    row->addWidget(name, 1);
    column->addWidget(header);
    for (const APICollectionFile& file : group.second) column->addWidget(makeFile(file, box));
    return box;
}

QWidget* RequestCollectionsPanel::makeFile(const APICollectionFile& file, QWidget* parent) {
    const auto& active = app_.activeRequest();
    const std::optional<QString> activeUrl = active ? std::optional<QString>(active->file.url) : std::nullopt;
    const bool expanded = isExpanded(file, activeUrl);

    auto* box = new QWidget(parent);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto* fileRow = new CollectionFileRow(CollectionActions::fileName(file.url), int(file.requests.size()), expanded, box);
    QMenu* menu = fileRow->contextMenu();
    // Rows outlive edits of their requests: each action takes the file and request as they are now.
    const QString url = file.url;
    const auto onFile = [this, url](void (CollectionActions::*act)(const APICollectionFile&)) {
        return [this, url, act] {
            if (const auto current = currentFile(url)) (actions_.*act)(*current);
        };
    };
    connect(menu->addAction(QStringLiteral("Add Request…")), &QAction::triggered, this,
            onFile(&CollectionActions::promptAddRequest));
    connect(menu->addAction(QStringLiteral("Rename Collection…")), &QAction::triggered, this,
            onFile(&CollectionActions::promptRenameCollection));
    connect(menu->addAction(QStringLiteral("Reveal in Finder")), &QAction::triggered, this,
            onFile(&CollectionActions::revealInFileViewer));
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Delete Collection")), &QAction::triggered, this,
            onFile(&CollectionActions::confirmDeleteCollection));
    auto* fileLine = new QWidget(box);
    auto* fileLayout = new QHBoxLayout(fileLine);
    fileLayout->setContentsMargins(18, 0, 10, 0);
    fileLayout->addWidget(fileRow);
    column->addWidget(fileLine);
    if (!expanded) return box;

    for (const HTTPRequest& request : file.requests) {
        auto* line = new QWidget(box);
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(28, 0, 10, 0);
        auto* row = new RequestRow(request, active && active->request.id == request.id, line);
        lineLayout->addWidget(row);
        const QUuid id = request.id;
        const auto onRequest = [this, url, id](void (CollectionActions::*act)(const HTTPRequest&, const APICollectionFile&)) {
            return [this, url, id, act] {
                withRequest(url, id, [&](const HTTPRequest& r, const APICollectionFile& f) { (actions_.*act)(r, f); });
            };
        };
        connect(row, &RequestRow::clicked, this, onRequest(&CollectionActions::open));
        QMenu* requestMenu = row->contextMenu();
        connect(requestMenu->addAction(QStringLiteral("Rename…")), &QAction::triggered, this,
                onRequest(&CollectionActions::promptRenameRequest));
        connect(requestMenu->addAction(QStringLiteral("Duplicate")), &QAction::triggered, this,
                onRequest(&CollectionActions::duplicate));
        requestMenu->addSeparator();
        connect(requestMenu->addAction(QStringLiteral("Delete")), &QAction::triggered, this,
                onRequest(&CollectionActions::deleteRequest));
        column->addWidget(line);
    }
    return box;
}

QStringList RequestCollectionsPanel::groupNames() const {
    QStringList names;
    if (!list_) return names;
    for (QLabel* l : list_->findChildren<QLabel*>(QStringLiteral("groupName"))) names << l->text();
    return names;
}

QList<CollectionFileRow*> RequestCollectionsPanel::fileRows() const {
    return list_ ? list_->findChildren<CollectionFileRow*>() : QList<CollectionFileRow*>{};
}

QList<RequestRow*> RequestCollectionsPanel::requestRows() const {
    return list_ ? list_->findChildren<RequestRow*>() : QList<RequestRow*>{};
}

QString RequestCollectionsPanel::emptyMessage() const {
    return pages_->currentWidget() == emptyPage_ ? emptyText_->text() : QString();
}

void RequestCollectionsPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0, 0, 0, 64));
}
