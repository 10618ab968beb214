#include <QSignalSpy>
#include <gtest/gtest.h>

#include "store_harness.h"
#include "support/fixture.h"

using namespace bramwick;
using test::category;
using test::item;

namespace {

// A safe cache, a caution log, a review-only row and a dangerous download folder.
std::vector<CleanupCategory> rows() {
    auto review = category("review", Risk::caution, CleanAction::Kind::reviewOnly);
    return {category("cache"), category("logs", Risk::caution), review,
            category("downloads", Risk::danger, CleanAction::Kind::trash)};
}

const CleanupCategory& find(const Store& store, const std::string& id) {
    for (const auto& c : store.categories())
        if (c.id == id) return c;
    throw std::runtime_error("no category " + id);
}

} // namespace

TEST(StoreLevels, MovesAreSavedAsOverridesAndShownWithWhereTheyCameFrom) {
    test::StoreHarness h;
    h.catalog = rows();
    h.access = false;
    Store store(h.services());
    QSignalSpy categoriesSpy(&store, &Store::categoriesChanged);

    store.move({"logs", "downloads", "review", "unknown"}, Level::safe);
    EXPECT_EQ(find(store, "logs").risk, Risk::safe);
    EXPECT_EQ(find(store, "logs").movedFrom, Level::warning);
    EXPECT_EQ(find(store, "downloads").movedFrom, Level::redFlag);
    EXPECT_EQ(find(store, "review").risk, Risk::caution) << "review-only rows stay";
    EXPECT_EQ(h.settings->value("levelOverrides"),
              (nlohmann::json{{"downloads", "Safe to Remove"}, {"logs", "Safe to Remove"}}));
    EXPECT_EQ(categoriesSpy.count(), 1);

    // Back to its own level: the override goes, and so does movedFrom.
    store.move({"logs"}, Level::warning);
    EXPECT_EQ(find(store, "logs").risk, Risk::caution);
    EXPECT_FALSE(find(store, "logs").movedFrom);
    store.moveBack("downloads");
    EXPECT_FALSE(find(store, "downloads").movedFrom);
    EXPECT_EQ(h.settings->value("levelOverrides"), nlohmann::json::object());

    // Protected takes nothing and saves nothing.
    h.settings->remove("levelOverrides");
    store.move({"cache"}, Level::protected_);
    EXPECT_FALSE(h.settings->contains("levelOverrides"));
    EXPECT_EQ(categoriesSpy.count(), 3);

    // A review-only row changes nothing, but the lists are still saved and rebuilt.
    store.move({"review"}, Level::redFlag);
    EXPECT_EQ(h.settings->value("levelOverrides"), nlohmann::json::object());
    EXPECT_EQ(categoriesSpy.count(), 4);

    // The overrides are read back by the next store.
    store.move({"cache"}, Level::redFlag);
    Store again(h.services());
    EXPECT_EQ(find(again, "cache").risk, Risk::danger);
    EXPECT_EQ(find(again, "cache").movedFrom, Level::safe);
}

TEST(StoreLevels, CustomFoldersAreAddedScannedMovedAndRemoved) {
    test::StoreHarness h;
    h.catalog = rows();
    h.access = false;
    const std::string kept = test::makeFolder(h.folder + "/Kept");
    const std::string old = test::makeFolder(h.folder + "/Old");
    Store store(h.services());

    // Cancelling the chooser changes and measures nothing.
    auto cancelled = store.addFolders(Level::safe);
    test::deliver();
    EXPECT_TRUE(cancelled.isReady());
    EXPECT_EQ(store.categories().size(), 4u);
    EXPECT_FALSE(h.settings->contains("customFolders"));

    // The system's own folders are refused with an alert; the rest become categories.
    h.chosenFolders = {kept, "/usr", old, kept};
    auto adding = store.addFolders(Level::warning);
    test::deliver();
    ASSERT_EQ(h.alerts.size(), 1u);
    EXPECT_EQ(h.alerts[0].first, "/usr can't be added");
    ASSERT_EQ(store.categories().size(), 6u);
    const CleanupCategory added = store.categories()[4];
    EXPECT_EQ(added.name, "Kept");
    EXPECT_EQ(added.risk, Risk::caution);
    EXPECT_EQ(added.customFolder, kept);
    EXPECT_EQ(store.customFolders()[1].path, old);
    // Measured one after another.
    EXPECT_EQ(h.user.pending(), 1u);
    h.contents[added.id] = {item("old.zip", 10)};
    h.user.runAll();
    EXPECT_TRUE(adding.isReady());
    EXPECT_EQ(h.scans, (std::vector<std::string>{added.id, store.categories()[5].id}));
    EXPECT_EQ(store.total(added.id), 10);

    // A move stores the level's raw value, not its title.
    store.move({added.id}, Level::redFlag);
    EXPECT_EQ(store.customFolders()[0].level, "Red Flag");
    EXPECT_EQ(store.categories()[4].risk, Risk::danger);
    EXPECT_EQ((*h.settings->value("customFolders"))[0]["level"], "Red Flag");

    // Removing drops its items; the folder on disk stays.
    QSignalSpy stateSpy(&store, &Store::categoryStateChanged);
    store.removeCustomFolder(store.categories()[4]);
    EXPECT_EQ(store.state(added.id), nullptr);
    EXPECT_EQ(stateSpy.count(), 1);
    EXPECT_EQ(store.categories().size(), 5u);
    EXPECT_EQ(h.settings->value("customFolders")->size(), 1u);
    EXPECT_TRUE(test::exists(kept));
    store.removeCustomFolder(added); // already gone: nothing
    EXPECT_EQ(store.categories().size(), 5u);
}

// A folder the user added is cleaned only by its own category, when asked: what another
// category lists in it, or above it, leaves that category's list and its cleans.
TEST(StoreLevels, AFolderTheUserAddedIsLeftOutOfEveryOtherCategory) {
    test::StoreHarness h;
    h.catalog = {category("cache")};
    const std::string cache = test::makeFolder(h.folder + "/cache");
    const std::string keep = test::makeFolder(cache + "/keep");
    test::makeFolder(cache + "/holder/inner");
    auto at = [](const std::string& path) {
        ScanItem made = item(path, 10);
        made.id = made.url = path;
        return made;
    };
    h.contents["cache"] = {at(keep), at(keep + "/x"), at(cache + "/holder"), at(cache + "/old")};
    auto store = h.make();
    ASSERT_EQ(store->state("cache")->items.size(), 4u);

    h.chosenFolders = {keep, cache + "/holder/inner"};
    auto adding = store->addFolders(Level::warning);
    test::deliver();
    EXPECT_EQ(store->state("cache")->items, std::vector<ScanItem>{at(cache + "/old")})
        << "at once, before any rescan";
    h.user.runAll();
    EXPECT_EQ(store->state("cache")->items, std::vector<ScanItem>{at(cache + "/old")});

    auto rescanning = store->scan(h.catalog[0]);
    h.user.runAll();
    EXPECT_EQ(store->state("cache")->items, std::vector<ScanItem>{at(cache + "/old")});
    auto cleaning = store->cleanAllSafe();
    h.user.runAll();
    ASSERT_EQ(h.cleans.size(), 1u);
    EXPECT_EQ(h.cleans[0].second, std::vector<ScanItem>{at(cache + "/old")});

    // An added folder that holds another added folder leaves that one out too.
    h.chosenFolders = {cache};
    auto outer = store->addFolders(Level::safe);
    test::deliver();
    h.user.runAll();
    const CleanupCategory added = store->categories().back();
    ASSERT_EQ(added.customFolder, cache);
    h.contents[added.id] = {at(keep), at(cache + "/old")};
    auto measuring = store->scan(added);
    h.user.runAll();
    EXPECT_EQ(store->state(added.id)->items, std::vector<ScanItem>{at(cache + "/old")});
}

TEST(StoreLevels, OneDamagedEntryCostsOnlyItselfAndUnreadableListsAreKeptAside) {
    test::StoreHarness h;
    h.catalog = rows();
    h.access = false;
    h.settings->set(
        "levelOverrides",
        nlohmann::json{{"logs", "Safe to Remove"}, {"cache", 7}, {"downloads", "Review"}});
    const auto folders = nlohmann::json::array(
        {{{"id", "custom-1"}, {"path", h.folder}},
         {{"id", "custom-2"}, {"path", h.folder}, {"level", "Safe to Remove"}}});
    h.settings->set("customFolders", folders);
    {
        Store store(h.services());
        EXPECT_EQ(store.levelOverrides(), (LevelOverrides::Overrides{{"logs", Level::safe}}));
        ASSERT_EQ(store.customFolders().size(), 1u);
        EXPECT_EQ(store.customFolders()[0].id, "custom-2");
        store.move({"downloads"}, Level::warning);
        EXPECT_EQ(
            h.settings->value("levelOverrides.unreadable"),
            (nlohmann::json{{"logs", "Safe to Remove"}, {"cache", 7}, {"downloads", "Review"}}))
            << "the entries that could not be read are kept aside";
        EXPECT_EQ(h.settings->value("customFolders.unreadable"), folders);
    }

    h.settings->set("levelOverrides", "not a map");
    h.settings->set("customFolders", nlohmann::json::object());
    Store store(h.services());
    EXPECT_TRUE(store.levelOverrides().empty());
    EXPECT_TRUE(store.customFolders().empty());
    EXPECT_EQ(h.settings->value("levelOverrides"), "not a map") << "reading changes nothing";
    store.move({"logs"}, Level::safe);
    EXPECT_EQ(h.settings->value("levelOverrides.unreadable"), "not a map");
    EXPECT_EQ(h.settings->value("customFolders.unreadable"), nlohmann::json::object());
    EXPECT_EQ(h.settings->value("levelOverrides"), (nlohmann::json{{"logs", "Safe to Remove"}}));
    EXPECT_EQ(h.settings->value("customFolders"), nlohmann::json::array());
}
