#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/custom_folders.h"
#include "engine/level_overrides.h"
#include "platform/settings.h"
#include "support/fixture.h"

using namespace bramwick;
using nlohmann::json;

namespace {

class YourLevelsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        settings_ = std::make_unique<Settings>(test::home() + "/settings.json");
    }
    std::string home(const std::string& rest) { return test::home() + rest; }
    std::unique_ptr<Settings> settings_;
};

} // namespace

TEST_F(YourLevelsTest, LevelOverridesKeepOnlyRawLevels) {
    EXPECT_TRUE(LevelOverrides::load(*settings_).empty());
    ASSERT_EQ(LevelOverrides::save({{"downloads", Level::safe}, {"archives", Level::redFlag}},
                                   *settings_),
              std::nullopt);
    EXPECT_EQ(settings_->value("levelOverrides"),
              json({{"downloads", "Safe to Remove"}, {"archives", "Red Flag"}}));
    EXPECT_EQ(
        LevelOverrides::load(*settings_),
        (LevelOverrides::Overrides{{"downloads", Level::safe}, {"archives", Level::redFlag}}));

    settings_->set("levelOverrides",
                   json{{"a", "Review"}, {"b", "Yellow Warning"}, {"c", "protected"}});
    EXPECT_EQ(LevelOverrides::load(*settings_), (LevelOverrides::Overrides{{"b", Level::warning}}));
    settings_->set("levelOverrides", json{{"a", "Safe to Remove"}, {"b", 3}});
    EXPECT_TRUE(LevelOverrides::load(*settings_).empty())
        << "one value that is not text spoils them all";
    settings_->set("levelOverrides", "Safe to Remove");
    EXPECT_TRUE(LevelOverrides::load(*settings_).empty());
}

TEST_F(YourLevelsTest, CustomFoldersRoundTripAndADamagedListIsNone) {
    std::vector<CustomFolder> folders{
        {"custom-1", "/data/photos", "Red Flag", std::vector<std::uint8_t>{0, 1, 0xFE, 0xFF}},
        {"custom-2", "/data/a \"quoted\" name", "Safe to Remove", std::nullopt},
        {"custom-3", "/data/empty-bookmark", "Protected", std::vector<std::uint8_t>{}}};
    ASSERT_EQ(CustomFolders::save(folders, *settings_), std::nullopt);
    auto stored = *settings_->value("customFolders");
    EXPECT_EQ(stored[0], json({{"id", "custom-1"},
                               {"path", "/data/photos"},
                               {"level", "Red Flag"},
                               {"bookmark", "AAH+/w=="}}));
    EXPECT_FALSE(stored[1].contains("bookmark"));
    EXPECT_EQ(CustomFolders::load(*settings_), folders);

    auto withExtra = stored;
    withExtra[1]["color"] = "blue";
    settings_->set("customFolders", withExtra);
    EXPECT_EQ(CustomFolders::load(*settings_), folders) << "other keys are ignored";

    for (json damaged :
         {json::array({stored[0], {{"id", "x"}, {"path", "/p"}}}),
          json::array(
              {{{"id", "x"}, {"path", "/p"}, {"level", "Red Flag"}, {"bookmark", "not base64!"}}}),
          json::array({{{"id", 7}, {"path", "/p"}, {"level", "Red Flag"}}}), json("text")}) {
        settings_->set("customFolders", damaged);
        EXPECT_TRUE(CustomFolders::load(*settings_).empty()) << damaged.dump();
    }
}

TEST_F(YourLevelsTest, HandEditedFoldersThatChoosingWouldRefuseAreNotRead) {
    test::makeLink(test::home(), home("/h")); // the home under another name
    const std::string keep = test::makeFolder(home("/keep"));
    auto written = CustomFolders::fromJson(
        json{{"id", "custom-5"}, {"path", keep + "/"}, {"level", "Review"}});
    ASSERT_TRUE(written);
    EXPECT_EQ(written->path, keep) << "in the form adding keeps";
    for (json entry :
         {json{{"id", "app-support"}, {"path", "/data/x"}, {"level", "Safe to Remove"}},
          json{{"id", "custom-1"}, {"path", test::home()}, {"level", "Safe to Remove"}},
          json{{"id", "custom-2"}, {"path", "/usr"}, {"level", "Safe to Remove"}},
          json{{"id", "custom-3"}, {"path", "data/x"}, {"level", "Safe to Remove"}},
          json{{"id", "custom-4"}, {"path", home("/h")}, {"level", "Safe to Remove"}}})
        EXPECT_FALSE(CustomFolders::fromJson(entry)) << entry.dump();
}

TEST_F(YourLevelsTest, AFolderTouchesWhatItIsHoldsOrLiesIn) {
    const std::string keep = test::makeFolder(home("/.cache/keep"));
    test::makeLink(home("/.cache"), home("/linked"));
    const std::vector<CustomFolder> folders{{"custom-1", keep, "Review", std::nullopt}};
    struct Case {
        std::string path;
        bool touches;
    } cases[] = {
        {keep, true},
        {keep + "/x", true},
        {home("/.cache"), true},
        {home("/.cache/keeper"), false},
        {home("/.cache/other"), false},
        {home("/linked/keep"), true},
        {home("/linked/other"), false},
    };
    std::unordered_map<std::string, std::optional<std::string>> parents;
    for (const auto& c : cases)
        EXPECT_EQ(CustomFolders::touches(c.path, folders, parents), c.touches) << c.path;
    EXPECT_FALSE(CustomFolders::touches(keep, {}, parents));
}

TEST_F(YourLevelsTest, ChoosingFoldersRefusesTheSystemsOwn) {
    std::string h = test::home();
    test::makeFolder(h + "/Library/Caches");
    test::makeFolder(h + "/Work/Real");
    test::makeLink(h + "/Work/Real", h + "/Work/LinkA");
    test::makeLink(h + "/Work/Real", h + "/Work/LinkB");
    test::makeFolder(h + "/Known");
    test::makeFolder(h + "/Documents/*"); // would be read as every folder of Documents
    std::vector<CustomFolder> existing{{"custom-K", h + "/Known", "Red Flag", std::nullopt}};

    auto choice = CustomFolders::choose(Level::warning, existing,
                                        {"/", h, h + "/Library", h + "/Library/Caches",
                                         h + "/Work/LinkA", h + "/Work/LinkB", h + "/Known",
                                         "/System", "/etc", h + "/.local/share/Trash",
                                         h + "/Work/Real/../Real", h + "/Documents/*"});
    EXPECT_EQ(choice.refusedNames,
              (std::vector<std::string>{"/", h, "~/Library", "/System", "/etc",
                                        "~/.local/share/Trash", "~/Documents/*"}));
    ASSERT_EQ(choice.added.size(), 2u);
    EXPECT_EQ(choice.added[0].path, h + "/Library/Caches");
    EXPECT_EQ(choice.added[1].path, h + "/Work/Real")
        << "a link is stored as the folder it leads to";
    EXPECT_EQ(choice.added[1].level, "Yellow Warning");
    EXPECT_TRUE(choice.added[0].id.starts_with("custom-"));
    EXPECT_EQ(choice.added[0].id.size(), 7u + 36u);
    EXPECT_NE(choice.added[0].id, choice.added[1].id);

    EXPECT_EQ(CustomFolders::refusedMessage({"/", "/System"}), "/, /System can't be added");
    EXPECT_EQ(CustomFolders::panelPrompt(Level::redFlag), "Add to Move to Backup");
    EXPECT_EQ(CustomFolders::panelMessage(Level::warning),
              "Choose folders to add to Review. What is inside them is listed, and cleaning moves "
              "it to the Trash.");
}

TEST_F(YourLevelsTest, ACustomFolderBecomesATrashingCategory) {
    std::string h = test::home();
    struct Case {
        const char* level;
        Risk risk;
    } cases[] = {{"Safe to Remove", Risk::safe},
                 {"Yellow Warning", Risk::caution},
                 {"Red Flag", Risk::danger},
                 {"Protected", Risk::caution},
                 {"Review", Risk::caution}};
    for (const auto& c : cases) {
        auto category =
            CustomFolders::category({"custom-A", h + "/Work/Stuff", c.level, std::nullopt});
        EXPECT_EQ(category.risk, c.risk) << c.level;
        EXPECT_EQ(category.action.kind, CleanAction::Kind::trash);
        EXPECT_NE(category.level(), Level::protected_);
    }
    auto category =
        CustomFolders::category({"custom-A", h + "/Work/Stuff", "Protected", std::nullopt});
    EXPECT_EQ(category.id, "custom-A");
    EXPECT_EQ(category.name, "Stuff");
    EXPECT_EQ(category.summary, "~/Work/Stuff");
    EXPECT_EQ(category.info, "A folder you added. Everything inside ~/Work/Stuff is listed, and "
                             "cleaning moves it to the "
                             "Trash, so you can put anything back. The folder itself stays. It is "
                             "only ever cleaned when "
                             "you ask — never on a schedule.");
    EXPECT_EQ(category.symbol, "folder");
    EXPECT_EQ(category.group, CategoryGroup::personal);
    EXPECT_EQ(category.source, (Source{Source::Kind::contents, {h + "/Work/Stuff"}, 0}));
    EXPECT_TRUE(category.neverAutomatic);
    EXPECT_EQ(category.customFolder, h + "/Work/Stuff");
    EXPECT_EQ(category.level(), Level::warning);
    EXPECT_EQ(CustomFolders::category({"c", "/srv/data", "Red Flag", std::nullopt}).summary,
              "/srv/data");
}

TEST(OffersMove, OnlyRiskyDeletingOrTrashingCategories) {
    EXPECT_TRUE(offersMove(*Catalog::find("ios-backups")));
    EXPECT_FALSE(offersMove(*Catalog::find("downloads")));
    for (const auto& category : Catalog::all()) {
        bool expected =
            category.risk == Risk::danger && (category.action.kind == CleanAction::Kind::delete_ ||
                                              category.action.kind == CleanAction::Kind::trash);
        EXPECT_EQ(offersMove(category), expected) << category.id;
        if (category.action.kind == CleanAction::Kind::reviewOnly) {
            EXPECT_FALSE(offersMove(category));
        }
    }
}
