#include "platform/qt/single_instance.h"

#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>

#include "base/edition.h"
#include "platform/files.h"

namespace bramwick {

namespace {

constexpr int connectTimeoutMs = 1000;
constexpr int writeTimeoutMs = 2000;

// Where the socket of `name` lives: in the user's runtime folder ($XDG_RUNTIME_DIR, the user's
// own, made for such sockets and emptied at logout); without one, in the folder of the settings
// file it guards. Either is found by every launch of this user and home, whatever its temporary
// folder (one started at login and one from a terminal often have different ones). A path too
// long for a socket address, or a folder that cannot be made, falls back to the name alone,
// which Qt places in the temporary folder.
QString addressOf(const QString& name) {
    constexpr qsizetype longestAddress = 100; // sun_path holds 108 bytes
    auto in = [&](const std::string& folder) {
        return QString::fromStdString(folder) + u'/' + name;
    };
    auto fits = [](const QString& address) {
        return address.toLocal8Bit().size() <= longestAddress;
    };
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
            fits(in(runtime)))
            return in(runtime);
    }
    std::string folder = Edition::configHome() + "/bramwick";
    if (!fits(in(folder)) || Files::makeFolders(folder)) return name;
    return in(folder);
}

} // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), name_(addressOf(name)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

QString SingleInstance::defaultName() {
    QByteArray home = QByteArray::fromStdString(Edition::home());
    QString digest = QString::fromLatin1(
        QCryptographicHash::hash(home, QCryptographicHash::Sha256).toHex().left(12));
    return QStringLiteral("%1-%2-%3")
        .arg(QString::fromUtf8(Edition::appId))
        .arg(::getuid())
        .arg(digest);
}

bool SingleInstance::claim(const QStringList& request) {
    // Two launches at the same moment take turns here, so only one of them listens.
    // Beside the socket (a name alone puts it in the temporary folder).
    QLockFile lock(QDir::temp().filePath(name_ + QStringLiteral(".lock")));
    lock.lock();

    if (handOver(request)) return false;
    if (listen()) return true;
    // No socket can be made beside the settings (a read-only folder, a file system without
    // sockets): the temporary folder serves, rather than a program that ends as if another ran.
    const QString fallback = QFileInfo(name_).fileName();
    if (fallback == name_) return false;
    name_ = fallback;
    return !handOver(request) && listen();
}

SingleInstance::~SingleInstance() {
    leave();
}

void SingleInstance::leave() {
    // Closing removes the socket's file.
    if (server_.isListening()) server_.close();
}

QString SingleInstance::address() const {
    return server_.isListening() ? server_.fullServerName() : name_;
}

bool SingleInstance::handOver(const QStringList& request) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(connectTimeoutMs)) return false;
    socket.write(request.join(u'\n').toUtf8());
    socket.flush();
    socket.waitForBytesWritten(writeTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(writeTimeoutMs);
    return true;
}

bool SingleInstance::listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) return true;
    // Nobody answered, so the socket is left over from a program that ended without closing it.
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto finish = [this, socket, buffer] {
            buffer->append(socket->readAll());
            QStringList request;
            for (const auto& line : QString::fromUtf8(*buffer).split(u'\n'))
                if (!line.isEmpty()) request << line;
            socket->deleteLater();
            emit received(request);
        };
        connect(socket, &QLocalSocket::readyRead, socket,
                [socket, buffer] { buffer->append(socket->readAll()); });
        if (socket->state() == QLocalSocket::UnconnectedState)
            finish(); // it said everything and left already
        else
            connect(socket, &QLocalSocket::disconnected, this, finish);
    }
}

} // namespace bramwick
