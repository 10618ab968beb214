// Whether the desktop has a tray that would show this program's icon, followed as trays come and
// go: at login a panel often starts after the programs the login starts, and a panel may
// restart. Two kinds of tray serve: a StatusNotifier host, announced by the watcher on the
// session bus, and on X11 an XEmbed tray, the owner of the screen's _NET_SYSTEM_TRAY selection.
//
// Qt settles on one kind for the whole run the first time a tray icon is made or Qt is asked
// whether a tray exists: so nothing asks Qt before this says a tray is there, and `iconMade()`
// is called when the first icon is made. From then on only a tray of that kind counts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QDBusConnection>
#include <QObject>

namespace bramwick {

class TrayPresence : public QObject {
    Q_OBJECT

  public:
    struct Sources {
        std::optional<QDBusConnection> bus; // none: the session bus
        bool xembed = false;                // watch the XEmbed tray of $DISPLAY's screen
    };

    // The session bus, and the XEmbed tray when Qt draws on X11. Needs a QGuiApplication.
    explicit TrayPresence(QObject* parent = nullptr);
    explicit TrayPresence(Sources sources, QObject* parent = nullptr);
    ~TrayPresence() override;

    // Whether an icon made now would show in a tray. Read once at start-up (the bus and the
    // display are asked then, waiting at most a second for an answer); changes come as
    // `availableChanged`.
    bool available() const;
    // The first icon was made: Qt keeps to the kind of tray there is at this moment.
    void iconMade();

  signals:
    void availableChanged(bool available);

  private slots:
    void askStatusNotifierHost();

  private:
    enum class Kind { undecided, statusNotifier, xembed };
    class XEmbedTray;

    void watchStatusNotifier();
    void update();

    QDBusConnection bus_;
    std::unique_ptr<XEmbedTray> xembed_;
    bool statusNotifierHost_ = false;
    Kind kind_ = Kind::undecided;
    bool reported_ = false;
};

} // namespace bramwick
