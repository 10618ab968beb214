#include "platform/qt/x11_windows.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

#include <xcb/xcb.h>

namespace bramwick::X11Windows {

namespace {

template <typename Reply> using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> Owned<Reply> own(Reply* reply) {
    return Owned<Reply>(reply, &std::free);
}

enum Atom {
    clientListStacking,
    clientList,
    wmPid,
    wmClientMachine,
    wmProtocols,
    wmDeleteWindow,
    activeWindow,
    supported,
    atomCount
};

constexpr std::array<const char*, atomCount> atomNames{
    "_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST", "_NET_WM_PID",
    "WM_CLIENT_MACHINE",         "WM_PROTOCOLS",     "WM_DELETE_WINDOW",
    "_NET_ACTIVE_WINDOW",        "_NET_SUPPORTED"};

class Display {
  public:
    Display() {
        ScreenConnection screen = connectToScreen();
        connection_ = screen.connection;
        if (!connection_) return;
        root_ = screen.root;
        std::array<xcb_intern_atom_cookie_t, atomCount> cookies{};
        for (std::size_t i = 0; i < atomCount; ++i)
            cookies[i] = xcb_intern_atom(connection_, 0,
                                         static_cast<std::uint16_t>(std::strlen(atomNames[i])),
                                         atomNames[i]);
        for (std::size_t i = 0; i < atomCount; ++i) {
            auto reply = own(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
            atoms_[i] = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        }
        usable_ = true;
    }
    ~Display() {
        if (connection_) xcb_disconnect(connection_);
    }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool usable() const { return usable_; }
    xcb_atom_t atom(Atom which) const { return atoms_[which]; }

    // The managed top-level windows, lowest first; without a window manager, the children of
    // the root window.
    std::vector<xcb_window_t> topLevels() {
        for (Atom list : {clientListStacking, clientList}) {
            auto windows = values<xcb_window_t>(root_, atom(list), XCB_ATOM_WINDOW);
            if (!windows.empty()) return windows;
        }
        auto tree =
            own(xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
        if (!tree) return {};
        xcb_window_t* children = xcb_query_tree_children(tree.get());
        return {children, children + xcb_query_tree_children_length(tree.get())};
    }

    std::vector<TopLevel> describe(const std::vector<xcb_window_t>& windows) {
        // Every request first, then every reply: one round trip for the lot.
        struct Cookies {
            xcb_get_property_cookie_t pid, machine, protocols;
        };
        std::vector<Cookies> cookies;
        cookies.reserve(windows.size());
        for (xcb_window_t window : windows)
            cookies.push_back({request(window, atom(wmPid), XCB_ATOM_CARDINAL),
                               request(window, atom(wmClientMachine), XCB_ATOM_STRING),
                               request(window, atom(wmProtocols), XCB_ATOM_ATOM)});
        std::vector<TopLevel> out;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            TopLevel top;
            top.window = windows[i];
            auto pid = read<std::uint32_t>(cookies[i].pid);
            if (!pid.empty()) top.pid = pid[0];
            auto machine = read<char>(cookies[i].machine);
            top.machine.assign(machine.begin(), std::find(machine.begin(), machine.end(), '\0'));
            auto protocols = read<xcb_atom_t>(cookies[i].protocols);
            top.acceptsClose = atom(wmDeleteWindow) != XCB_ATOM_NONE &&
                               std::find(protocols.begin(), protocols.end(),
                                         atom(wmDeleteWindow)) != protocols.end();
            out.push_back(std::move(top));
        }
        return out;
    }

    bool supports(Atom hint) {
        auto hints = values<xcb_atom_t>(root_, atom(supported), XCB_ATOM_ATOM);
        return atom(hint) != XCB_ATOM_NONE &&
               std::find(hints.begin(), hints.end(), atom(hint)) != hints.end();
    }

    // A 32-bit client message; true when the server took it.
    bool send(xcb_window_t destination, xcb_window_t window, xcb_atom_t type, std::uint32_t mask,
              std::array<std::uint32_t, 5> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        std::copy(data.begin(), data.end(), event.data.data32);
        auto cookie = xcb_send_event_checked(connection_, 0, destination, mask,
                                             reinterpret_cast<const char*>(&event));
        auto error = own(xcb_request_check(connection_, cookie));
        return !error;
    }

    xcb_window_t root() const { return root_; }

  private:
    xcb_get_property_cookie_t request(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
        return xcb_get_property(connection_, 0, window, property, type, 0, 1 << 16);
    }

    template <typename Value> std::vector<Value> read(xcb_get_property_cookie_t cookie) {
        auto reply = own(xcb_get_property_reply(connection_, cookie, nullptr));
        if (!reply || reply->format == 0) return {};
        int bytes = xcb_get_property_value_length(reply.get());
        if (bytes <= 0 || static_cast<std::size_t>(reply->format / 8) != sizeof(Value)) return {};
        auto* begin = static_cast<const Value*>(xcb_get_property_value(reply.get()));
        return {begin, begin + static_cast<std::size_t>(bytes) / sizeof(Value)};
    }

    template <typename Value>
    std::vector<Value> values(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
        if (property == XCB_ATOM_NONE) return {};
        return read<Value>(request(window, property, type));
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::array<xcb_atom_t, atomCount> atoms_{};
    bool usable_ = false;
};

std::string hostname() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

} // namespace

std::vector<TopLevel> ofProcess(const std::vector<TopLevel>& windows, pid_t pid,
                                const std::string& host) {
    std::vector<TopLevel> out;
    if (pid <= 0) return out;
    for (const auto& window : windows)
        if (window.pid && *window.pid == static_cast<std::uint32_t>(pid) &&
            (window.machine.empty() || window.machine == host))
            out.push_back(window);
    return out;
}

Outcome requestClose(pid_t pid) {
    Display display;
    if (!display.usable()) return Outcome::noDisplay;
    auto windows = ofProcess(display.describe(display.topLevels()), pid, hostname());
    if (windows.empty()) return Outcome::noWindows;
    bool sent = false;
    for (const auto& window : windows)
        if (window.acceptsClose)
            sent |= display.send(window.window, window.window, display.atom(wmProtocols),
                                 XCB_EVENT_MASK_NO_EVENT,
                                 {display.atom(wmDeleteWindow), XCB_CURRENT_TIME, 0, 0, 0});
    return sent ? Outcome::done : Outcome::notAccepted;
}

Outcome activate(pid_t pid) {
    Display display;
    if (!display.usable()) return Outcome::noDisplay;
    auto windows = ofProcess(display.describe(display.topLevels()), pid, hostname());
    if (windows.empty()) return Outcome::noWindows;
    if (!display.supports(activeWindow)) return Outcome::notAccepted;
    bool sent = false;
    // Source 2: a pager acting for the user, which focus-stealing prevention lets through.
    for (const auto& window : windows)
        sent |=
            display.send(display.root(), window.window, display.atom(activeWindow),
                         XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                         {2, XCB_CURRENT_TIME, 0, 0, 0});
    return sent ? Outcome::done : Outcome::notAccepted;
}

bool displayAnswers() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool answers = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return answers;
}

ScreenConnection connectToScreen() {
    ScreenConnection made;
    if (!std::getenv("DISPLAY")) return made;
    xcb_connection_t* connection = xcb_connect(nullptr, &made.screen);
    // A connection in error has no setup to read.
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return made;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < made.screen && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return made;
    }
    made.connection = connection;
    made.root = screens.data->root;
    return made;
}

} // namespace bramwick::X11Windows
