// The Win32 user interface, inside: what the dialog window (ui_win32.cpp) shares with the
// richer controls (controls_win32.cpp) and the layout of resizable dialogs (layout_win32.cpp).
#pragma once

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui.h"

namespace wq::ui::win32 {

HMODULE Self();
std::string WindowText(HWND hwnd);  // empty for a null window

// Receives what a control reports: the dialog logic behind the control's window.
class EventTarget {
  public:
    virtual bool report(const Event& e) = 0;

  protected:
    ~EventTarget() = default;
};

// What the layer keeps for one of the richer controls of a dialog, made the first time the
// logic asks for the control or the control notifies. The control's window is not owned.
class ControlState {
  public:
    ControlState(HWND hwnd, EventTarget& target)
        : hwnd_(hwnd), id_(GetDlgCtrlID(hwnd)), target_(target) {}
    virtual ~ControlState() = default;
    ControlState(const ControlState&) = delete;
    ControlState& operator=(const ControlState&) = delete;

    // A WM_NOTIFY from the control: true when handled, the answer in `result`.
    virtual bool notify(const NMHDR& header, LRESULT& result) {
        (void)header;
        (void)result;
        return false;
    }
    // A WM_COMMAND notification code from the control: true when handled.
    virtual bool command(int code) {
        (void)code;
        return false;
    }

  protected:
    void report(Event e) {
        e.control = id_;
        target_.report(e);
    }
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageA(hwnd_, message, wParam, lParam);
    }

    HWND hwnd_;
    int id_;
    EventTarget& target_;
};

// The state for a list view, tree view, drop-down list, list box or rich-text pane, by the
// control's window class; null for the plain controls, which need none.
std::unique_ptr<ControlState> MakeControlState(HWND control, EventTarget& target);

// Layout rules of a resizable dialog: anchored controls follow the size of the client area,
// a size grip sits in the bottom-right corner, and the dialog gets no smaller than it opened.
class Layout {
  public:
    void start(HWND dialog, const std::vector<std::pair<int, unsigned>>& anchors);
    void resized();                      // on WM_SIZE
    void limit(MINMAXINFO& info) const;  // on WM_GETMINMAXINFO
    bool active() const { return dialog_ != nullptr; }

  private:
    struct Item {
        HWND hwnd;
        unsigned anchor;
        RECT start;  // in the client area as the layout started
    };
    HWND dialog_ = nullptr;
    HWND grip_ = nullptr;
    SIZE client_{};  // the client area as the layout started
    SIZE minimum_{};
    std::vector<Item> items_;
};

}  // namespace wq::ui::win32
