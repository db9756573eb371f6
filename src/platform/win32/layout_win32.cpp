// Resizable dialogs: a sizing frame and grip, a minimum size, and anchored controls that follow
// the client area.
#include <windows.h>

#include "platform/win32/controls_win32.h"

namespace wq::ui::win32 {

namespace {

SIZE ClientSize(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return {r.right, r.bottom};
}

}  // namespace

void Layout::start(HWND dialog, const std::vector<std::pair<int, unsigned>>& anchors) {
    SIZE client = ClientSize(dialog);
    LONG_PTR style = GetWindowLongPtrA(dialog, GWL_STYLE);
    if (!(style & WS_THICKFRAME)) {
        // The sizing frame is wider than a dialog frame: the window grows so that the client
        // area keeps its size.
        style |= WS_THICKFRAME;
        SetWindowLongPtrA(dialog, GWL_STYLE, style);
        RECT frame{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrA(dialog, GWL_EXSTYLE)));
        SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    RECT window;
    GetWindowRect(dialog, &window);
    minimum_ = {window.right - window.left, window.bottom - window.top};
    client_ = ClientSize(dialog);
    items_.clear();
    for (const auto& [id, anchor] : anchors) {
        HWND control = GetDlgItem(dialog, id);
        if (!control || anchor == kAnchorNone) {
            continue;
        }
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        items_.push_back({control, anchor, r});
    }
    if (!grip_) {
        int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
        grip_ = CreateWindowExA(
            0, "SCROLLBAR", nullptr,
            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN,
            client_.cx - cx, client_.cy - cy, cx, cy, dialog, nullptr, Self(), nullptr);
        // Under every control, so that it never covers one.
        SetWindowPos(grip_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    dialog_ = dialog;
}

void Layout::resized() {
    if (!dialog_ || IsIconic(dialog_)) {
        return;
    }
    SIZE now = ClientSize(dialog_);
    int dx = now.cx - client_.cx, dy = now.cy - client_.cy;
    HDWP moves = BeginDeferWindowPos(static_cast<int>(items_.size()) + 1);
    for (const Item& item : items_) {
        RECT r = item.start;
        if (item.anchor & kKeepRight) {
            OffsetRect(&r, dx, 0);
        }
        if (item.anchor & kKeepBottom) {
            OffsetRect(&r, 0, dy);
        }
        if (item.anchor & kGrowWidth) {
            r.right += dx;
        }
        if (item.anchor & kGrowHeight) {
            r.bottom += dy;
        }
        if (moves) {
            moves = DeferWindowPos(moves, item.hwnd, nullptr, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (moves && grip_) {
        RECT g;
        GetWindowRect(grip_, &g);
        moves = DeferWindowPos(moves, grip_, nullptr, now.cx - (g.right - g.left),
                               now.cy - (g.bottom - g.top), 0, 0,
                               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) {
        EndDeferWindowPos(moves);
    }
    InvalidateRect(dialog_, nullptr, TRUE);
}

void Layout::limit(MINMAXINFO& info) const {
    if (dialog_) {
        info.ptMinTrackSize.x = minimum_.cx;
        info.ptMinTrackSize.y = minimum_.cy;
    }
}

}  // namespace wq::ui::win32
