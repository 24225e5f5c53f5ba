#include "PopupPlacement.h"

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

int ScaleToDpi(int length, int dpi) {
    return (length * dpi + kDefaultDpi / 2) / kDefaultDpi;
}

SlideState StartSlide(const Taskbar& taskbar, ScreenPoint notifyCentre, const ScreenRect& screen,
                      int dpi) {
    const ScreenRect& bar = taskbar.rect;
    const auto scaled = [dpi](int length) { return ScaleToDpi(length, dpi); };
    SlideState slide;
    slide.dpi = dpi;
    slide.edge = taskbar.edge;
    // A notification area near the taskbar's start would put part of the popup off the
    // screen; the popup then starts where the screen does.
    switch (taskbar.edge) {
    case kEdgeTop:
        slide.heightStep = scaled(kSlideStep);
        slide.anchorX =
            std::max(screen.left, std::min(bar.right - scaled(150), notifyCentre.x - scaled(75)));
        slide.anchorY = bar.bottom;
        break;
    case kEdgeLeft:
    case kEdgeRight:
        slide.widthStep = scaled(kSlideStep);
        slide.anchorX = taskbar.edge == kEdgeLeft ? bar.right : bar.left;
        slide.anchorY =
            std::max(screen.top, std::min(notifyCentre.y - scaled(60), bar.bottom - scaled(121)));
        break;
    default:
        // Two pixels short of the taskbar's end at the bottom, flush with it at the top.
        slide.heightStep = scaled(kSlideStep);
        slide.anchorX =
            std::max(screen.left, std::min(bar.right - scaled(152), notifyCentre.x - scaled(75)));
        slide.anchorY = bar.top;
        break;
    }
    return slide;
}

int FullWidth(const SlideState& slide) {
    return ScaleToDpi(kPopupWidth, slide.dpi);
}

int FullHeight(const SlideState& slide) {
    return ScaleToDpi(kPopupHeight, slide.dpi);
}

void StepSlide(SlideState& slide) {
    // At a DPI that does not divide the size into whole steps, the last step is shorter.
    if (IsHorizontal(slide.edge)) {
        if (slide.heightStep > 0 && slide.height >= FullHeight(slide))
            slide.heightStep = -slide.heightStep;
        slide.height = std::clamp(slide.height + slide.heightStep, 0, FullHeight(slide));
    } else {
        if (slide.widthStep > 0 && slide.width >= FullWidth(slide))
            slide.widthStep = -slide.widthStep;
        slide.width = std::clamp(slide.width + slide.widthStep, 0, FullWidth(slide));
    }
}

bool IsFullyOut(const SlideState& slide) {
    return slide.height >= FullHeight(slide) || slide.width >= FullWidth(slide);
}

bool HasSize(const SlideState& slide) {
    return slide.height > 0 || slide.width > 0;
}

WindowBox SlideWindowBox(const SlideState& slide) {
    const int width = FullWidth(slide);
    const int height = FullHeight(slide);
    switch (slide.edge) {
    case kEdgeTop:
        return WindowBox{slide.anchorX, slide.anchorY, width, slide.height};
    case kEdgeLeft:
        return WindowBox{slide.anchorX, slide.anchorY, slide.width, height};
    case kEdgeRight:
        return WindowBox{slide.anchorX - slide.width, slide.anchorY, slide.width, height};
    default:
        return WindowBox{slide.anchorX, slide.anchorY - slide.height, width, slide.height};
    }
}

TextLayout LayOutTexts(const SlideState& slide, int height1, int height2, int height3) {
    const auto scaled = [&slide](int length) { return ScaleToDpi(length, slide.dpi); };
    const int half = (height1 + height2 + height3 + scaled(10)) / 2;
    TextLayout layout;
    layout.left = scaled(2);
    layout.right = scaled(kTextRight);
    layout.bottom = scaled(kTextBottom);
    layout.top1 = scaled(60) - half;
    int gapBeforeLine3 = scaled(10);
    if (slide.edge == kEdgeLeft) {
        // The lines follow the growing right edge: the band's centre stays at width / 2.
        layout.left = slide.width - layout.right;
        gapBeforeLine3 = scaled(12);
    } else if (slide.edge == kEdgeTop) {
        layout.top1 = slide.height - scaled(60) - half;
    }
    layout.top2 = layout.top1 + height1;
    layout.top3 = layout.top2 + height2 + gapBeforeLine3;
    return layout;
}
