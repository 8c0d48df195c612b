#include "UI/WindowCoverage.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef BRIMEL_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {
// The X11 protocol's VisibilityNotify event, as it arrives on the wire.
constexpr std::uint8_t kVisibilityNotify = 15;
constexpr std::uint8_t kFullyObscured = 2;
struct VisibilityEvent {
    std::uint8_t responseType;
    std::uint8_t pad0;
    std::uint16_t sequence;
    std::uint32_t window;
    std::uint8_t state;
};

QWindow* windowWithId(quintptr id) {
    for (QWindow* w : QGuiApplication::allWindows())
        if (w->handle() && w->winId() == id) return w;
    return nullptr;
}
} // namespace

WindowCoverage& WindowCoverage::shared() {
    static auto* coverage = new WindowCoverage;  // lives as long as the program
    return *coverage;
}

WindowCoverage::WindowCoverage() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installNativeEventFilter(this);
}

void WindowCoverage::watch(QWindow* window) {
    if (!window || !window->handle()) return;
    const quintptr id = window->winId();
    if (watched_.contains(id)) return;
    watched_.insert(id);
    connect(window, &QObject::destroyed, this, [this, window, id] {
        watched_.remove(id);
        covered_.remove(window);
    });
#ifdef BRIMEL_HAVE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    xcb_connection_t* c = x11->connection();
    // Adds to the events the toolkit already asked for: setting the mask replaces it.
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(id)), nullptr);
    if (!attributes) return;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
    std::free(attributes);
    xcb_change_window_attributes(c, xcb_window_t(id), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
#endif
}

bool WindowCoverage::isCovered(const QWindow* window) const { return covered_.contains(window); }

void WindowCoverage::setCovered(QWindow* window, bool covered) {
    if (!window || covered == covered_.contains(window)) return;
    if (covered) covered_.insert(window);
    else covered_.remove(window);
    emit coverageChanged(window);
}

bool WindowCoverage::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || !message) return false;
    VisibilityEvent event {};
    std::memcpy(&event, message, sizeof event);
    if ((event.responseType & 0x7f) != kVisibilityNotify) return false;
    if (QWindow* window = windowWithId(event.window)) setCovered(window, event.state == kFullyObscured);
    return false;  // the toolkit may look at it too
}
