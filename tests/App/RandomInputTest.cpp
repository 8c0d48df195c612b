// Random keys, clicks, wheel turns and focus changes driven into a real window on a generated folder.
// Fails on a crash or sanitizer report (the process dies), on a turn of the event loop that takes
// longer than 5 s besides the time a loaded machine kept it waiting for a processor, and on a file
// on disk that changed with no save, rename, delete or menu choice just before it.
// Environment: BRIMEL_RANDOM_SEED, BRIMEL_RANDOM_STEPS, BRIMEL_RANDOM_SECONDS; BRIMEL_RANDOM_TRACE
// prints every step. Every failure names the seed and the step that replays it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QApplication>
#include <QCursor>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <unistd.h>

#include "API/LoopbackServer.h"
#include "API/WorkspaceScanner.h"
#include "App/MainWindow.h"
#include "App/WindowManager.h"
#include "AppState.h"
#include "WhatsNew.h"
#include "Git/AIService.h"
#include "Git/GitTestSupport.h"
#include "Platform/NotificationCenter.h"
#include "Platform/SettingsStore.h"
#include "MenuCommands.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "UI/PressableButton.h"
#include "Views/HTTP/CollectionActions.h"
#include "Views/HTTP/KeyValueEditor.h"
#include "Views/HTTP/RequestBodyEditor.h"
#include "Views/HTTP/RequestView.h"
#include "Views/Editor/CodeEditorView.h"
#include "Workspace/EditorDocument.h"
#include "Views/Navigation/CommandPaletteView.h"
#include "Views/Navigation/QuickOpenView.h"
#include "Views/PaletteField.h"
#include "Views/PaletteRow.h"
#include "Views/RootView.h"
#include "Views/Workbench/ActivityBar.h"
#include "Views/Workbench/StatusBarView.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
#include <sanitizer/common_interface_defs.h>
#define BRIMEL_HAS_SANITIZER 1
#endif

using namespace testing_support;

namespace {

// What a dying process prints: read from a sanitizer's death callback or the watchdog thread.
std::atomic<unsigned long long> g_seed{0};
std::atomic<long> g_step{-1};
char g_action[160] = "";
QtMessageHandler g_previousHandler = nullptr;

void printWhereWeAre(const char* why) {
    std::fprintf(stderr, "\nrandom input: %s at seed %llu step %ld (%s); replay with BRIMEL_RANDOM_SEED=%llu "
                         "BRIMEL_RANDOM_STEPS=%ld\n",
                 why, g_seed.load(), g_step.load(), g_action, g_seed.load(), g_step.load() + 1);
    std::fflush(stderr);
}

using Clock = std::chrono::steady_clock;
qint64 nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// A thread's time on a processor and waiting in the run queue for one, in ns, from the
// scheduler's own figures; zero where the kernel keeps none.
struct ThreadTimes {
    qint64 running = 0;
    qint64 waiting = 0;
};

ThreadTimes timesOf(pid_t thread) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/schedstat", int(thread));
    ThreadTimes times;
    if (std::FILE* file = std::fopen(path, "r")) {
        long long running = 0, waiting = 0;
        if (std::fscanf(file, "%lld %lld", &running, &waiting) == 2) times = {running, waiting};
        std::fclose(file);
    }
    return times;
}

// Aborts the process when the main thread's heartbeat stops for longer than the limit, counting the
// turn's own time: on a processor, or blocked on something it waits for, but not the time a loaded
// machine kept it waiting for a processor. Every turn over a second is logged with its figures.
class Watchdog {
public:
    explicit Watchdog(int limitMs) : limitMs_(limitMs), thread_(gettid()) {
        beat();
        heartbeat_.setInterval(20);
        QObject::connect(&heartbeat_, &QTimer::timeout, [this] { beat(); });
        heartbeat_.start();
        watcher_ = std::thread([this] {
            while (!stop_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                const Turn turn = sinceBeat();
                if (turn.ownMs() > limitMs_) {
                    report("the event loop did not turn for 5 s of its own time", turn);
                    std::abort();
                }
            }
        });
    }
    ~Watchdog() {
        stop_ = true;
        watcher_.join();
        std::printf("random input: the longest turn took %lld ms: %lld ms on a processor, %lld ms waiting for one, "
                    "after step %ld (%s)\n",
                    static_cast<long long>(longest_.wallMs), static_cast<long long>(longest_.cpuMs),
                    static_cast<long long>(longest_.waitingMs), longestStep_, longestAction_.constData());
    }
    void beat() {
        const Turn turn = sinceBeat();
        if (turn.wallMs > 1000) report("a long turn", turn);
        if (turn.ownMs() > longest_.ownMs()) {
            longest_ = turn;
            longestStep_ = g_step;
            longestAction_ = g_action;
        }
        const Beat now{nowMs(), timesOf(thread_)};
        const std::lock_guard lock(mutex_);
        last_ = now;
    }

private:
    struct Turn {
        qint64 wallMs = 0;
        qint64 cpuMs = 0;
        qint64 waitingMs = 0;
        qint64 ownMs() const { return wallMs - waitingMs; }
    };
    // Read together, so a turn is never measured from one beat's clock and another's figures.
    struct Beat {
        qint64 atMs = 0;
        ThreadTimes times;
    };
    Turn sinceBeat() const {
        Beat last;
        {
            const std::lock_guard lock(mutex_);
            last = last_;
        }
        if (last.atMs == 0) return {};
        const ThreadTimes times = timesOf(thread_);
        return {nowMs() - last.atMs, (times.running - last.times.running) / 1000000,
                (times.waiting - last.times.waiting) / 1000000};
    }
    static void report(const char* what, const Turn& turn) {
        char why[200];
        std::snprintf(why, sizeof why, "%s (%lld ms: %lld ms on a processor, %lld ms waiting for one)", what,
                      static_cast<long long>(turn.wallMs), static_cast<long long>(turn.cpuMs),
                      static_cast<long long>(turn.waitingMs));
        printWhereWeAre(why);
    }

    const int limitMs_;
    const pid_t thread_;
    QTimer heartbeat_;
    mutable std::mutex mutex_;
    Beat last_;
    std::atomic<bool> stop_{false};
    Turn longest_;
    long longestStep_ = -1;
    QByteArray longestAction_;
    std::thread watcher_;
};

// Bytes of every file under the folder outside .git.
std::map<QString, QByteArray> snapshot(const QString& root) {
    std::map<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains(QStringLiteral("/.git/"))) continue;
        files[path.mid(root.size() + 1)] = readBytes(path);
    }
    return files;
}

// The sample folder (code files and request files) as a git repository with a change and a new file.
void makeFolder(TempFolder& dir) {
    const QString from = QStringLiteral(BRIMEL_SOURCE_DIR "/tests/App/sample-folder");
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        dir.write(path.mid(from.size() + 1), readBytes(path));
    }
    git_test::gitOk(dir.path(), {"init", "-q"});
    git_test::gitOk(dir.path(), {"add", "-A"});
    git_test::gitOk(dir.path(), {"commit", "-q", "-m", "start"});
    dir.write("README.md", "# Sample\n\nChanged in the worktree.\n");
    // With a long run of empty lines, which the editor shows in blocks of many lines.
    dir.write("notes.txt", "untracked\n" + QByteArray(150, '\n') + "end\n");
}

qint64 envNumber(const char* name, qint64 fallback) {
    bool ok = false;
    const qint64 value = qEnvironmentVariable(name).toLongLong(&ok);
    return ok ? value : fallback;
}

class RandomInput {
public:
    RandomInput(unsigned long long seed, const QString& root, MainWindow* window)
        : rng_(seed), root_(root), window_(window), before_(snapshot(root)) {
        server_.respondTo("/slow", {.body = "slow answer", .trickleMs = 450});
        server_.respondTo("/large", {.headers = {{"Content-Type", "application/json"}},
                                     .body = "{\"items\": [" + QByteArray("\"abcdefgh\",").repeated(110000) + "0]}"});
        for (QAction* top : window->menuBar()->actions())
            if (top->menu())
                for (QAction* item : top->menu()->actions())
                    if (item->text() != QStringLiteral("Quit"))
                        for (const QKeySequence& keys : item->shortcuts()) menuKeys_ << keys[0];
        QObject::connect(&NotificationCenter::shared(), &NotificationCenter::posted, &context_,
                         [this](const QString& name) {
                             if (name == MenuNotification::save) confirm();
                         });
    }

    // Performs one step; false with a message when the disk changed unconfirmed.
    bool step(long index, QString* failure) {
        g_step = index;
        failure_ = failure;
        prompter_.answers.clear();
        prompter_.texts.clear();
        chooser_.answers.clear();
        for (int i = 0; i < 3; ++i) {
            prompter_.answers.push_back(pick(3) == 0 ? -1 : pick(3));
            prompter_.texts.push_back(pick(3) == 0 ? std::nullopt
                                                   : std::optional<QString>(QStringLiteral("n%1").arg(pick(1000))));
            chooser_.answers.push_back(pick(2) == 0 ? std::nullopt : std::optional<QString>(chosenPath()));
        }
        const qsizetype askedBefore = prompter_.asked.size() + prompter_.askedText.size() + chooser_.asked.size();
        hideQuit();
        if (QApplication::activePopupWidget()) confirm();  // a menu or popover choice is the user's word
        const auto watchRequests = QObject::connect(&window_->state(), &AppState::activeRequestChanged, &context_,
                                                    [this] { requestEditedAt_ = nowMs(); });
        if (!checkRestingPointer(failure)) return false;
        act();
        QObject::disconnect(watchRequests);
        if (!failure->isEmpty()) return false;
        const qsizetype askedAfter = prompter_.asked.size() + prompter_.askedText.size() + chooser_.asked.size();
        if (askedAfter > askedBefore) confirm();  // an answered question may rename, delete or save
        return checkDisk(failure);
    }

    // Quit would end the run and delete the window under it: neither its key nor its menu item, in
    // this window nor in any the input opened since.
    static void hideQuit() {
        for (MainWindow* w : WindowManager::shared().windows())
            for (QAction* top : w->menuBar()->actions())
                if (top->menu())
                    for (QAction* item : top->menu()->actions())
                        if (item->text() == QStringLiteral("Quit")) item->setVisible(false);
    }

    // Closes whatever popup or modal dialog the input left open, so nested loops unwind.
    static void closeTransients() {
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    void confirm() { confirmedAt_ = nowMs(); }

    QString chosenPath() {
        static const char* const names[] = {"", "src", "saved.txt", "web/app.js", "api/new.http"};
        const QString name = QString::fromLatin1(names[pick(5)]);
        return name.isEmpty() ? root_ : root_ + "/" + name;
    }

    // The window that takes input: a popup or modal dialog when one is open, else the active window.
    QWidget* target() const {
        if (QWidget* popup = QApplication::activePopupWidget()) return popup;
        if (QWidget* modal = QApplication::activeModalWidget()) return modal;
        if (QWidget* active = QApplication::activeWindow()) return active;
        return window_;
    }

    void describe(const QString& what) {
        const QByteArray text = what.toUtf8().left(sizeof g_action - 1);
        std::memcpy(g_action, text.constData(), text.size());
        g_action[text.size()] = '\0';
        if (trace_) std::fprintf(stderr, "step %ld: %s\n", g_step.load(), g_action);
    }

    // Events go straight to their widgets, as the window would route them (the shortcut map runs first
    // for keys); nothing here turns the event loop, so one step never runs inside another.
    void act() {
        QWidget* to = target();
        if (to == window_ && pick(100) < 15) return requestAction();
        if (pick(8) == 0) return focusAndPointerStep(to);
        const int kind = pick(100);
        if (kind < 32) {
            static const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Backtab,
                                           Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down,
                                           Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Home, Qt::Key_End,
                                           Qt::Key_PageDown, Qt::Key_Space, Qt::Key_BraceLeft, Qt::Key_QuoteDbl};
            const int which = pick(26 + 16);
            const Qt::Key k = which < 26 ? Qt::Key(Qt::Key_A + which) : keys[which - 26];
            const int m = pick(10);
            key(to, k, m < 7 ? Qt::NoModifier : m < 9 ? Qt::ShiftModifier : Qt::AltModifier);
        } else if (kind < 52) {
            QList<QKeyCombination> pool = menuKeys_;
            for (QShortcut* shortcut : to->findChildren<QShortcut*>())
                if (!shortcut->key().isEmpty()) pool << shortcut->key()[0];
            const QKeyCombination keys = pool[pick(int(pool.size()))];
            key(to, keys.key(), keys.keyboardModifiers());
        } else if (kind < 64) {
            click(to, QPoint(pick(std::max(1, to->width())), pick(std::max(1, to->height()))));
        } else if (kind < 80) {
            // A random visible leaf widget: buttons, rows, chips and fields of every panel; now and then
            // one of the rail or the status bar, which switch panels and open popovers.
            QWidget* within = to;
            if (kind < 70) {
                QList<QWidget*> bars;
                for (QWidget* bar : to->findChildren<ActivityBar*>()) bars << bar;
                for (QWidget* bar : to->findChildren<StatusBarView*>()) bars << bar;
                if (!bars.isEmpty()) within = bars[pick(int(bars.size()))];
            }
            QList<QWidget*> leaves;
            for (QWidget* w : within->findChildren<QWidget*>())
                if (w->isVisible() && w->isEnabled() && w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty())
                    leaves << w;
            if (leaves.isEmpty()) return;
            QWidget* leaf = leaves[pick(int(leaves.size()))];
            click(to, leaf->mapTo(to, leaf->rect().center()));
        } else if (kind < 86) {
            const QPoint at(pick(std::max(1, to->width())), pick(std::max(1, to->height())));
            QWidget* under = to->childAt(at);
            if (!under) under = to;
            const QPoint delta(0, (pick(2) ? 1 : -1) * 120 * (1 + pick(3)));
            const Qt::KeyboardModifiers mods = pick(5) == 0 ? Qt::ControlModifier : Qt::NoModifier;
            describe(QStringLiteral("wheel %1 on %2").arg(delta.y()).arg(name(under)));
            QWheelEvent wheel(under->mapFrom(to, at), to->mapToGlobal(at), QPoint(), delta, Qt::NoButton, mods,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(under, &wheel);
        } else if (kind < 96) {
            // The focus moves anywhere that takes it, text or not.
            QList<QWidget*> takers{to};
            for (QWidget* w : to->findChildren<QWidget*>())
                if (w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus) takers << w;
            QWidget* next = takers[pick(int(takers.size()))];
            describe(QStringLiteral("focus %1").arg(name(next)));
            next->setFocus(Qt::OtherFocusReason);
        } else {
            QList<QWidget*> windows;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowType() != Qt::Popup && w->windowType() != Qt::ToolTip) windows << w;
            if (windows.isEmpty()) return;
            QWidget* next = windows[pick(int(windows.size()))];
            describe(QStringLiteral("activate %1").arg(name(next)));
            next->activateWindow();
            QApplication::setActiveWindow(next);
        }
    }

    // --- the request panel's actions: open, rename, replay, duplicate, delete, form rows, and sends
    // to a slow and to a large answer of the loopback server, with the next request opened while
    // the large one is still being prepared for showing.
    RequestView* requestView() const {
        for (RequestView* view : window_->findChildren<RequestView*>())
            if (view->isVisible()) return view;
        return nullptr;
    }

    void requestAction() {
        AppState& app = window_->state();
        CollectionActions actions(app);
        QList<std::pair<HTTPRequest, APICollectionFile>> requests;
        for (const APICollectionFile& f : app.api().collections())
            for (const HTTPRequest& r : f.requests) requests.append({r, f});
        if (requests.isEmpty()) {
            // Every request was deleted: the user makes a new collection (its file is written).
            describe(QStringLiteral("new collection"));
            confirm();
            if (const auto url = app.api().createCollection(QStringLiteral("c%1").arg(pick(100))))
                app.openNewlyCreated(*url, QStringLiteral("New request"));
            return;
        }
        const auto [request, file] = requests[pick(int(requests.size()))];
        switch (pick(10)) {
        case 0:
            describe(QStringLiteral("rename collection %1").arg(file.url));
            confirm();
            return actions.promptRenameCollection(file);
        case 1: {
            const QList<ResponseHistoryEntry> entries = app.history().entries();
            if (entries.isEmpty()) break;
            describe(QStringLiteral("replay a response"));
            return app.replay(entries[pick(int(entries.size()))].id);
        }
        case 2:
            describe(QStringLiteral("duplicate %1").arg(request.name));
            confirm();
            return actions.duplicate(request, file);
        case 3:
            describe(QStringLiteral("delete %1").arg(request.name));
            confirm();
            return actions.deleteRequest(request, file);
        case 4: return formRows();
        case 5:
        case 6: {
            const bool large = pick(2) == 0;
            describe(QStringLiteral("send to the %1 answer").arg(large ? "large" : "slow"));
            if (!requestView()) actions.open(request, file);
            sendTo(server_.url(large ? QStringLiteral("/large") : QStringLiteral("/slow")));
            if (!large || pick(2) == 0) return;
            // Another request while the answer is being prepared for showing.
            const auto [other, otherFile] = requests[pick(int(requests.size()))];
            QTimer::singleShot(pick(50), &context_, [&app, other, otherFile] { CollectionActions(app).open(other, otherFile); });
            return;
        }
        case 7: {
            const QList<APIEnvironment> environments = app.api().environments();
            describe(QStringLiteral("switch environment"));
            return app.api().setActiveEnvironment(environments.isEmpty() || pick(4) == 0
                                                      ? std::nullopt
                                                      : std::optional(environments[pick(int(environments.size()))].name));
        }
        default: break;
        }
        describe(QStringLiteral("open %1").arg(request.name));
        actions.open(request, file);
    }

    void sendTo(const QString& url) {
        RequestView* view = requestView();
        if (!view || view->isReadOnly()) return;
        view->urlField()->setText(url);
        emit view->urlField()->textEdited(url);
        view->send();
    }

    // Form rows typed, added, switched off and removed, with characters that must be encoded.
    void formRows() {
        RequestView* view = requestView();
        if (!view) {
            // A file whose last request was just deleted stays listed, empty, until the next reading.
            for (const APICollectionFile& file : window_->state().api().collections()) {
                if (file.requests.isEmpty()) continue;
                CollectionActions(window_->state()).open(file.requests.first(), file);
                break;
            }
            view = requestView();
        }
        if (!view || view->isReadOnly()) return;
        RequestBodyEditor* body = view->bodyEditor();
        view->setTab(RequestView::Tab::body);
        body->chooseKind(BodyKind::form);
        KeyValueEditor* form = body->formEditor();
        const int rows = form->rowCount();
        const int what = rows == 0 ? 0 : pick(4);
        describe(QStringLiteral("form rows: %1 of %2").arg(what).arg(rows));
        if (what == 0) return form->addButton()->click();
        const int row = pick(rows);
        if (what == 3) {
            if (auto* box = form->findChildren<QCheckBox*>().value(row)) box->click();
            return;
        }
        static const char* const texts[] = {"na me", "a&b=c d", "{{base}}", "~x", "+%"};
        QLineEdit* field = what == 1 ? form->keyField(row) : form->valueField(row);
        if (!field) return;
        field->setFocus(Qt::OtherFocusReason);
        QTest::keyClicks(field, QString::fromLatin1(texts[pick(5)]));
    }

    // ---- Tab and Shift+Tab in every widget, and a pointer resting over lists while keys are typed.

    void focusAndPointerStep(QWidget* to) {
        switch (pick(3)) {
        case 0: return tabFromAnywhere(to);
        case 1: return parkPointerOverAList(to);
        default: return typeUnderTheRestingPointer(to);
        }
    }

    RootView* rootView() const { return window_->rootView(); }

    // The overlay in front of the window's workbench, if one is open.
    QWidget* frontOverlay() const {
        RootView* root = rootView();
        if (!root) return nullptr;
        for (auto which : {RootView::Overlay::projectSearch, RootView::Overlay::goToLine, RootView::Overlay::quickOpen,
                           RootView::Overlay::palette})
            if (QWidget* overlay = root->overlay(which)) return overlay;
        return nullptr;
    }

    // Focuses any widget that takes the focus, then presses Tab or Shift+Tab there: the focus stays
    // in an overlay that is open and in an editable editor, and no text changes but the focused one's.
    void tabFromAnywhere(QWidget* to) {
        QList<QWidget*> takers;
        for (QWidget* w : to->findChildren<QWidget*>())
            if (w->isVisible() && w->isEnabled() && w->focusPolicy() != Qt::NoFocus) takers << w;
        if (takers.isEmpty()) return;
        QWidget* from = takers[pick(int(takers.size()))];
        from->setFocus(Qt::OtherFocusReason);
        QWidget* focus = QApplication::focusWidget();
        if (!focus) return;
        const bool backward = pick(2) == 0;
        QPointer<QWidget> overlay = frontOverlay();
        QPointer<CodeEditorView> editor = qobject_cast<CodeEditorView*>(focus);
        if (editor && editor->isReadOnly()) editor = nullptr;
        EditorDocument* document = window_->state().activeDocument();
        const QString before = document ? document->text() : QString();
        QPointer<EditorDocument> watched = document;
        key(to, backward ? Qt::Key_Backtab : Qt::Key_Tab, backward ? Qt::ShiftModifier : Qt::NoModifier);
        QWidget* now = QApplication::focusWidget();
        if (overlay && overlay->isAncestorOf(focus) && overlay == frontOverlay() && now && !overlay->isAncestorOf(now) &&
            now->window() == overlay->window())
            *failure_ = QStringLiteral("Tab left the open overlay for %1").arg(name(now));
        else if (editor && now != editor)
            *failure_ = QStringLiteral("Tab left the editor for %1").arg(now ? name(now) : QStringLiteral("nothing"));
        else if (!editor && watched && watched->text() != before && !qobject_cast<CodeEditorView*>(focus))
            *failure_ = QStringLiteral("Tab in %1 changed the document").arg(name(focus));
    }

    // Moves the pointer over a row of a visible list (an overlay's rows or the explorer's) and leaves it there.
    void parkPointerOverAList(QWidget* to) {
        // Most of the time over the rows of a palette or quick open, opened by their keys if need be.
        if (to == window_ && !frontOverlay() && pick(3) > 0)
            key(to, pick(2) ? Qt::Key_K : Qt::Key_P, Qt::ControlModifier);
        QList<QWidget*> spots;
        for (PaletteRow* row : to->findChildren<PaletteRow*>())
            if (row->isVisible()) spots << row;
        for (QListView* list : to->findChildren<QListView*>())
            if (list->isVisible()) spots << list->viewport();
        if (spots.isEmpty()) return;
        QWidget* spot = spots[pick(int(spots.size()))];
        const QPoint at(pick(std::max(1, spot->width())), pick(std::max(1, spot->height())));
        describe(QStringLiteral("pointer rests on %1").arg(name(spot)));
        QCursor::setPos(spot->mapToGlobal(at));
        parkedAt_ = QCursor::pos();
    }

    // Types a letter while the pointer has not moved; an overlay's query change selects its first row,
    // which is checked once the rows built for it have had their events.
    void typeUnderTheRestingPointer(QWidget* to) {
        if (!parkedAt_ || QCursor::pos() != *parkedAt_) return;
        QWidget* overlay = frontOverlay();
        auto* palette = qobject_cast<CommandPaletteView*>(overlay);
        auto* quick = qobject_cast<QuickOpenView*>(overlay);
        // Into the overlay's field, as a user types there; letters most names hold keep most rows.
        if (palette) palette->field()->lineEdit()->setFocus();
        if (quick) quick->field()->lineEdit()->setFocus();
        const QString before = palette ? palette->query() : quick ? quick->query() : QString();
        static const Qt::Key common[] = {Qt::Key_E, Qt::Key_A, Qt::Key_I, Qt::Key_L, Qt::Key_O, Qt::Key_T, Qt::Key_S};
        key(to, pick(4) ? common[pick(7)] : Qt::Key(Qt::Key_A + pick(26)), Qt::NoModifier);
        // Only a key that changed the query must bring the selection back to the first row (one the
        // field never got, the focus being held elsewhere, leaves the selection as it was).
        if (palette && palette->query() != before) pendingFirstRow_ = {palette, palette->query()};
        else if (quick && quick->query() != before) pendingFirstRow_ = {quick, quick->query()};
    }

    int selectionOf(QWidget* overlay, QString* query) const {
        if (auto* palette = qobject_cast<CommandPaletteView*>(overlay)) {
            *query = palette->query();
            return palette->selection();
        }
        if (auto* quick = qobject_cast<QuickOpenView*>(overlay)) {
            *query = quick->query();
            return quick->selection();
        }
        return 0;
    }

    bool checkRestingPointer(QString* failure) {
        const auto [overlay, query] = std::exchange(pendingFirstRow_, {});
        if (!overlay || !parkedAt_ || QCursor::pos() != *parkedAt_) return true;
        QString now;
        const int selection = selectionOf(overlay, &now);
        if (now != query || selection == 0) return true;
        *failure = QStringLiteral("a row under the resting pointer took the selection (row %1) after typing").arg(selection);
        return false;
    }

    void key(QWidget* to, Qt::Key k, Qt::KeyboardModifiers mods) {
        QWidget* focus = QApplication::focusWidget();
        QPointer<QWidget> receiver = focus && focus->window() == to ? focus : to->focusWidget();
        if (!receiver) receiver = to;
        describe(QStringLiteral("key %1 to %2").arg(QKeySequence(k | mods).toString(), name(receiver)));
        QString text;
        if (!(mods & (Qt::ControlModifier | Qt::AltModifier))) {
            if (k >= Qt::Key_A && k <= Qt::Key_Z)
                text = QChar(char16_t((mods & Qt::ShiftModifier ? u'A' : u'a') + (k - Qt::Key_A)));
            else if (k == Qt::Key_Space || k == Qt::Key_BraceLeft || k == Qt::Key_QuoteDbl)
                text = QChar(char16_t(k));
            else if (k == Qt::Key_Return)
                text = QStringLiteral("\r");
            else if (k == Qt::Key_Tab)
                text = QStringLiteral("\t");
        }
        QKeyEvent press(QEvent::KeyPress, k, mods, text);
        QCoreApplication::sendEvent(receiver, &press);
        if (!receiver) return;
        QKeyEvent release(QEvent::KeyRelease, k, mods, text);
        QCoreApplication::sendEvent(receiver, &release);
    }

    void click(QWidget* to, QPoint at) {
        const int b = pick(20);
        const Qt::MouseButton button = b < 17 ? Qt::LeftButton : b < 19 ? Qt::RightButton : Qt::MiddleButton;
        const bool twice = pick(10) == 0;
        QWidget* under = to->childAt(at);
        QPointer<QWidget> receiver = under ? under : to;
        describe(QStringLiteral("%1 %2 at %3,%4 on %5")
                     .arg(twice ? "double-click" : "click")
                     .arg(int(button))
                     .arg(at.x())
                     .arg(at.y())
                     .arg(name(receiver)));
        const QPoint local = receiver->mapFrom(to, at), global = to->mapToGlobal(at);
        QList<QEvent::Type> types{QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
        if (twice) types << QEvent::MouseButtonDblClick << QEvent::MouseButtonRelease;
        for (QEvent::Type type : types) {
            if (!receiver || !receiver->isVisible()) return;
            QMouseEvent event(type, local, global, button, type == QEvent::MouseButtonRelease ? Qt::NoButton : button,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(receiver, &event);
        }
    }

    static QString name(const QObject* object) {
        return QString::fromLatin1(object->metaObject()->className()) +
               (object->objectName().isEmpty() ? QString() : "#" + object->objectName());
    }

    bool checkDisk(QString* failure) {
        std::map<QString, QByteArray> now = snapshot(root_);
        if (now == before_) return true;
        const bool confirmed = nowMs() - confirmedAt_ < kConfirmWindowMs;
        const bool requestEdited = nowMs() - requestEditedAt_ < kConfirmWindowMs;
        QStringList changed;
        for (const auto& [path, bytes] : now)
            if (auto old = before_.find(path); old == before_.end() || old->second != bytes) changed << path;
        for (const auto& [path, bytes] : before_)
            if (!now.count(path)) changed << path;
        for (const QString& path : changed) {
            const QString full = root_ + "/" + path;
            const bool requestFile = WorkspaceScanner::isRequestFile(full) || WorkspaceScanner::isEnvironmentFile(full);
            if (!confirmed && !(requestFile && requestEdited)) {
                *failure = QStringLiteral("“%1” changed on disk with nothing confirmed").arg(path);
                return false;
            }
        }
        before_ = std::move(now);
        return true;
    }

    // Git work a choice started lands later; its changes count as confirmed for this long.
    static constexpr qint64 kConfirmWindowMs = 15000;

    std::mt19937_64 rng_;
    const QString root_;
    MainWindow* window_;
    std::map<QString, QByteArray> before_;
    QList<QKeyCombination> menuKeys_;
    loopback::LoopbackServer server_;
    ScriptedPrompter prompter_;
    ScriptedChooser chooser_;
    QObject context_;
    const bool trace_ = qEnvironmentVariableIsSet("BRIMEL_RANDOM_TRACE");
    qint64 confirmedAt_ = -kConfirmWindowMs;
    qint64 requestEditedAt_ = -kConfirmWindowMs;
    // Tab and resting-pointer steps.
    QString* failure_ = nullptr;
    std::optional<QPoint> parkedAt_;
    struct PendingFirstRow {
        QPointer<QWidget> overlay;
        QString query;
    };
    PendingFirstRow pendingFirstRow_;
};

class RandomInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        git_test::useIsolatedGitConfig();
        SettingsStore::shared().setValue(SettingsKey::onboarded, true);
        SettingsStore::shared().setValue(SettingsKey::lastSeenVersion, AppInfo::version());
        SettingsStore::shared().remove(SettingsKey::sessionFolder);
        SettingsStore::shared().remove(SettingsKey::sessionDocs);
        // The AI panel finds a fake tool and nothing real.
        for (const char* tool : {"claude", "codex"}) {
            const QString path = bin_.write(tool, "#!/bin/sh\necho 'Tidy the sample'\n");
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        AIService::setSearchPathPrefix(bin_.path());
    }
    void TearDown() override {
        RandomInput::closeTransients();
        for (MainWindow* w : WindowManager::shared().windows()) w->closeWithoutAsking();
        EXPECT_TRUE(waitUntil([] { return WindowManager::shared().windows().isEmpty(); }));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) w->close();
        AIService::setSearchPathPrefix(std::nullopt);
        SettingsStore::shared().setValue(SettingsKey::onboarded, false);
    }
    TempFolder bin_;
};

TEST_F(RandomInputTest, TheWindowSurvivesRandomKeysClicksWheelAndFocus) {
    const auto seed = static_cast<unsigned long long>(envNumber("BRIMEL_RANDOM_SEED", 1));
    const qint64 seconds = envNumber("BRIMEL_RANDOM_SECONDS", 0);
    const long steps = long(envNumber("BRIMEL_RANDOM_STEPS", seconds > 0 ? 0 : 2000));
    g_seed = seed;
    std::printf("random input: seed %llu, %ld steps, %lld s\n", seed, steps, static_cast<long long>(seconds));
    std::fflush(stdout);
#ifdef BRIMEL_HAS_SANITIZER
    __sanitizer_set_death_callback([] { printWhereWeAre("the process died"); });
#endif
    // A failed assertion in Qt's own headers (first() of an empty list) ends the process by a fatal message.
    g_previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtFatalMsg) printWhereWeAre(qPrintable(text));
        if (g_previousHandler) g_previousHandler(type, context, text);
    });

    TempFolder dir;
    makeFolder(dir);
    MainWindow* window = WindowManager::shared().openWindow(dir.path());
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window, 60000));
    ASSERT_TRUE(waitUntil([&] { return window->state().rootNode() != nullptr; }));

    RandomInput input(seed, dir.path(), window);
    QString failure;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    long step = 0;
    int inStep = 0;
    bool done = false;
    {
        Watchdog watchdog(5000);
        // Each step queues the next before it acts, so input keeps coming inside a menu's own loop.
        std::function<void()> next = [&] {
            const bool more = seconds > 0 ? clock.elapsed() < seconds * 1000 : step < steps;
            if (done || !more || !failure.isEmpty()) {
                done = true;
                RandomInput::closeTransients();
                loop.quit();
                return;
            }
            if (inStep > 0 && !QApplication::activePopupWidget() && !QApplication::activeModalWidget()) {
                QTimer::singleShot(1, &loop, next);  // the program turned the loop inside a step: let it finish
                return;
            }
            const long index = step++;
            QTimer::singleShot(0, &loop, next);
            ++inStep;
            if (!input.step(index, &failure)) done = true;
            --inStep;
        };
        QTimer::singleShot(0, &loop, next);
        loop.exec();
    }
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString() << " (seed " << seed << ", step " << g_step.load()
                                   << ": " << g_action << "); replay with BRIMEL_RANDOM_SEED=" << seed
                                   << " BRIMEL_RANDOM_STEPS=" << g_step.load() + 1;
    std::printf("random input: %ld steps in %lld ms\n", step, static_cast<long long>(clock.elapsed()));
    qInstallMessageHandler(g_previousHandler);
#ifdef BRIMEL_HAS_SANITIZER
    __sanitizer_set_death_callback(nullptr);
#endif
}

} // namespace
