#include "popup/PopupPlacement.h"

#include <algorithm>

namespace {

bool IsHorizontal(int edge) {
    return edge != kEdgeLeft && edge != kEdgeRight;
}

// The screen edge a taskbar lies along: a wide one at the top or bottom, a tall one at the
// left or right, whichever half of the screen holds it.
int EdgeOfBar(const ScreenRect& bar, const ScreenRect& screen) {
    const int width = bar.right - bar.left;
    const int height = bar.bottom - bar.top;
    if (width >= height) {
        const bool upperHalf = bar.top + bar.bottom < screen.top + screen.bottom;
        return upperHalf ? kEdgeTop : kEdgeBottom;
    }
    const bool leftHalf = bar.left + bar.right < screen.left + screen.right;
    return leftHalf ? kEdgeLeft : kEdgeRight;
}

} // namespace

bool IsPlausibleReport(const ScreenRect& bar, const ScreenRect& screen) {
    if (bar.IsEmpty())
        return false;
    switch (EdgeOfBar(bar, screen)) {
    case kEdgeLeft:
        return bar.right - bar.left >= kThinnestTaskbar && bar.left <= screen.left &&
               bar.right > screen.left;
    case kEdgeRight:
        return bar.right - bar.left >= kThinnestTaskbar && bar.right >= screen.right &&
               bar.left < screen.right;
    case kEdgeTop:
        return bar.bottom - bar.top >= kThinnestTaskbar && bar.top <= screen.top &&
               bar.bottom > screen.top;
    default:
        return bar.bottom - bar.top >= kThinnestTaskbar && bar.bottom >= screen.bottom &&
               bar.top < screen.bottom;
    }
}

Taskbar ResolveTaskbar(const ScreenRect* reported, const ScreenRect* visibleWindow,
                       const ScreenRect& screen, const ScreenRect& workArea) {
    if (reported && IsPlausibleReport(*reported, screen))
        return Taskbar{EdgeOfBar(*reported, screen), *reported};
    if (visibleWindow && !visibleWindow->IsEmpty())
        return Taskbar{EdgeOfBar(*visibleWindow, screen), *visibleWindow};
    if (reported && !reported->IsEmpty())
        return Taskbar{EdgeOfBar(*reported, screen), *reported};
    return Taskbar{kEdgeBottom,
                   ScreenRect{workArea.left, workArea.bottom, workArea.right, workArea.bottom}};
}

ScreenPoint NotifyAreaCentre(const ScreenRect* notifyArea, const Taskbar& taskbar) {
    if (notifyArea) {
        return ScreenPoint{notifyArea->left + (notifyArea->right - notifyArea->left) / 2,
                           notifyArea->top + (notifyArea->bottom - notifyArea->top) / 2};
    }
    const ScreenRect& bar = taskbar.rect;
    if (IsHorizontal(taskbar.edge))
        return ScreenPoint{bar.right, bar.top + (bar.bottom - bar.top) / 2};
    return ScreenPoint{bar.left + (bar.right - bar.left) / 2, bar.bottom};
}

SlideState StartSlide(const Taskbar& taskbar, ScreenPoint notifyCentre, const ScreenRect& screen) {
    const ScreenRect& bar = taskbar.rect;
    SlideState slide;
    slide.edge = taskbar.edge;
    // A notification area near the taskbar's start would put part of the popup off the
    // screen; the popup then starts where the screen does.
    switch (taskbar.edge) {
    case kEdgeTop:
        slide.heightStep = kSlideStep;
        slide.anchorX = std::max(screen.left, std::min(bar.right - 150, notifyCentre.x - 75));
        slide.anchorY = bar.bottom;
        break;
    case kEdgeLeft:
    case kEdgeRight:
        slide.widthStep = kSlideStep;
        slide.anchorX = taskbar.edge == kEdgeLeft ? bar.right : bar.left;
        slide.anchorY = std::max(screen.top, std::min(notifyCentre.y - 60, bar.bottom - 121));
        break;
    default:
        // Two pixels short of the taskbar's end at the bottom, flush with it at the top.
        slide.heightStep = kSlideStep;
        slide.anchorX = std::max(screen.left, std::min(bar.right - 152, notifyCentre.x - 75));
        slide.anchorY = bar.top;
        break;
    }
    return slide;
}

void StepSlide(SlideState& slide) {
    if (IsHorizontal(slide.edge)) {
        if (slide.heightStep > 0 && slide.height >= kPopupHeight)
            slide.heightStep = -slide.heightStep;
        slide.height += slide.heightStep;
    } else {
        if (slide.widthStep > 0 && slide.width >= kPopupWidth)
            slide.widthStep = -slide.widthStep;
        slide.width += slide.widthStep;
    }
}

bool IsFullyOut(const SlideState& slide) {
    return slide.height >= kPopupHeight || slide.width >= kPopupWidth;
}

bool HasSize(const SlideState& slide) {
    return slide.height > 0 || slide.width > 0;
}

WindowBox SlideWindowBox(const SlideState& slide) {
    switch (slide.edge) {
    case kEdgeTop:
        return WindowBox{slide.anchorX, slide.anchorY, kPopupWidth, slide.height};
    case kEdgeLeft:
        return WindowBox{slide.anchorX, slide.anchorY, slide.width, kPopupHeight};
    case kEdgeRight:
        return WindowBox{slide.anchorX - slide.width, slide.anchorY, slide.width, kPopupHeight};
    default:
        return WindowBox{slide.anchorX, slide.anchorY - slide.height, kPopupWidth, slide.height};
    }
}

TextLayout LayOutTexts(const SlideState& slide, int height1, int height2, int height3) {
    const int half = (height1 + height2 + height3 + 10) / 2;
    TextLayout layout;
    layout.left = 2;
    layout.top1 = 60 - half;
    int gapBeforeLine3 = 10;
    if (slide.edge == kEdgeLeft) {
        // The lines follow the growing right edge: the band's centre stays at width / 2.
        layout.left = slide.width - kTextRight;
        gapBeforeLine3 = 12;
    } else if (slide.edge == kEdgeTop) {
        layout.top1 = slide.height - 60 - half;
    }
    layout.top2 = layout.top1 + height1;
    layout.top3 = layout.top2 + height2 + gapBeforeLine3;
    return layout;
}
