#include "ui/anchored_layout_win.h"

namespace ui {

namespace {

Box BoxOf(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// A child's box in its parent's client coordinates.
Box ChildBox(HWND dialog, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return BoxOf(rect);
}

}  // namespace

void AnchoredLayout::Take(HWND dialog, HWND growing, HWND placesItself, int touchGapUnits) {
    controls_.clear();
    std::vector<Box> boxes;
    size_t growingIndex = static_cast<size_t>(-1);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == placesItself)
            continue;
        if (child == growing)
            growingIndex = boxes.size();
        boxes.push_back(ChildBox(dialog, child));
        controls_.push_back({child, boxes.back(), 0});
    }
    RECT gap = {0, 0, touchGapUnits, touchGapUnits};
    MapDialogRect(dialog, &gap);
    std::vector<unsigned> anchors = AnchorsAroundGrowing(boxes, growingIndex, gap.right);
    for (size_t i = 0; i < controls_.size(); ++i)
        controls_[i].anchors = anchors[i];
    RECT client{};
    GetClientRect(dialog, &client);
    clientWidth_ = client.right;
    clientHeight_ = client.bottom;
}

void AnchoredLayout::StretchAcross(HWND control) {
    for (Control& taken : controls_) {
        if (taken.window == control)
            taken.anchors |= AnchorLeft | AnchorRight;
    }
}

void AnchoredLayout::Apply(HWND dialog) const {
    RECT client{};
    GetClientRect(dialog, &client);
    // Minimised, or not laid out yet: nothing to follow.
    if (controls_.empty() || client.right == 0 || client.bottom == 0)
        return;
    int dx = client.right - clientWidth_;
    int dy = client.bottom - clientHeight_;
    HDWP positions = BeginDeferWindowPos(static_cast<int>(controls_.size()));
    for (const Control& control : controls_) {
        if (!IsWindow(control.window))
            continue;
        Box box = AnchoredBox(control.box, control.anchors, dx, dy);
        Box now = ChildBox(dialog, control.window);
        if (box == now)
            continue;
        // A combo box's height is that of its opened list: only moved, its
        // size is never touched unless its anchors stretch it.
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (box.Width() == control.box.Width() && box.Height() == control.box.Height())
            flags |= SWP_NOSIZE;
        if (positions)
            positions = DeferWindowPos(positions, control.window, nullptr, box.left, box.top,
                                       box.Width(), box.Height(), flags);
        else
            SetWindowPos(control.window, nullptr, box.left, box.top, box.Width(), box.Height(),
                         flags);
    }
    if (positions)
        EndDeferWindowPos(positions);
    InvalidateRect(dialog, nullptr, TRUE);
}

void AnchoredLayout::SetMinimumSize(int width, int height) {
    minWidth_ = width;
    minHeight_ = height;
}

void AnchoredLayout::LimitTracking(MINMAXINFO& limits) const {
    if (minWidth_ > 0)
        limits.ptMinTrackSize.x = minWidth_;
    if (minHeight_ > 0)
        limits.ptMinTrackSize.y = minHeight_;
}

std::string KeptWindowPlace(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return std::string();
    WindowPlace place;
    place.normal = BoxOf(placement.rcNormalPosition);
    place.maximized = placement.showCmd == SW_SHOWMAXIMIZED || IsZoomed(window);
    return FormatWindowPlace(place);
}

bool RestoreWindowPlace(HWND window, const std::string& kept, int minWidth, int minHeight) {
    WindowPlace place;
    if (!ParseWindowPlace(kept, place))
        return false;
    // Workspace coordinates start at the primary monitor's work area; the
    // kept box is brought into the work area of the monitor nearest to it,
    // in the same coordinates.
    MONITORINFO primary{};
    primary.cbSize = sizeof primary;
    GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    POINT origin = {primary.rcWork.left, primary.rcWork.top};
    RECT onScreen = {place.normal.left + origin.x, place.normal.top + origin.y,
                     place.normal.right + origin.x, place.normal.bottom + origin.y};
    MONITORINFO nearest{};
    nearest.cbSize = sizeof nearest;
    if (!GetMonitorInfoA(MonitorFromRect(&onScreen, MONITOR_DEFAULTTONEAREST), &nearest))
        return false;
    Box work = BoxOf(nearest.rcWork);
    work = {work.left - origin.x, work.top - origin.y, work.right - origin.x,
            work.bottom - origin.y};
    Box box = ClampToWorkArea(place.normal, work, minWidth, minHeight);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(window, &placement);
    placement.flags = 0;
    placement.showCmd = IsWindowVisible(window) ? SW_SHOWNORMAL : SW_HIDE;
    placement.rcNormalPosition = {box.left, box.top, box.right, box.bottom};
    SetWindowPlacement(window, &placement);
    return place.maximized;
}

}  // namespace ui
