// The portable rules behind the dialog layer: bitmap placement, picture
// scales and number fields.
#include <gtest/gtest.h>

#include "ui/bitmap_layout.h"
#include "ui/field_parse.h"

namespace {

using ui::Placement;

TEST(PlaceBitmap, TilesRowByRowFromTheTopLeft) {
    auto tiles = ui::PlaceBitmap(ui::BitmapTiled, 100, 50, 40, 30);
    std::vector<Placement> expected = {{0, 0, 40, 30},  {40, 0, 40, 30},  {80, 0, 40, 30},
                                       {0, 30, 40, 30}, {40, 30, 40, 30}, {80, 30, 40, 30}};
    EXPECT_EQ(tiles, expected);
}

TEST(PlaceBitmap, OneTileWhenTheBitmapCoversTheWindow) {
    auto tiles = ui::PlaceBitmap(ui::BitmapTiled, 541, 304, 541, 304);
    ASSERT_EQ(tiles.size(), 1u);
    EXPECT_EQ(tiles[0], (Placement{0, 0, 541, 304}));
}

TEST(PlaceBitmap, CentresOnEachAxisWhereTheWindowIsLarger) {
    EXPECT_EQ(ui::PlaceBitmap(ui::BitmapCentred, 100, 60, 40, 20),
              std::vector<Placement>({{30, 20, 40, 20}}));
    // Wider bitmap: at the origin across, centred down.
    EXPECT_EQ(ui::PlaceBitmap(ui::BitmapCentred, 100, 60, 541, 20),
              std::vector<Placement>({{0, 20, 541, 20}}));
    EXPECT_EQ(ui::PlaceBitmap(ui::BitmapCentred, 100, 60, 541, 304),
              std::vector<Placement>({{0, 0, 541, 304}}));
}

TEST(PlaceBitmap, StretchesOverTheWholeArea) {
    EXPECT_EQ(ui::PlaceBitmap(ui::BitmapStretched, 640, 480, 43, 12),
              std::vector<Placement>({{0, 0, 640, 480}}));
}

TEST(PlaceBitmap, NothingForUnknownModesOrEmptySizes) {
    EXPECT_TRUE(ui::PlaceBitmap(3, 100, 100, 10, 10).empty());
    EXPECT_TRUE(ui::PlaceBitmap(-1, 100, 100, 10, 10).empty());
    EXPECT_TRUE(ui::PlaceBitmap(ui::BitmapTiled, 0, 100, 10, 10).empty());
    EXPECT_TRUE(ui::PlaceBitmap(ui::BitmapTiled, 100, 100, 0, 10).empty());
    EXPECT_FALSE(ui::IsBitmapMode(3));
    EXPECT_TRUE(ui::IsBitmapMode(0) && ui::IsBitmapMode(1) && ui::IsBitmapMode(2));
}

TEST(PictureScaleForDpi, TakesTheLargestDrawnScaleThatFits) {
    const struct {
        int dpi, percent;
    } cases[] = {{72, 100},  {96, 100},  {120, 100}, {143, 100},
                 {144, 150}, {168, 150}, {192, 200}, {288, 200}};
    for (const auto& c : cases)
        EXPECT_EQ(ui::PictureScaleForDpi(c.dpi), c.percent) << c.dpi;
    // The sizes tools/make_pictures.py draws: 97 x 30 buttons at 150 %.
    EXPECT_EQ(ui::ScalePixels(97, 150), 146);
    EXPECT_EQ(ui::ScalePixels(21, 150), 32);
}

TEST(ParseUnsignedField, AcceptsDigitsWithBlanksAround) {
    uint32_t value = 0;
    EXPECT_TRUE(ui::ParseUnsignedField("42", value));
    EXPECT_EQ(value, 42u);
    EXPECT_TRUE(ui::ParseUnsignedField("  7 ", value));
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(ui::ParseUnsignedField("4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(ui::ParseUnsignedField("0", value));
    EXPECT_EQ(value, 0u);
}

TEST(ParseUnsignedField, RefusesEverythingElseAndKeepsTheValue) {
    for (const char* text : {"", "   ", "-1", "+1", "12a", "a12", "1 2", "4294967296", "1.5",
                             "99999999999999999999"}) {
        SCOPED_TRACE(text);
        uint32_t value = 123;
        EXPECT_FALSE(ui::ParseUnsignedField(text, value));
        EXPECT_EQ(value, 123u);
    }
}

TEST(CaretAfterRewrite, KeepsItsDistanceFromTheEnd) {
    struct Case {
        const char* before;
        const char* after;
        size_t caret;
        size_t want;
    };
    const Case cases[] = {
        {"020", "20", 3, 2},  // a leading zero dropped, the caret at the end
        {"95", "10", 2, 2},   // reset to 10 after a refused number
        {"123", "123", 1, 1}, {"5", "10", 0, 1}, {"1234", "1", 1, 0}, {"12", "12", 9, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, ui::CaretAfterRewrite(c.before, c.after, c.caret)) << c.before;
}

}  // namespace
