#include "PopupPlacement.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool SameBox(const WindowBox& a, const WindowBox& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

SlideState RunToFullyOut(SlideState slide, int* steps = nullptr) {
    int count = 0;
    while (!IsFullyOut(slide) && count < 1000) {
        StepSlide(slide);
        ++count;
    }
    if (steps)
        *steps = count;
    return slide;
}

struct PlacementRow {
    const char* name;
    Taskbar taskbar;
    ScreenPoint centre;
    ScreenPoint anchor;
    WindowBox fullyOut;
    int dpi = kDefaultDpi;
};

const ScreenRect kScreen800 = {0, 0, 800, 600};

} // namespace

TEST(PopupPlacement, AnchorsAndFullyOutBoxes) {
    const PlacementRow rows[] = {
        {"bottom, two pixels inside",
         {kEdgeBottom, {0, 570, 800, 600}},
         {750, 585},
         {648, 570},
         {648, 450, 150, 120}},
        {"top, flush right",
         {kEdgeTop, {0, 0, 800, 30}},
         {750, 15},
         {650, 30},
         {650, 30, 150, 120}},
        {"left", {kEdgeLeft, {0, 0, 60, 600}}, {30, 560}, {60, 479}, {60, 479, 150, 120}},
        {"right", {kEdgeRight, {740, 0, 800, 600}}, {770, 560}, {740, 479}, {590, 479, 150, 120}},
        {"bottom, centred on a far notification area",
         {kEdgeBottom, {0, 570, 800, 600}},
         {300, 585},
         {225, 570},
         {225, 450, 150, 120}},
        {"unknown edge counts as bottom",
         {7, {0, 570, 800, 600}},
         {750, 585},
         {648, 570},
         {648, 450, 150, 120}},
        // Never half off the screen.
        {"bottom, notification area at the left end",
         {kEdgeBottom, {0, 570, 800, 600}},
         {10, 585},
         {0, 570},
         {0, 450, 150, 120}},
        {"right, notification area at the top end",
         {kEdgeRight, {740, 0, 800, 600}},
         {770, 15},
         {740, 0},
         {590, 0, 150, 120}},
        {"top, notification area at the left end",
         {kEdgeTop, {0, 0, 800, 30}},
         {20, 15},
         {0, 30},
         {0, 30, 150, 120}},
        // Where the screen has room, the popup stays centred past the taskbar's start.
        {"bottom taskbar starting mid-screen",
         {kEdgeBottom, {200, 570, 800, 600}},
         {210, 585},
         {135, 570},
         {135, 450, 150, 120}},
        {"left taskbar starting mid-screen",
         {kEdgeLeft, {0, 200, 60, 600}},
         {30, 230},
         {60, 170},
         {60, 170, 150, 120}},
        // Sizes and margins scale with the monitor's DPI: 2 pixels become 4 at 200 %.
        {"bottom at 192 dpi, four pixels inside",
         {kEdgeBottom, {0, 1140, 1600, 1200}},
         {1500, 1170},
         {1296, 1140},
         {1296, 900, 300, 240},
         192},
        {"left at 192 dpi, two pixels above the end",
         {kEdgeLeft, {0, 0, 120, 1200}},
         {60, 1120},
         {120, 958},
         {120, 958, 300, 240},
         192},
        {"top at 144 dpi, centred",
         {kEdgeTop, {0, 0, 1200, 45}},
         {600, 22},
         {487, 45},
         {487, 45, 225, 180},
         144},
    };
    for (const PlacementRow& row : rows) {
        SCOPED_TRACE(row.name);
        const SlideState start = StartSlide(row.taskbar, row.centre, kScreen800, row.dpi);
        EXPECT_EQ(row.anchor.x, start.anchorX);
        EXPECT_EQ(row.anchor.y, start.anchorY);
        EXPECT_FALSE(HasSize(start));
        EXPECT_TRUE(SameBox(row.fullyOut, SlideWindowBox(RunToFullyOut(start))));
    }
}

TEST(PopupPlacement, ResolvesTheTaskbarFromAPlausibleReportOrWhatIsVisible) {
    const ScreenRect screen = {0, 0, 1024, 768};
    const ScreenRect wineReport = {0, 767, 1024, 768};
    const ScreenRect emptyReport = {0, 0, 0, 0};
    // What Windows reports: a taskbar a little larger than the screen's edge.
    const ScreenRect shellBottom = {-2, 728, 1026, 770};
    const ScreenRect shellLeft = {0, 0, 62, 768};
    const ScreenRect shellRight = {962, 0, 1024, 768};
    const ScreenRect shellTop = {0, 0, 1024, 30};
    const ScreenRect thinnestReport = {0, 763, 1024, 768};
    const ScreenRect tooThinReport = {0, 0, 1024, 4};
    const ScreenRect floatingReport = {0, 400, 1024, 440};
    const ScreenRect offScreenReport = {-62, 0, 0, 768};
    const ScreenRect wineTaskbar = {0, 748, 1024, 768};
    const ScreenRect leftBar = {0, 0, 40, 768};
    const ScreenRect rightBar = {984, 0, 1024, 768};
    const ScreenRect topBar = {0, 0, 1024, 30};
    const ScreenRect hidden = {0, 0, 0, 0};
    const ScreenRect workArea = {0, 0, 1024, 728};
    struct Row {
        const char* name;
        const ScreenRect* reported;
        const ScreenRect* window;
        Taskbar expected;
    } rows[] = {
        {"plausible report beats the window",
         &shellBottom,
         &wineTaskbar,
         {kEdgeBottom, shellBottom}},
        {"plausible left report", &shellLeft, &wineTaskbar, {kEdgeLeft, shellLeft}},
        {"plausible right report", &shellRight, &wineTaskbar, {kEdgeRight, shellRight}},
        {"plausible top report", &shellTop, &wineTaskbar, {kEdgeTop, shellTop}},
        {"report exactly the thinnest",
         &thinnestReport,
         &wineTaskbar,
         {kEdgeBottom, thinnestReport}},
        {"visible window beats a made-up strip",
         &wineReport,
         &wineTaskbar,
         {kEdgeBottom, wineTaskbar}},
        {"report too thin", &tooThinReport, &topBar, {kEdgeTop, topBar}},
        {"report off the screen's edge", &floatingReport, &wineTaskbar, {kEdgeBottom, wineTaskbar}},
        {"report beyond the screen", &offScreenReport, &leftBar, {kEdgeLeft, leftBar}},
        {"left window", &wineReport, &leftBar, {kEdgeLeft, leftBar}},
        {"right window", nullptr, &rightBar, {kEdgeRight, rightBar}},
        {"top window", nullptr, &topBar, {kEdgeTop, topBar}},
        {"hidden window: the report", &wineReport, &hidden, {kEdgeBottom, wineReport}},
        {"no window: the report", &wineReport, nullptr, {kEdgeBottom, wineReport}},
        {"empty report: bottom of the work area",
         &emptyReport,
         nullptr,
         {kEdgeBottom, {0, 728, 1024, 728}}},
        {"nothing: bottom of the work area", nullptr, nullptr, {kEdgeBottom, {0, 728, 1024, 728}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Taskbar got = ResolveTaskbar(row.reported, row.window, screen, workArea);
        EXPECT_EQ(row.expected.edge, got.edge);
        EXPECT_EQ(row.expected.rect.left, got.rect.left);
        EXPECT_EQ(row.expected.rect.top, got.rect.top);
        EXPECT_EQ(row.expected.rect.right, got.rect.right);
        EXPECT_EQ(row.expected.rect.bottom, got.rect.bottom);
    }
}

TEST(PopupPlacement, FallbacksPutThePopupBottomRightInsideTheScreen) {
    const ScreenRect screen = {0, 0, 1024, 768};
    const ScreenRect wineReport = {0, 767, 1024, 768};
    const ScreenRect wineTaskbar = {0, 748, 1024, 768};
    struct Row {
        const char* name;
        const ScreenRect* window;
        WindowBox expected;
    } rows[] = {
        {"taskbar shown", &wineTaskbar, {872, 628, 150, 120}},
        {"taskbar not shown yet", nullptr, {872, 647, 150, 120}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Taskbar bar = ResolveTaskbar(&wineReport, row.window, screen, screen);
        const SlideState slide = StartSlide(bar, NotifyAreaCentre(nullptr, bar), screen);
        EXPECT_TRUE(SameBox(row.expected, SlideWindowBox(RunToFullyOut(slide))));
    }
}

TEST(PopupSlide, FullCycleSizes) {
    struct Row {
        const char* name;
        Taskbar taskbar;
        int stepsEachWay;
        int fullSize;
        int otherSize;
        int dpi = kDefaultDpi;
        int step = kSlideStep;
    } rows[] = {
        {"bottom", {kEdgeBottom, {0, 570, 800, 600}}, 24, 120, 150},
        {"top", {kEdgeTop, {0, 0, 800, 30}}, 24, 120, 150},
        {"left", {kEdgeLeft, {0, 0, 60, 600}}, 30, 150, 120},
        {"right", {kEdgeRight, {740, 0, 800, 600}}, 30, 150, 120},
        // As many steps at 200 %, so the slide takes as long.
        {"bottom at 192 dpi", {kEdgeBottom, {0, 1140, 1600, 1200}}, 24, 240, 300, 192, 10},
        {"right at 192 dpi", {kEdgeRight, {1480, 0, 1600, 1200}}, 30, 300, 240, 192, 10},
        // 7.5 pixels round to 8: one step fewer, the last one short, never past the size.
        {"bottom at 144 dpi", {kEdgeBottom, {0, 855, 1200, 900}}, 23, 180, 225, 144, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SlideState slide =
            StartSlide(row.taskbar, NotifyAreaCentre(nullptr, row.taskbar), kScreen800, row.dpi);
        const bool vertical = row.taskbar.edge != kEdgeLeft && row.taskbar.edge != kEdgeRight;
        std::vector<int> sizes;
        do {
            StepSlide(slide);
            const WindowBox box = SlideWindowBox(slide);
            sizes.push_back(vertical ? box.height : box.width);
            // The other dimension is fixed and its field untouched.
            EXPECT_EQ(row.otherSize, vertical ? box.width : box.height);
            EXPECT_EQ(0, vertical ? slide.width : slide.height);
            EXPECT_LE(sizes.back(), row.fullSize);
        } while (HasSize(slide) && sizes.size() < 1000);
        ASSERT_EQ(static_cast<size_t>(2 * row.stepsEachWay), sizes.size());
        EXPECT_EQ(row.step, sizes.front());
        EXPECT_EQ(row.fullSize, sizes[row.stepsEachWay - 1]);
        // The step after the hold reverses before it moves.
        EXPECT_EQ(row.fullSize - row.step, sizes[row.stepsEachWay]);
        EXPECT_EQ(0, sizes.back());
    }
}

TEST(PopupTextLayout, LineTopsAndLeftEdgeOfTheBand) {
    struct Row {
        const char* name;
        int edge;
        int width;
        int height;
        struct {
            int left, top1, top2, top3;
        } expected;
        int dpi = kDefaultDpi;
        int lineHeight = 16;
    } rows[] = {
        {"bottom, fully out", kEdgeBottom, 0, 120, {2, 31, 47, 73}},
        {"right, fully out", kEdgeRight, 150, 0, {2, 31, 47, 73}},
        {"top, fully out", kEdgeTop, 0, 120, {2, 31, 47, 73}},
        {"left, fully out: wider gap", kEdgeLeft, 150, 0, {2, 31, 47, 75}},
        {"top while growing: lines ride the bottom edge", kEdgeTop, 0, 40, {2, -49, -33, -7}},
        {"left while growing: band follows the right edge", kEdgeLeft, 50, 0, {-98, 31, 47, 75}},
        {"bottom while growing: fixed in the window", kEdgeBottom, 0, 40, {2, 31, 47, 73}},
        {"unknown edge counts as bottom", 9, 0, 120, {2, 31, 47, 73}},
        // At 192 dpi the margins double and the 12-point lines are 32 pixels high.
        {"bottom at 192 dpi", kEdgeBottom, 0, 240, {4, 62, 94, 146}, 192, 32},
        {"left at 192 dpi", kEdgeLeft, 300, 0, {4, 62, 94, 150}, 192, 32},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SlideState slide;
        slide.edge = row.edge;
        slide.width = row.width;
        slide.height = row.height;
        slide.dpi = row.dpi;
        const TextLayout got = LayOutTexts(slide, row.lineHeight, row.lineHeight, row.lineHeight);
        EXPECT_EQ(row.expected.left, got.left);
        EXPECT_EQ(row.expected.top1, got.top1);
        EXPECT_EQ(row.expected.top2, got.top2);
        EXPECT_EQ(row.expected.top3, got.top3);
    }
}
