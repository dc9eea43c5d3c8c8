// The portable rules behind the dialog layer: bitmap placement, picture
// scales and number fields.
#include <gtest/gtest.h>

#include "ui/bitmap_layout.h"
#include "ui/field_parse.h"
#include "ui/window_layout.h"

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

TEST(ExtendBitmap, ThePictureOnceThenItsEdgesStretchedBeyondIt) {
    using Pieces = std::vector<ui::BitmapPiece>;
    EXPECT_EQ(ui::ExtendBitmap(541, 304, 600, 304), Pieces({{{0, 0, 600, 304}, {0, 0, 600, 304}}}));
    EXPECT_EQ(ui::ExtendBitmap(1000, 500, 600, 304),
              Pieces({{{0, 0, 600, 304}, {0, 0, 600, 304}},
                      {{600, 0, 400, 304}, {599, 0, 1, 304}},
                      {{0, 304, 600, 196}, {0, 302, 600, 1}},
                      {{600, 304, 400, 196}, {599, 302, 1, 1}}}));
    EXPECT_TRUE(ui::ExtendBitmap(0, 500, 600, 304).empty());
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

namespace {

using ui::AnchorBottom;
using ui::AnchorLeft;
using ui::AnchorRight;
using ui::AnchorTop;
using ui::Box;

// The main window's controls at their default places, in dialog units.
struct PlacedControl {
    const char* name;
    Box box;
    unsigned expected;
};
const PlacedControl MainWindowControls[] = {
    {"Enable Veilgate", {88, 23, 181, 33}, AnchorLeft | AnchorTop},
    {"selector beside it", {184, 21, 376, 34}, AnchorLeft | AnchorTop},
    {"list label", {88, 37, 208, 45}, AnchorLeft | AnchorTop},
    {"Find Working Proxies", {222, 35, 302, 46}, AnchorRight | AnchorTop},
    {"Proxy Sources", {306, 35, 376, 46}, AnchorRight | AnchorTop},
    {"list", {88, 47, 376, 129}, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom},
    {"rotation box", {88, 132, 318, 142}, AnchorLeft | AnchorBottom},
    {"minutes field", {320, 131, 340, 143}, AnchorLeft | AnchorBottom},
    {"minutes label", {343, 133, 376, 141}, AnchorLeft | AnchorBottom},
    {"Add New Proxy", {88, 144, 149, 158}, AnchorLeft | AnchorBottom},
    {"Refresh List", {167, 144, 228, 158}, AnchorLeft | AnchorBottom},
    {"What Is My IP?", {246, 144, 307, 158}, AnchorLeft | AnchorBottom},
    {"Go To Tray", {326, 144, 376, 158}, AnchorRight | AnchorBottom},
    {"status line", {88, 165, 376, 174}, AnchorLeft | AnchorRight | AnchorBottom},
    {"progress bar", {88, 175, 376, 180}, AnchorLeft | AnchorRight | AnchorBottom},
    {"read more", {3, 51, 63, 61}, AnchorLeft | AnchorTop},
};

TEST(AnchorsAroundGrowing, EachControlKeepsToTheEdgesItSitsBy) {
    std::vector<Box> boxes;
    for (const auto& control : MainWindowControls)
        boxes.push_back(control.box);
    std::vector<unsigned> anchors = ui::AnchorsAroundGrowing(boxes, 5, 5);
    ASSERT_EQ(anchors.size(), boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i)
        EXPECT_EQ(anchors[i], MainWindowControls[i].expected) << MainWindowControls[i].name;
}

TEST(AnchorsAroundGrowing, NoGrowingControlLeavesEveryControlInPlace) {
    EXPECT_EQ(ui::AnchorsAroundGrowing({{0, 0, 10, 10}}, 3, 5),
              std::vector<unsigned>({AnchorLeft | AnchorTop}));
}

TEST(AnchoredBox, MovesOrStretchesByTheGrowth) {
    const Box box = {10, 20, 30, 40};
    EXPECT_EQ(ui::AnchoredBox(box, AnchorLeft | AnchorTop, 100, 50), box);
    EXPECT_EQ(ui::AnchoredBox(box, AnchorRight | AnchorTop, 100, 50), (Box{110, 20, 130, 40}));
    EXPECT_EQ(ui::AnchoredBox(box, AnchorLeft | AnchorBottom, 100, 50), (Box{10, 70, 30, 90}));
    EXPECT_EQ(ui::AnchoredBox(box, AnchorLeft | AnchorRight | AnchorBottom, 100, 50),
              (Box{10, 70, 130, 90}));
    EXPECT_EQ(ui::AnchoredBox(box, AnchorLeft | AnchorTop | AnchorRight | AnchorBottom, 100, 50),
              (Box{10, 20, 130, 90}));
}

TEST(WindowPlace, ReadsBackWhatItStores) {
    ui::WindowPlace place;
    place.normal = {-8, 12, 900, 700};
    place.maximized = true;
    EXPECT_EQ(ui::FormatWindowPlace(place), "-8,12,900,700,1");
    ui::WindowPlace read;
    ASSERT_TRUE(ui::ParseWindowPlace("-8,12,900,700,1", read));
    EXPECT_EQ(read.normal, place.normal);
    EXPECT_TRUE(read.maximized);
}

TEST(WindowPlace, RefusesAnythingElse) {
    const char* bad[] = {"",
                         "1,2,3,4",
                         "1,2,3,4,5,6",
                         "1,2,3,4,2",
                         "10,10,5,20,0",
                         "10,10,20,10,0",
                         "a,2,3,4,0",
                         "1, 2,3,4,0",
                         "1,2,3,4,0x",
                         "99999999,0,1,1,0"};
    for (const char* text : bad) {
        ui::WindowPlace place;
        EXPECT_FALSE(ui::ParseWindowPlace(text, place)) << text;
    }
}

TEST(ClampToWorkArea, BringsTheWindowBackOntoTheScreen) {
    const Box work = {0, 0, 1024, 738};
    // Already inside: unchanged.
    EXPECT_EQ(ui::ClampToWorkArea({100, 100, 700, 500}, work, 600, 400), (Box{100, 100, 700, 500}));
    // Off to the right and below (a monitor since removed): moved in.
    EXPECT_EQ(ui::ClampToWorkArea({2000, 900, 2600, 1300}, work, 600, 400),
              (Box{424, 338, 1024, 738}));
    // Smaller than the default size: grown to it.
    EXPECT_EQ(ui::ClampToWorkArea({10, 10, 50, 50}, work, 600, 400), (Box{10, 10, 610, 410}));
    // Larger than the work area: cut to it.
    EXPECT_EQ(ui::ClampToWorkArea({-50, -50, 3000, 2000}, work, 600, 400), work);
}

}  // namespace
