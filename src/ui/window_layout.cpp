#include "ui/window_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace ui {

namespace {

bool SameRow(const Box& a, const Box& b) {
    return a.top < b.bottom && b.top < a.bottom;
}

bool SideBySide(const Box& a, const Box& b, int touchGap) {
    int gap = a.left < b.left ? b.left - a.right : a.left - b.right;
    return SameRow(a, b) && gap >= 0 && gap <= touchGap;
}

// Groups of controls joined, directly or through others, by sitting side by
// side: the group's number for each control.
std::vector<size_t> SideBySideGroups(const std::vector<Box>& controls, size_t growing,
                                     int touchGap) {
    std::vector<size_t> group(controls.size());
    for (size_t i = 0; i < group.size(); ++i)
        group[i] = i;
    bool joined = true;
    while (joined) {
        joined = false;
        for (size_t i = 0; i < controls.size(); ++i) {
            for (size_t j = 0; j < controls.size(); ++j) {
                if (i == growing || j == growing || group[i] == group[j] ||
                    !SideBySide(controls[i], controls[j], touchGap))
                    continue;
                size_t low = std::min(group[i], group[j]);
                group[i] = group[j] = low;
                joined = true;
            }
        }
    }
    return group;
}

}  // namespace

std::vector<unsigned> AnchorsAroundGrowing(const std::vector<Box>& controls, size_t growing,
                                           int touchGap) {
    std::vector<unsigned> anchors(controls.size(), AnchorLeft | AnchorTop);
    if (growing >= controls.size())
        return anchors;
    const Box& grow = controls[growing];
    std::vector<size_t> group = SideBySideGroups(controls, growing, touchGap);
    for (size_t i = 0; i < controls.size(); ++i) {
        if (i == growing) {
            anchors[i] = AnchorLeft | AnchorTop | AnchorRight | AnchorBottom;
            continue;
        }
        const Box& box = controls[i];
        unsigned vertical = box.top >= grow.bottom - touchGap ? AnchorBottom : AnchorTop;
        int groupLeft = box.left;
        int groupRight = box.right;
        for (size_t j = 0; j < controls.size(); ++j) {
            if (group[j] == group[i]) {
                groupLeft = std::min(groupLeft, controls[j].left);
                groupRight = std::max(groupRight, controls[j].right);
            }
        }
        bool atLeftEdge = groupLeft <= grow.left + touchGap;
        bool atRightEdge = groupRight >= grow.right - touchGap;
        unsigned across = AnchorLeft;
        if (box.left <= grow.left + touchGap && box.right >= grow.right - touchGap)
            across = AnchorLeft | AnchorRight;
        else if (atRightEdge && !atLeftEdge)
            across = AnchorRight;
        anchors[i] = across | vertical;
    }
    return anchors;
}

Box AnchoredBox(const Box& initial, unsigned anchors, int dx, int dy) {
    Box box = initial;
    if (anchors & AnchorRight) {
        box.right += dx;
        if (!(anchors & AnchorLeft))
            box.left += dx;
    }
    if (anchors & AnchorBottom) {
        box.bottom += dy;
        if (!(anchors & AnchorTop))
            box.top += dy;
    }
    return box;
}

std::string FormatWindowPlace(const WindowPlace& place) {
    char text[80];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d", place.normal.left, place.normal.top,
                  place.normal.right, place.normal.bottom, place.maximized ? 1 : 0);
    return text;
}

bool ParseWindowPlace(const std::string& text, WindowPlace& place) {
    long numbers[5] = {};
    const char* at = text.c_str();
    for (int i = 0; i < 5; ++i) {
        char* end = nullptr;
        if (*at != '-' && (*at < '0' || *at > '9'))
            return false;
        numbers[i] = std::strtol(at, &end, 10);
        if (end == at || numbers[i] < -1000000 || numbers[i] > 1000000)
            return false;
        at = end;
        if (i < 4 && *at++ != ',')
            return false;
    }
    if (*at != '\0' || (numbers[4] != 0 && numbers[4] != 1))
        return false;
    WindowPlace read;
    read.normal = {static_cast<int>(numbers[0]), static_cast<int>(numbers[1]),
                   static_cast<int>(numbers[2]), static_cast<int>(numbers[3])};
    read.maximized = numbers[4] == 1;
    if (read.normal.Width() <= 0 || read.normal.Height() <= 0)
        return false;
    place = read;
    return true;
}

Box ClampToWorkArea(const Box& window, const Box& workArea, int minWidth, int minHeight) {
    int width = std::min(std::max(window.Width(), minWidth), workArea.Width());
    int height = std::min(std::max(window.Height(), minHeight), workArea.Height());
    int left = std::max(workArea.left, std::min(window.left, workArea.right - width));
    int top = std::max(workArea.top, std::min(window.top, workArea.bottom - height));
    return {left, top, left + width, top + height};
}

}  // namespace ui
