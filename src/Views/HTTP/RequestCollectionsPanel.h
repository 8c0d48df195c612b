#pragma once
// The HTTP client's sidebar panel: the request files of the open folder grouped by the folder
// holding each, their requests with method badges, the environment switcher, and the menus that
// create, rename, duplicate and delete. It keeps nothing of its own: it is rebuilt from the
// window state whenever that changes, and its actions go through CollectionActions.
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

#include "API/APICollectionFile.h"
#include "Views/HTTP/CollectionActions.h"

class AppState;
class CollectionFileRow;
class GradientButton;
class PressableButton;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QScrollArea;
class QStackedLayout;
class QVBoxLayout;
class RequestRow;

class RequestCollectionsPanel : public QWidget {
    Q_OBJECT
public:
    using Group = QPair<QString, QList<APICollectionFile>>;
    // A file with more requests than this starts collapsed unless it holds the active request.
    static constexpr int kExpandedRequestLimit = 8;

    RequestCollectionsPanel(AppState& app, QWidget* parent = nullptr);

    // Files grouped by the name of the folder holding each, groups in code-point order of their
    // composed names, files in the given order.
    static QList<Group> grouped(const QList<APICollectionFile>& collections);
    // Whether a file's requests are shown.
    static bool isExpanded(const APICollectionFile& file, const std::optional<QString>& activeFileUrl);

    // What is on screen now, for the window and for tests.
    QStringList groupNames() const;
    QList<CollectionFileRow*> fileRows() const;
    QList<RequestRow*> requestRows() const;
    QString emptyMessage() const;  // empty while the list shows
    GradientButton* newCollectionButton() const { return newCollection_; }
    PressableButton* plusButton() const { return plus_; }
    PressableButton* rescanButton() const { return rescan_; }
    QMenu* plusMenu() const { return plusMenu_; }
    QComboBox* environmentPicker() const { return envPicker_; }
    QWidget* environmentRow() const { return envRow_; }

    void rebuild();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeEnvironmentRow();
    QWidget* makeEmptyPage();
    void fillEnvironments();
    QWidget* makeList();
    QWidget* makeGroup(const Group& group, QWidget* parent);
    QWidget* makeFile(const APICollectionFile& file, QWidget* parent);
    // Everything the rows show; the list is rebuilt only when it changes.
    QStringList shownState() const;
    std::optional<APICollectionFile> currentFile(const QString& url) const;
    void withRequest(const QString& url, const QUuid& id,
                     const std::function<void(const HTTPRequest&, const APICollectionFile&)>& act);

    AppState& app_;
    CollectionActions actions_;
    PressableButton* plus_ = nullptr;
    PressableButton* rescan_ = nullptr;
    QMenu* plusMenu_ = nullptr;
    QWidget* envRow_ = nullptr;
    QComboBox* envPicker_ = nullptr;
    QStackedLayout* pages_ = nullptr;
    QWidget* emptyPage_ = nullptr;
    QLabel* emptyText_ = nullptr;
    GradientButton* newCollection_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QPointer<QWidget> list_;
    QStringList shown_;  // what list_ was built from
};
