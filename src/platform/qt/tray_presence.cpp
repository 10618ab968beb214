#include "platform/qt/tray_presence.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include "platform/qt/x11_windows.h"

namespace bramwick {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
constexpr int answerTimeoutMs = 1000;

QDBusMessage hostQuestion() {
    QDBusMessage question = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    question << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    return question;
}

bool hostAnswer(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().front().value<QDBusVariant>().variant().toBool();
}

} // namespace

// The owner of the tray selection of the screen, followed on a connection of its own: a tray
// that takes the selection announces itself with a MANAGER message to the root window, and one
// that goes destroys the window that held it.
class TrayPresence::XEmbedTray {
  public:
    explicit XEmbedTray(std::function<void()> changed) : changed_(std::move(changed)) {
        X11Windows::ScreenConnection screen = X11Windows::connectToScreen();
        connection_ = screen.connection;
        if (!connection_) return;
        root_ = screen.root;
        const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen.screen);
        selection_ = atom(selection.c_str());
        manager_ = atom("MANAGER");
        if (selection_ == XCB_ATOM_NONE || manager_ == XCB_ATOM_NONE) return;
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        findOwner();
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_),
                                                      QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { read(); });
        read(); // whatever came while the owner was asked
    }
    ~XEmbedTray() {
        notifier_.reset();
        if (connection_) xcb_disconnect(connection_);
    }
    XEmbedTray(const XEmbedTray&) = delete;
    XEmbedTray& operator=(const XEmbedTray&) = delete;

    bool present() const { return owner_ != XCB_WINDOW_NONE; }

  private:
    xcb_atom_t atom(const char* name) {
        auto cookie =
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
        xcb_atom_t found = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return found;
    }

    // Asks who holds the selection now, and hears when that window goes.
    void findOwner() {
        auto cookie = xcb_get_selection_owner(connection_, selection_);
        xcb_get_selection_owner_reply_t* reply =
            xcb_get_selection_owner_reply(connection_, cookie, nullptr);
        follow(reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE});
        std::free(reply);
    }

    void follow(xcb_window_t owner) {
        owner_ = owner;
        if (owner_ == XCB_WINDOW_NONE) return;
        // A window that is gone already answers with an error, read as its going.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, owner_, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
    }

    void read() {
        const bool before = present();
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            switch (event->response_type & ~0x80) {
            case XCB_CLIENT_MESSAGE: {
                auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                if (message->type == manager_ && message->format == 32 &&
                    message->data.data32[1] == selection_)
                    follow(message->data.data32[2]);
                break;
            }
            case XCB_DESTROY_NOTIFY:
                if (reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == owner_)
                    findOwner(); // another tray may have taken it meanwhile
                break;
            case 0: // an error: the owner went before it could be followed
                if (reinterpret_cast<xcb_generic_error_t*>(event)->resource_id == owner_)
                    findOwner();
                break;
            default:
                break;
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection_)) {
            // The display went away, and every tray on it.
            notifier_->setEnabled(false);
            owner_ = XCB_WINDOW_NONE;
        }
        if (present() != before) changed_();
    }

    std::function<void()> changed_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    std::unique_ptr<QSocketNotifier> notifier_;
};

TrayPresence::TrayPresence(QObject* parent)
    : TrayPresence(Sources{std::nullopt, QGuiApplication::platformName() == QLatin1String("xcb")},
                   parent) {}

TrayPresence::TrayPresence(Sources sources, QObject* parent)
    : QObject(parent), bus_(sources.bus ? *sources.bus : QDBusConnection::sessionBus()) {
    if (sources.xembed) xembed_ = std::make_unique<XEmbedTray>([this] { update(); });
    watchStatusNotifier();
    reported_ = available();
}

TrayPresence::~TrayPresence() = default;

void TrayPresence::watchStatusNotifier() {
    if (!bus_.isConnected()) return;
    auto* watcher = new QDBusServiceWatcher(watcherService, bus_,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (!owner.isEmpty()) {
                    askStatusNotifierHost();
                    return;
                }
                statusNotifierHost_ = false;
                update();
            });
    // A host that comes or goes while the watcher stays; another host may remain.
    for (const char* change : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        bus_.connect(watcherService, watcherPath, watcherInterface, QString::fromLatin1(change),
                     this, SLOT(askStatusNotifierHost()));
    statusNotifierHost_ = hostAnswer(bus_.call(hostQuestion(), QDBus::Block, answerTimeoutMs));
}

void TrayPresence::askStatusNotifierHost() {
    auto* answer =
        new QDBusPendingCallWatcher(bus_.asyncCall(hostQuestion(), answerTimeoutMs), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                statusNotifierHost_ = hostAnswer(call->reply());
                call->deleteLater();
                update();
            });
}

bool TrayPresence::available() const {
    const bool xembed = xembed_ && xembed_->present();
    switch (kind_) {
    case Kind::statusNotifier:
        return statusNotifierHost_;
    case Kind::xembed:
        return xembed;
    case Kind::undecided:
        break;
    }
    return statusNotifierHost_ || xembed;
}

void TrayPresence::iconMade() {
    if (kind_ != Kind::undecided) return;
    // Qt takes the StatusNotifier host when the watcher says there is one, else XEmbed.
    kind_ = statusNotifierHost_ ? Kind::statusNotifier : Kind::xembed;
    update();
}

void TrayPresence::update() {
    const bool now = available();
    if (now == reported_) return;
    reported_ = now;
    emit availableChanged(now);
}

} // namespace bramwick
