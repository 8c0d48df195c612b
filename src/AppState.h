#pragma once
// The model of one window: its folder tree, open documents and active tab, overlay flags, and the
// services it owns. Every setter announces its change (also when the value stays the same).
#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

#include "API/APICollectionFile.h"
#include "API/APIService.h"
#include "API/HTTPClient.h"
#include "API/HTTPRequest.h"
#include "API/HTTPResponse.h"
#include "API/ResponseHistory.h"
#include "Editor/EditorController.h"
#include "Editor/FindState.h"
#include "Git/GitFileChange.h"
#include "Git/GitService.h"
#include "Platform/SettingsStore.h"
#include "Platform/TextFile.h"
#include "SidebarPanel.h"
#include "WhatsNew.h"
#include "Workspace/DocumentReloader.h"
#include "Workspace/EditorDocument.h"
#include "Workspace/FileNode.h"

class FolderWatcher;

namespace SettingsKey {
inline const QString onboarded = QStringLiteral("ziduduzovu.onboarded");
inline const QString recentFolders = QStringLiteral("ziduduzovu.recentFolders");
inline const QString sessionFolder = QStringLiteral("ziduduzovu.session.folder");
inline const QString sessionDocs = QStringLiteral("ziduduzovu.session.docs");
inline const QString sessionActive = QStringLiteral("ziduduzovu.session.active");
inline const QString lastSeenVersion = QStringLiteral("ziduduzovu.lastSeenVersion");
inline const QString fontSize = QStringLiteral("ziduduzovu.editor.fontSize");
inline const QString tabWidth = QStringLiteral("ziduduzovu.editor.tabWidth");
inline const QString aiBackend = QStringLiteral("ziduduzovu.ai.backend");
// The values the Settings window's controls allow; whatever the settings file holds reads as one of them.
inline const SettingsStore::NumberRange fontSizeRange{9, 24, 13};
inline const QList<double> tabWidthChoices{2, 4, 8};
inline constexpr double defaultTabWidth = 4;
} // namespace SettingsKey

class AppState : public QObject {
    Q_OBJECT
public:
    enum class TerminateReply { terminateNow, cancel };

    explicit AppState(QObject* parent = nullptr);
    ~AppState() override;

    // The most recently created window state; absent once that one is gone.
    static AppState* shared();

    // --- published state
    const FileNode::Ptr& rootNode() const { return rootNode_; }
    const QList<EditorDocument*>& documents() const { return documents_; }
    const std::optional<QUuid>& activeDocumentId() const { return activeDocumentId_; }
    void setActiveDocumentId(const std::optional<QUuid>& id);
    EditorDocument* activeDocument() const;

    bool paletteOpen() const { return paletteOpen_; }
    void setPaletteOpen(bool v);
    bool quickOpenOpen() const { return quickOpenOpen_; }
    void setQuickOpenOpen(bool v);
    bool findOpen() const { return findOpen_; }
    void setFindOpen(bool v);
    bool goToLineOpen() const { return goToLineOpen_; }
    void setGoToLineOpen(bool v);
    bool projectSearchOpen() const { return projectSearchOpen_; }
    void setProjectSearchOpen(bool v);

    const std::optional<SidebarPanel>& sidebar() const { return sidebar_; }
    void setSidebar(const std::optional<SidebarPanel>& panel);
    const std::optional<GitFileChange>& activeDiff() const { return activeDiff_; }
    void setActiveDiff(const std::optional<GitFileChange>& change);
    const std::optional<WhatsNewEntry>& whatsNew() const { return whatsNew_; }
    void setWhatsNew(const std::optional<WhatsNewEntry>& entry);
    const QStringList& recentFolders() const { return recentFolders_; }

    // The HTTP request shown in the editor area, with a copy of the file that holds it.
    struct ActiveRequest {
        APICollectionFile file;
        HTTPRequest request;
        // A replayed request whose id is in no file: edits would reach nothing, so none are taken.
        bool detached = false;
    };
    const std::optional<ActiveRequest>& activeRequest() const { return activeRequest_; }
    bool hasActiveRequest() const { return activeRequest_.has_value(); }
    void clearActiveRequest();
    const std::optional<HTTPResponse>& lastResponse() const { return lastResponse_; }
    bool isSending() const { return !sends_.isEmpty(); }

    // --- owned services, created once
    FindState& findState() { return findState_; }
    EditorController& editorController() { return editorController_; }
    GitService& git() { return git_; }
    APIService& api() { return api_; }
    ResponseHistory& history() { return history_; }

    // --- the active HTTP request
    void openRequest(const HTTPRequest& request, const APICollectionFile& file);
    void openNewlyCreated(const QString& fileUrl, const QString& name);
    void updateActiveRequest(const HTTPRequest& request);
    void sendActiveRequest();
    // Stops every send in flight; each then shows and records as cancelled.
    void cancelSends();
    void replay(const QUuid& entryId);

    // --- documents and tabs
    void open(const QString& path);
    void newUntitled();
    void close(EditorDocument* document);
    void cycleTab(int offset);
    void selectTab(EditorDocument* document);
    bool hasUnsavedChanges() const;
    // inBackground: the file is written on another thread and a failure is reported when it ends
    // (a save from the window, which a large file must not hold up).
    bool save(EditorDocument* document, bool inBackground = false);
    TerminateReply confirmTerminate();
    // Asked before the window closes: the same question as quitting, for this window's documents.
    TerminateReply confirmCloseWindow();
    QStringList quickOpenFiles() const;

    // --- file operations of the explorer, kept in step with the open documents
    // Renames a file or folder; every open document at or under it follows it. False when not renamed.
    bool renameEntry(const QString& from, const QString& to);
    // Moves a file or folder to the Trash and closes the open documents at or under it, asking first
    // about each one with unsaved changes. False when cancelled or not moved.
    bool moveToTrash(const QString& path);

    // --- folder, external changes, session, release notes
    void openFolder(const QString& path);
    void promptOpenFolder();
    void saveSession() const;
    void restoreSession();
    void checkWhatsNew();
    // Runs what the folder watcher triggers; public so the window can force a refresh.
    void handleExternalChange();
    // Runs what the folder watcher saw change, and only that.
    void handleWatchedChanges();
    // False while some folder under the open one goes unwatched (the folder itself cannot be
    // watched, or the system ran out of watches).
    bool watchesEverything() const;
    // A changed file of an open document is still being read.
    bool isReloading() const { return reloader_.isBusy(); }
    // Lists the loaded part of the tree again when some of it is not watched (as it is shown).
    void refreshUnwatched();

signals:
    void changed();  // any change, including a whole-object refresh
    void rootNodeChanged();
    void documentsChanged();
    void activeDocumentIdChanged();
    void overlaysChanged();
    void sidebarChanged();
    void activeDiffChanged();
    void activeRequestChanged();
    void lastResponseChanged();
    void isSendingChanged();
    void whatsNewChanged();
    void recentFoldersChanged();

private:
    // open() with the file possibly read already (absent: read it here, if it is not open yet).
    void open(const QString& path, std::optional<TextFile::ReadResult> read);
    EditorDocument* documentWithUrl(const QString& path) const;
    bool confirmDiscard(EditorDocument* document);
    bool confirmDiskChange(EditorDocument* document);
    QList<EditorDocument*> documentsAtOrUnder(const QString& path) const;
    void removeDocument(EditorDocument* document);
    TerminateReply confirmUnsaved(const QString& informative);
    // Waits for the saves under way and takes their outcomes.
    void finishSaves();
    bool saveToChosenLocation(EditorDocument* document, bool inBackground);
    bool writeOrReport(EditorDocument* document, const std::optional<QString>& to, bool inBackground);
    void rememberFolder(const QString& path);
    void startWatching(const QString& path);
    void tellOfUnwatchedFolders();
    void withdrawAlert(QString& told);
    void setFlag(bool& field, bool value);
    void setActiveRequest(const std::optional<ActiveRequest>& value);
    void setLastResponse(const std::optional<HTTPResponse>& value);
    void rebindActiveRequest();
    // The request with that id in the service's record of the file; null when there is none.
    const HTTPRequest* storedRequest(const QString& fileUrl, const QUuid& id) const;
    template <class Signal>
    void announce(Signal signal);

    FileNode::Ptr rootNode_;
    QList<EditorDocument*> documents_;
    std::optional<QUuid> activeDocumentId_;
    bool paletteOpen_ = false;
    bool quickOpenOpen_ = false;
    bool findOpen_ = false;
    bool goToLineOpen_ = false;
    bool projectSearchOpen_ = false;
    FindState findState_;
    EditorController editorController_;
    GitService git_;
    APIService api_;
    ResponseHistory history_;
    std::optional<ActiveRequest> activeRequest_;
    std::optional<HTTPResponse> lastResponse_;
    QMap<quint64, HTTPClient::Cancel> sends_;  // the sends in flight, by serial number
    quint64 sendSerial_ = 0;
    std::optional<SidebarPanel> sidebar_ = SidebarPanel::explorer;
    std::optional<GitFileChange> activeDiff_;
    std::optional<WhatsNewEntry> whatsNew_;
    QStringList recentFolders_;
    std::unique_ptr<FolderWatcher> watcher_;
    // Titles of the watching troubles told while they last; empty when none is.
    QString toldFolderError_;
    QString toldOutOfWatches_;
    DocumentReloader reloader_;
};
