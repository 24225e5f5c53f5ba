#include "popup/PopupPlacement.h"

#include <algorithm>

namespace {

bool IsHorizontal(int edge) {
    return edge != kEdgeLeft && edge != kEdgeRight;
}

int EdgeOfWindow(const ScreenRect& window, const ScreenRect& screen) {
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    if (width >= height) {
        const bool upperHalf = window.top + window.bottom < screen.top + screen.bottom;
        return upperHalf ? kEdgeTop : kEdgeBottom;
    }
    const bool leftHalf = window.left + window.right < screen.left + screen.right;
    return leftHalf ? kEdgeLeft : kEdgeRight;
}

} // namespace

Taskbar ResolveTaskbar(const Taskbar* reported, const ScreenRect* visibleWindow,
                       const ScreenRect& screen, const ScreenRect& workArea) {
    if (visibleWindow && !visibleWindow->IsEmpty())
        return Taskbar{EdgeOfWindow(*visibleWindow, screen), *visibleWindow};
    if (reported && !reported->rect.IsEmpty())
        return *reported;
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

SlideState StartSlide(const Taskbar& taskbar, ScreenPoint notifyCentre, int dpi) {
    const ScreenRect& bar = taskbar.rect;
    const auto scaled = [dpi](int length) { return ScaleToDpi(length, dpi); };
    SlideState slide;
    slide.dpi = dpi;
    slide.edge = taskbar.edge;
    switch (taskbar.edge) {
    case kEdgeTop:
        slide.heightStep = scaled(kSlideStep);
        slide.anchorX =
            std::max(bar.left, std::min(bar.right - scaled(150), notifyCentre.x - scaled(75)));
        slide.anchorY = bar.bottom;
        break;
    case kEdgeLeft:
    case kEdgeRight:
        slide.widthStep = scaled(kSlideStep);
        slide.anchorX = taskbar.edge == kEdgeLeft ? bar.right : bar.left;
        slide.anchorY =
            std::max(bar.top, std::min(notifyCentre.y - scaled(60), bar.bottom - scaled(121)));
        break;
    default:
        // Two pixels short of the taskbar's end at the bottom, flush with it at the top.
        slide.heightStep = scaled(kSlideStep);
        slide.anchorX =
            std::max(bar.left, std::min(bar.right - scaled(152), notifyCentre.x - scaled(75)));
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
