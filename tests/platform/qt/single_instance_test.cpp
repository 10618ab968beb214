#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "base/edition.h"
#include "platform/qt/single_instance.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(SingleInstance, ALaterLaunchHandsItsRequestToTheFirst) {
    int argc = 1;
    char name[] = "platform_qt_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application{argc, argv};
    // No runtime folder: the sockets live beside the settings.
    test::EnvironmentChange noRuntime("XDG_RUNTIME_DIR", "");
    const QString socket = SingleInstance::defaultName() + QStringLiteral("-test");

    SingleInstance first(socket);
    ASSERT_TRUE(first.claim({}));
    QSignalSpy spy(&first, &SingleInstance::received);

    // A launch with another temporary folder (one from a terminal beside one from the login)
    // still finds the first.
    const bool hadTemporary = qEnvironmentVariableIsSet("TMPDIR");
    QByteArray temporary = qgetenv("TMPDIR");
    QByteArray other = QDir::temp().filePath(QStringLiteral("other-temporary")).toLocal8Bit();
    QDir().mkpath(QString::fromLocal8Bit(other));
    qputenv("TMPDIR", other);
    SingleInstance second(socket);
    EXPECT_FALSE(second.claim({"reopen", "--window"}));
    if (hadTemporary)
        qputenv("TMPDIR", temporary);
    else
        qunsetenv("TMPDIR");
    QElapsedTimer clock;
    clock.start();
    while (spy.isEmpty() && clock.elapsed() < 10'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toStringList(), (QStringList{"reopen", "--window"}));

    // Once the first has gone, the next launch is the first again.
    {
        SingleInstance gone(socket + QStringLiteral("-2"));
        ASSERT_TRUE(gone.claim({}));
    }
    SingleInstance next(socket + QStringLiteral("-2"));
    EXPECT_TRUE(next.claim({"reopen"}));

    // Where no socket can be made beside the settings (here a folder stands in its place), the
    // temporary folder serves: the program runs, and a later launch still finds it.
    const QString blocked = socket + QStringLiteral("-3");
    QDir().mkpath(QString::fromStdString(Edition::configHome()) + QStringLiteral("/bramwick/") +
                  blocked);
    SingleInstance alone(blocked);
    EXPECT_TRUE(alone.claim({}));
    SingleInstance later(blocked);
    EXPECT_FALSE(later.claim({"reopen"}));
}

TEST(SingleInstance, EachHomeHasItsOwnName) {
    EXPECT_TRUE(SingleInstance::defaultName().startsWith("app.bramwick.Bramwick-"));
    EXPECT_LE(SingleInstance::defaultName().size(), 60);
}

// The socket lives in the user's runtime folder when there is one (else beside the settings, as
// before), and a clean end takes it away.
TEST(SingleInstance, TheSocketLivesInTheRuntimeFolderAndGoesWithTheProgram) {
    int argc = 1;
    char name[] = "platform_qt_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication application{argc, argv};
    const QString socket = SingleInstance::defaultName() + QStringLiteral("-runtime");
    const std::string runtime = test::makeTemporaryFolder("runtime");
    const QString settingsFolder = QString::fromStdString(Edition::configHome() + "/bramwick");
    struct Case {
        std::string runtime;
        QString folder;
    };
    const std::string file = test::makeFile(runtime + "/a-file", 1);
    for (const Case& c : {Case{runtime, QString::fromStdString(runtime)},
                          Case{runtime + "/missing", settingsFolder}, Case{file, settingsFolder}}) {
        SCOPED_TRACE(c.runtime);
        test::EnvironmentChange runtimeFolder("XDG_RUNTIME_DIR", c.runtime);
        const QString path = c.folder + u'/' + socket;
        {
            SingleInstance first(socket);
            ASSERT_TRUE(first.claim({}));
            EXPECT_EQ(first.address().toStdString(), path.toStdString());
            EXPECT_TRUE(QFileInfo(path).exists());
            SingleInstance second(socket);
            EXPECT_FALSE(second.claim({"reopen"}));
            first.leave();
            EXPECT_FALSE(QFileInfo(path).exists()) << "a clean end leaves no socket behind";
            SingleInstance third(socket);
            EXPECT_TRUE(third.claim({})) << "and the next launch is the first";
        }
        EXPECT_FALSE(QFileInfo(path).exists());
    }
    test::removeTree(runtime);
}
