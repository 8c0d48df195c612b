#include "Views/HTTP/CollectionActions.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "AppState.h"
#include "Platform/Prompter.h"
#include "Views/HTTP/ServiceFailure.h"

namespace {

bool blank(const QString& text) {
    for (QChar c : text)
        if (c != u' ' && c != u'\t') return false;
    return true;
}

} // namespace

CollectionActions::CollectionActions(AppState& app) : app_(app) {}

std::function<void(const QString&)>& CollectionActions::revealHook() {
    static std::function<void(const QString&)> hook = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    return hook;
}

QString CollectionActions::fileName(const QString& fileUrl) { return QFileInfo(fileUrl).fileName(); }

QString CollectionActions::baseName(const QString& fileUrl) {
    const QString name = fileName(fileUrl);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

std::optional<QString> CollectionActions::ask(const QString& title, const QString& placeholder,
                                              const QString& initial) {
    TextPrompt prompt;
    prompt.title = title;
    prompt.placeholder = placeholder;
    prompt.initialText = initial;
    const std::optional<QString> answer = Prompter::current().askText(prompt);
    if (!answer || blank(*answer)) return std::nullopt;
    return answer;
}

bool CollectionActions::isActiveFile(const QString& url) const {
    return app_.activeRequest() && app_.activeRequest()->file.url == url;
}

bool CollectionActions::isActiveRequest(const HTTPRequest& request) const {
    return app_.activeRequest() && app_.activeRequest()->request.id == request.id;
}

void CollectionActions::promptNewCollection() {
    const auto name = ask(QStringLiteral("New Collection"), QStringLiteral("users"), {});
    if (!name) return;
    ServiceFailure failure(app_.api());
    const auto url = app_.api().createCollection(*name);
    if (failure.report(QStringLiteral("The collection could not be created.")) || !url) return;
    for (const APICollectionFile& file : app_.api().collections()) {
        if (file.url != *url) continue;
        if (!file.requests.isEmpty()) app_.openRequest(file.requests.first(), file);
        return;
    }
}

void CollectionActions::promptNewEnvironment(bool isSecret) {
    const auto name = isSecret ? ask(QStringLiteral("New Secrets Environment"), QStringLiteral("secrets"), {})
                               : ask(QStringLiteral("New Environment"), QStringLiteral("local"), {});
    if (!name) return;
    ServiceFailure failure(app_.api());
    app_.api().createEnvironment(*name, isSecret);
    failure.report(QStringLiteral("The environment could not be created."));
}

// The files are read on another thread and taken in when done, as for changes seen on disk.
void CollectionActions::rescan() { app_.api().reloadLater(); }

void CollectionActions::promptAddRequest(const APICollectionFile& file) {
    const auto name = ask(QStringLiteral("Add Request"), QStringLiteral("Get user"), {});
    if (!name) return;
    ServiceFailure failure(app_.api());
    const auto added = app_.api().addRequest(*name, file.url);
    if (failure.report(QStringLiteral("The request could not be added.")) || !added) return;
    app_.openNewlyCreated(file.url, added->name);
}

void CollectionActions::promptRenameCollection(const APICollectionFile& file) {
    const QString base = baseName(file.url);
    const auto name = ask(QStringLiteral("Rename Collection"), base, base);
    if (!name) return;
    ServiceFailure failure(app_.api());
    app_.api().renameCollection(file.url, *name);
    failure.report(QStringLiteral("The collection could not be renamed."));
}

void CollectionActions::revealInFileViewer(const APICollectionFile& file) {
    if (revealHook()) revealHook()(file.url);
}

void CollectionActions::confirmDeleteCollection(const APICollectionFile& file) {
    Alert alert;
    alert.title = QStringLiteral("Delete collection “%1”?").arg(fileName(file.url));
    alert.message = QStringLiteral("The file (and its containing folder if it becomes empty) will be moved to the Trash.");
    alert.buttons = {QStringLiteral("Move to Trash"), QStringLiteral("Cancel")};
    alert.warning = true;
    if (Prompter::current().ask(alert) != 0) return;
    if (isActiveFile(file.url)) app_.clearActiveRequest();
    ServiceFailure failure(app_.api());
    app_.api().deleteCollection(file.url);
    failure.report(QStringLiteral("The collection could not be moved to the Trash."));
}

void CollectionActions::open(const HTTPRequest& request, const APICollectionFile& file) {
    app_.openRequest(request, file);
}

void CollectionActions::promptRenameRequest(const HTTPRequest& request, const APICollectionFile& file) {
    const auto name = ask(QStringLiteral("Rename Request"), request.name, request.name);
    if (!name) return;
    {
        ServiceFailure failure(app_.api());
        app_.api().rename(request, *name, file.url);
        if (failure.report(QStringLiteral("The request could not be renamed."))) return;
    }
    if (!isActiveRequest(request)) return;
    for (const APICollectionFile& f : app_.api().collections()) {
        if (f.url != file.url) continue;
        for (const HTTPRequest& r : f.requests)
            if (r.id == request.id) return app_.openRequest(r, f);
        return;
    }
}

void CollectionActions::duplicate(const HTTPRequest& request, const APICollectionFile& file) {
    ServiceFailure failure(app_.api());
    const auto copy = app_.api().duplicate(request, file.url);
    if (failure.report(QStringLiteral("The request could not be duplicated.")) || !copy) return;
    app_.openNewlyCreated(file.url, copy->name);
}

void CollectionActions::deleteRequest(const HTTPRequest& request, const APICollectionFile& file) {
    if (isActiveRequest(request)) app_.clearActiveRequest();
    ServiceFailure failure(app_.api());
    app_.api().deleteRequest(request, file.url);
    failure.report(QStringLiteral("The request could not be deleted."));
}
