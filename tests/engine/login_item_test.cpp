#include <gtest/gtest.h>

#include "base/edition.h"
#include "engine/login_item.h"
#include "support/fixture.h"

using namespace bramwick;
using LoginItems::Status;

namespace {

// A login-item service that answers as a test says and counts what it was asked.
struct FakeService {
    Status status = Status::notRegistered;
    Status statusAfter = Status::enabled;
    std::optional<std::string> failure;
    int registrations = 0, removals = 0;
    std::vector<std::string> opened;

    LoginItem::Service service() {
        LoginItem::Service s;
        s.status = [this] { return status; };
        s.registerApp = [this] {
            ++registrations;
            status = statusAfter;
            return failure;
        };
        s.unregisterApp = [this] {
            ++removals;
            status = statusAfter;
            return failure;
        };
        s.openFolder = [this](const std::string& folder) {
            opened.push_back(folder);
            return true;
        };
        return s;
    }
};

} // namespace

TEST(LoginItem, SettingItFollowsTheStatusTheServiceReportsAfterwards) {
    const std::string approval = "The system needs you to approve Bramwick under Login Items.";
    EXPECT_EQ(LoginItem::approvalText(), approval);
    struct Case {
        bool on;
        Status after;
        std::optional<std::string> failure;
        std::optional<std::string> message;
        bool shownOn, offersLoginItems;
    } cases[] = {
        {true, Status::enabled, std::nullopt, std::nullopt, true, false},
        {true, Status::requiresApproval, std::nullopt, approval, false, true},
        {true, Status::requiresApproval, "cannot write the entry", approval, false, true},
        {true, Status::notRegistered, "cannot write the entry", "cannot write the entry", false,
         false},
        {true, Status::notFound, std::nullopt, std::nullopt, false, false},
        {false, Status::notRegistered, std::nullopt, std::nullopt, false, false},
        {false, Status::enabled, "cannot remove the entry", "cannot remove the entry", true, false},
    };
    for (const auto& c : cases) {
        FakeService fake;
        fake.status = c.on ? Status::notRegistered : Status::enabled;
        fake.statusAfter = c.after;
        fake.failure = c.failure;
        LoginItem item(fake.service());
        item.set(true); // an earlier message is replaced, never kept
        item.set(c.on);
        EXPECT_EQ(item.status(), c.after);
        EXPECT_EQ(item.message(), c.message) << c.on << " " << c.failure.value_or("");
        EXPECT_EQ(item.isOn(), c.shownOn);
        EXPECT_EQ(item.offersLoginItems(), c.offersLoginItems);
        EXPECT_EQ(fake.registrations + fake.removals, 2);
    }
}

TEST(LoginItem, RereadingTheStatusKeepsTheMessageAndTellsObservers) {
    FakeService fake;
    fake.statusAfter = Status::requiresApproval;
    LoginItem item(fake.service());
    EXPECT_EQ(item.status(), Status::notRegistered) << "read when it is made";
    EXPECT_FALSE(item.message());
    int told = 0;
    auto token = item.subscribe([&] { ++told; });
    item.set(true);
    EXPECT_EQ(told, 1);

    fake.status = Status::enabled; // approved while the window was closed
    item.refresh();
    EXPECT_TRUE(item.isOn());
    EXPECT_EQ(item.message(), LoginItem::approvalText()) << "kept until the next change";
    EXPECT_FALSE(item.offersLoginItems());
    EXPECT_EQ(told, 2);
    item.refresh();
    EXPECT_EQ(told, 2) << "nothing changed";
    item.unsubscribe(token);
    item.set(false);
    EXPECT_EQ(told, 2);
}

TEST(LoginItem, OpeningLoginItemsShowsTheFolderOfLoginEntries) {
    test::clearHome();
    FakeService fake;
    LoginItem item(fake.service());
    ASSERT_TRUE(item.openLoginItems());
    const std::string folder = Edition::configHome() + "/autostart";
    EXPECT_EQ(fake.opened, std::vector<std::string>{folder});
    EXPECT_TRUE(test::exists(folder)) << "made so that there is something to show";

    LoginItem::Service noDesktop = fake.service();
    noDesktop.openFolder = nullptr;
    EXPECT_FALSE(LoginItem(noDesktop).openLoginItems());

    test::clearHome();
    test::makeFile(folder, 1); // a file where the folder belongs: nothing to show
    EXPECT_FALSE(item.openLoginItems());
    EXPECT_EQ(fake.opened.size(), 1u);
}

TEST(LoginItem, OverTheAutostartEntries) {
    test::clearHome();
    LoginItem item;
    EXPECT_EQ(item.status(), Status::notRegistered);
    item.set(true);
    EXPECT_EQ(item.status(), Status::enabled);
    EXPECT_TRUE(test::exists(LoginItems::entryPath()));
    EXPECT_FALSE(item.message());
    item.set(false);
    EXPECT_EQ(item.status(), Status::notRegistered);
    EXPECT_FALSE(test::exists(LoginItems::entryPath()));

    test::clearHome();
    test::makeFile(Edition::configHome() + "/autostart", 1);
    item.set(true);
    EXPECT_FALSE(item.isOn());
    ASSERT_TRUE(item.message());
    EXPECT_NE(item.message()->find("autostart"), std::string::npos) << *item.message();
}
