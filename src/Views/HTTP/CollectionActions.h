#pragma once
// What the request collections panel does for each of its buttons and menu entries: asks for a
// name or a confirmation, calls the request service and the window state, and tells the user when
// the service could not do it.
#include <QString>
#include <functional>
#include <optional>

#include "API/APICollectionFile.h"
#include "API/HTTPRequest.h"

class AppState;

class CollectionActions {
public:
    explicit CollectionActions(AppState& app);

    // A name prompt with OK and Cancel; absent when cancelled or blank (spaces and tabs only).
    // The answer keeps its surrounding blanks.
    static std::optional<QString> ask(const QString& title, const QString& placeholder, const QString& initial);

    void promptNewCollection();
    void promptNewEnvironment(bool isSecret);
    void rescan();
    void promptAddRequest(const APICollectionFile& file);
    void promptRenameCollection(const APICollectionFile& file);
    void revealInFileViewer(const APICollectionFile& file);
    void confirmDeleteCollection(const APICollectionFile& file);
    void open(const HTTPRequest& request, const APICollectionFile& file);
    void promptRenameRequest(const HTTPRequest& request, const APICollectionFile& file);
    void duplicate(const HTTPRequest& request, const APICollectionFile& file);
    void deleteRequest(const HTTPRequest& request, const APICollectionFile& file);

    // Shows a file in the desktop's file viewer; replaceable so tests need no desktop.
    static std::function<void(const QString& path)>& revealHook();

    static QString baseName(const QString& fileUrl);
    static QString fileName(const QString& fileUrl);

private:
    bool isActiveFile(const QString& url) const;
    bool isActiveRequest(const HTTPRequest& request) const;

    AppState& app_;
};
