#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "base/edition.h"
#include "platform/desktop_entry.h"
#include "platform/qt/desktop_actions.h"
#include "support/fixture.h"
#include "support/private_bus.h"

using namespace bramwick;

namespace {

// A file manager that keeps what it was asked to show.
class FileManagerStandIn : public QDBusVirtualObject {
  public:
    std::vector<QDBusMessage> calls;
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "ShowItems") return false;
        calls.push_back(message);
        connection.send(message.createReply());
        return true;
    }
};

template <typename Done> void waitUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

TEST(DesktopActions, UrisAndFolders) {
    EXPECT_EQ(DesktopActions::fileUris({"/a b/c#1.txt", "/x"}),
              (QStringList{"file:///a%20b/c%231.txt", "file:///x"}));
    EXPECT_EQ(DesktopActions::containingFolders({"/a/b", "/a/c", "/top", "/d/e/f"}),
              (std::vector<std::string>{"/a", "/", "/d/e"}));
}

TEST(DesktopActions, RevealAsksTheFileManagerElseOpensTheFolders) {
    int argc = 1;
    char name[] = "platform_qt_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application{argc, argv};
    test::PrivateBus bus;
    ASSERT_TRUE(bus.running());
    const QString address = QString::fromStdString(bus.address);
    // Named connections outlive the test otherwise, and a later test of this process that asks
    // for the same names would be handed these, to a bus that is gone.
    struct Disconnect {
        ~Disconnect() {
            QDBusConnection::disconnectFromBus("client");
            QDBusConnection::disconnectFromBus("service");
        }
    } disconnect;

    std::vector<std::string> opened;
    auto opener = [&](const std::string& folder) {
        opened.push_back(folder);
        return true;
    };

    // No file manager on the bus: the folders open instead.
    auto client = QDBusConnection::connectToBus(address, "client");
    DesktopActions::reveal({"/a/one", "/a/two"}, client, opener);
    waitUntil([&] { return !opened.empty(); });
    EXPECT_EQ(opened, (std::vector<std::string>{"/a"}));

    auto service = QDBusConnection::connectToBus(address, "service");
    FileManagerStandIn standIn;
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/FileManager1", &standIn));
    ASSERT_TRUE(service.registerService("org.freedesktop.FileManager1"));
    opened.clear();
    DesktopActions::reveal({"/a/one", "/b/two"}, client, opener);
    waitUntil([&] { return !standIn.calls.empty(); });
    ASSERT_EQ(standIn.calls.size(), 1u);
    EXPECT_EQ(standIn.calls[0].arguments().at(0).toStringList(),
              (QStringList{"file:///a/one", "file:///b/two"}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened.empty());
}

TEST(DesktopActions, OpensAnApplicationByItsDesktopEntry) {
    test::clearHome();
    EXPECT_FALSE(DesktopActions::openApplication("org.example.Missing"));
    EXPECT_FALSE(DesktopActions::openApplication("../applications/x"));

    const std::string marker = test::home() + "/started by entry";
    std::string exec = DesktopEntry::execArgument("/bin/sh") + " -c " +
                       DesktopEntry::execArgument("echo started > \"$0\"") + " " +
                       DesktopEntry::execArgument(marker);
    test::makeFolder(Edition::dataHome() + "/applications");
    std::string entry = "[Desktop Entry]\nType=Application\nName=Example\nExec=" + exec + "\n";
    FILE* file =
        std::fopen((Edition::dataHome() + "/applications/org.example.App.desktop").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs(entry.c_str(), file);
    std::fclose(file);

    ASSERT_TRUE(DesktopActions::openApplication("org.example.App"));
    QElapsedTimer clock;
    clock.start();
    while (test::readFile(marker) != "started\n" && clock.elapsed() < 10'000)
        ::usleep(20'000);
    EXPECT_EQ(test::readFile(marker), "started\n");
}
