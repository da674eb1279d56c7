#include "platform/linux/X11ActiveWindowWatcher.h"

#include "core/base/Messages.h"
#include "core/base/UiSink.h"
#include "core/base/Utf8.h"

#include <xcb/xcb.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace brasslane::platform {

namespace {

// Titles and class names longer than this are cut: in 32-bit units, as the property request
// counts them (16 KiB, far more than any window shows).
constexpr std::uint32_t kMaxPropertyWords = 4096;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

struct Atoms {
    xcb_atom_t activeWindow = XCB_ATOM_NONE;
    xcb_atom_t wmName = XCB_ATOM_NONE; // _NET_WM_NAME
    xcb_atom_t wmPid = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
};

xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The bytes of a property, nullopt when the window has none (or is gone).
std::optional<std::string> ReadProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                        xcb_atom_t type) {
    if (property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, type, 0, kMaxPropertyWords);
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const int length = xcb_get_property_value_length(reply.get());
    if (length <= 0) {
        return std::string();
    }
    return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())), static_cast<std::size_t>(length));
}

std::optional<std::uint32_t> ReadCardinal(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                          xcb_atom_t type) {
    const std::optional<std::string> bytes = ReadProperty(connection, window, property, type);
    if (!bytes || bytes->size() < 4) {
        return std::nullopt;
    }
    // Format 32 values arrive in the client's own byte order.
    std::uint32_t value = 0;
    std::memcpy(&value, bytes->data(), sizeof value);
    return value;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    for (const char c : text) {
        utf8::AppendCodePoint(out, static_cast<unsigned char>(c));
    }
    return out;
}

ActiveWindow ReadWindow(xcb_connection_t* connection, xcb_window_t window, const Atoms& atoms) {
    ActiveWindow info;
    info.id = window;
    if (window == XCB_WINDOW_NONE) {
        return info;
    }
    // WM_CLASS: the instance and the class, each ended by a zero byte.
    if (const auto wmClass = ReadProperty(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
        const std::size_t end = wmClass->find('\0');
        info.instance = utf8::Sanitize(std::string_view(*wmClass).substr(0, end));
        if (end != std::string::npos) {
            const std::string_view rest = std::string_view(*wmClass).substr(end + 1);
            info.windowClass = utf8::Sanitize(rest.substr(0, rest.find('\0')));
        }
    }
    if (const auto title = ReadProperty(connection, window, atoms.wmName, atoms.utf8String)) {
        info.title = utf8::Sanitize(*title);
    } else if (const auto legacy = ReadProperty(connection, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING)) {
        info.title = Latin1ToUtf8(*legacy);
    }
    if (const auto pid = ReadCardinal(connection, window, atoms.wmPid, XCB_ATOM_CARDINAL)) {
        if (*pid > 0 && *pid < 0x400000) { // Linux never hands out larger process ids
            info.pid = static_cast<int>(*pid);
            info.exe = ProgramOfProcess(info.pid);
        }
    }
    return info;
}

void WatchProperties(xcb_connection_t* connection, xcb_window_t window, bool watch) {
    const std::uint32_t mask = watch ? XCB_EVENT_MASK_PROPERTY_CHANGE : XCB_EVENT_MASK_NO_EVENT;
    // Unchecked: the window may be gone already; the error is then dropped with the events.
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
}

} // namespace

std::string ProgramOfProcess(int pid) {
    if (pid <= 0) {
        return std::string();
    }
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return std::string();
    }
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    // A program replaced while it runs (an update) still names its old file.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return utf8::Sanitize(path);
}

X11ActiveWindowWatcher::X11ActiveWindowWatcher(UiSink& ui, std::string display)
    : m_ui(ui), m_display(std::move(display)) {}

X11ActiveWindowWatcher::~X11ActiveWindowWatcher() {
    Stop();
}

void X11ActiveWindowWatcher::Start() {
    if (m_thread.joinable()) {
        return;
    }
    m_stopEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopEvent < 0) {
        GiveUp("the watcher's stop event could not be made");
        return;
    }
    m_thread = std::thread([this] { Run(); });
}

void X11ActiveWindowWatcher::Stop() {
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_stopEvent, &one, sizeof one);
        m_thread.join();
    }
    if (m_stopEvent >= 0) {
        close(m_stopEvent);
        m_stopEvent = -1;
    }
}

ActiveWindow X11ActiveWindowWatcher::Latest() const {
    std::lock_guard lock(m_mutex);
    return m_latest;
}

std::string X11ActiveWindowWatcher::Problem() const {
    std::lock_guard lock(m_mutex);
    return m_problem;
}

void X11ActiveWindowWatcher::Publish(const ActiveWindow& window) {
    {
        std::lock_guard lock(m_mutex);
        if (m_published && window == m_latest) {
            return;
        }
        m_latest = window;
        m_published = true;
    }
    m_ui.Post(MSG_ACTIVE_WINDOW, kCodeWind, kWindowChanged);
}

void X11ActiveWindowWatcher::GiveUp(const std::string& reason) {
    {
        std::lock_guard lock(m_mutex);
        m_problem = reason;
        m_latest = ActiveWindow();
    }
    m_ui.Post(MSG_ACTIVE_WINDOW, kCodeWind, kWindowUnknowable);
}

void X11ActiveWindowWatcher::Run() {
    const char* name = m_display.empty() ? std::getenv("DISPLAY") : m_display.c_str();
    if (name == nullptr || *name == '\0') {
        GiveUp(std::getenv("WAYLAND_DISPLAY") != nullptr
                   ? "this Wayland session offers no X server (XWayland), so the focused window is not known"
                   : "no X server (DISPLAY is not set)");
        return;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(name, &screenNumber);
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> owner(connection, xcb_disconnect);
    if (xcb_connection_has_error(connection)) {
        GiveUp(std::string("the X server ") + name + " cannot be reached");
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        GiveUp(std::string("the X server ") + name + " has no screen");
        return;
    }
    const xcb_window_t root = screens.data->root;
    Atoms atoms;
    atoms.activeWindow = InternAtom(connection, "_NET_ACTIVE_WINDOW");
    atoms.wmName = InternAtom(connection, "_NET_WM_NAME");
    atoms.wmPid = InternAtom(connection, "_NET_WM_PID");
    atoms.utf8String = InternAtom(connection, "UTF8_STRING");
    WatchProperties(connection, root, true);

    xcb_window_t focused = XCB_WINDOW_NONE;
    const auto refresh = [&] {
        const xcb_window_t now =
            ReadCardinal(connection, root, atoms.activeWindow, XCB_ATOM_WINDOW).value_or(XCB_WINDOW_NONE);
        if (now != focused) {
            if (focused != XCB_WINDOW_NONE && focused != root) {
                WatchProperties(connection, focused, false);
            }
            if (now != XCB_WINDOW_NONE && now != root) {
                WatchProperties(connection, now, true);
            }
            focused = now;
        }
        Publish(ReadWindow(connection, focused, atoms));
    };
    refresh();

    std::array<pollfd, 2> fds{pollfd{xcb_get_file_descriptor(connection), POLLIN, 0}, pollfd{m_stopEvent, POLLIN, 0}};
    for (;;) {
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const Reply<xcb_generic_event_t> owned(event);
            if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) {
                continue; // errors of requests to windows that went away, among others
            }
            const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (property->window == root) {
                changed = changed || property->atom == atoms.activeWindow;
            } else if (property->window == focused) {
                changed = changed || property->atom == XCB_ATOM_WM_CLASS || property->atom == XCB_ATOM_WM_NAME ||
                          property->atom == atoms.wmName || property->atom == atoms.wmPid;
            }
        }
        if (xcb_connection_has_error(connection)) {
            GiveUp(std::string("the connection to the X server ") + name + " was lost");
            return;
        }
        if (changed) {
            refresh();
            continue; // the replies may have brought more events along
        }
        xcb_flush(connection);
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            GiveUp("waiting for the X server failed");
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
    }
}

} // namespace brasslane::platform
