#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "engine/models.h"

using namespace bramwick;

TEST(Level, RawValuesAndTitles) {
    struct Case {
        Level level;
        const char* raw;
        const char* title;
    } cases[] = {{Level::safe, "Safe to Remove", "Safe to Remove"},
                 {Level::warning, "Yellow Warning", "Review"},
                 {Level::redFlag, "Red Flag", "Move to Backup"},
                 {Level::protected_, "Protected", "Protected"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Levels::rawValue(c.level), c.raw);
        EXPECT_EQ(Levels::title(c.level), c.title);
        EXPECT_EQ(Levels::fromRaw(c.raw), c.level);
    }
    EXPECT_FALSE(Levels::fromRaw("Review"));
    EXPECT_FALSE(Levels::fromRaw("Move to Backup"));
    EXPECT_FALSE(Levels::fromRaw("safe to remove"));
}

TEST(CategoryGroup, ConvertsExactlyTheNineTitles) {
    EXPECT_EQ(CategoryGroups::fromRaw("System \u2014 needs your admin password"),
              CategoryGroup::system);
    EXPECT_FALSE(CategoryGroups::fromRaw("System - needs your admin password"));
    for (auto group : CategoryGroups::allCases)
        EXPECT_EQ(CategoryGroups::fromRaw(CategoryGroups::rawValue(group)), group);
}

TEST(Risk, OrderAndConversion) {
    EXPECT_FALSE(Risks::fromRaw(3));
    EXPECT_FALSE(Risks::fromRaw(-1));
    EXPECT_EQ(Risks::fromRaw(1), Risk::caution);
    EXPECT_TRUE(Risk::caution < Risk::danger);
    EXPECT_TRUE(Risk::safe <= Risk::safe);
    EXPECT_FALSE(Risk::danger < Risk::safe);
}

TEST(CleanupCategory, LevelIsDerivedFromActionAndRisk) {
    CleanupCategory c;
    c.risk = Risk::danger;
    c.action.kind = CleanAction::Kind::reviewOnly;
    EXPECT_EQ(c.level(), Level::protected_);
    c.action.kind = CleanAction::Kind::trash;
    EXPECT_EQ(c.level(), Level::redFlag);
    c.risk = Risk::caution;
    EXPECT_EQ(c.level(), Level::warning);
    EXPECT_EQ(riskForLevel(Level::protected_), std::nullopt);
    EXPECT_EQ(riskForLevel(Level::warning), Risk::caution);
}

TEST(ScanItem, EveryFieldTakesPartInEquality) {
    ScanItem a{"/x", "/x", "x", 10, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    ScanItem b = a;
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<ScanItem>{}(a), std::hash<ScanItem>{}(b));
    b.note = "different";
    EXPECT_NE(a, b);
    EXPECT_NE(std::hash<ScanItem>{}(a), std::hash<ScanItem>{}(b));
    b = a;
    b.command = std::vector<std::string>{};
    EXPECT_NE(a, b);
    EXPECT_NE(std::hash<ScanItem>{}(a), std::hash<ScanItem>{}(b));
}

TEST(CleanupRecord, JsonRoundTripKeepsIdDateAndTexts) {
    CleanupRecord record{"0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3",
                         dateFromReferenceSeconds(786000000.123456), "Cleaned 2 items", "a, b"};
    auto json = toJson(record);
    EXPECT_TRUE(json["date"].is_number());
    EXPECT_NEAR(json["date"].get<double>(), 786000000.123456, 1e-5);
    auto back = recordFromJson(nlohmann::json::parse(json.dump()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, record.id);
    EXPECT_EQ(back->title, record.title);
    EXPECT_EQ(back->detail, record.detail);
    EXPECT_NEAR(secondsSinceReferenceDate(back->date), 786000000.123456, 1e-5);
}

TEST(CleanupRecord, DecodeFailsOnMissingOrMistypedKeys) {
    auto good =
        R"({"id":"0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3","date":1,"title":"t","detail":"d","extra":1})";
    auto decoded = recordFromJson(nlohmann::json::parse(good));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id, "0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3");
    for (
        const char* bad :
        {R"({"id":"0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3","date":1,"title":"t"})",
         R"({"id":"0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3","date":"2024-01-01","title":"t","detail":"d"})",
         R"({"id":"not-a-uuid","date":1,"title":"t","detail":"d"})",
         R"({"id":"0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3","date":1,"title":5,"detail":"d"})",
         R"([1,2])"}) {
        std::string error;
        EXPECT_FALSE(recordFromJson(nlohmann::json::parse(bad), &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(CleanupRecord, HugeStoredDatesClampInsteadOfOverflowing) {
    auto far = dateFromReferenceSeconds(1e300);
    auto back = secondsSinceReferenceDate(far);
    EXPECT_GT(back, 8e9);
    EXPECT_LT(secondsSinceReferenceDate(dateFromReferenceSeconds(-1e300)), -8e9);
    EXPECT_TRUE(std::isfinite(back));
}
