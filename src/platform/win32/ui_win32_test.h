// What the Windows test driver (driver/) learns from the Win32 user interface: each window as
// it opens and closes, and what a dialog's logic put into it that the window itself does not
// tell. The library never sets an observer; without one the layer only tests a pointer.
#pragma once

#include <string>

#include "platform/ui.h"

namespace wq::ui::win32 {

// Told on the thread that shows the windows.
class WindowObserver {
  public:
    virtual ~WindowObserver() = default;
    // A message box is about to be shown (it activates itself when it appears).
    virtual void messageBoxOpening(Window owner, const std::string& text,
                                   const std::string& caption, unsigned style) = 0;
    virtual void messageBoxClosed(int result) = 0;
    // A dialog or property page has its controls; its logic's onInit comes next.
    virtual void dialogCreated(Window dialog) = 0;
    // The logic's onInit has run.
    virtual void dialogInitialized(Window dialog) = 0;
    // A dialog or page is being destroyed; its controls are still there.
    virtual void dialogClosing(Window dialog) = 0;
    // A property sheet exists; its first page is created right after.
    virtual void sheetOpened(Window sheet) = 0;
    virtual void sheetClosed(int result) = 0;
    // ShowMessageBox, RunModalDialog or RunPropertySheet is about to return to its caller.
    virtual void modalReturned() = 0;
    // Beep sounded the sound of a message-box style.
    virtual void beeped(unsigned style) { (void)style; }
};

// Null: none.
void SetWindowObserver(WindowObserver* observer);

// The layer's record of one of its dialogs or pages; templateId 0 when `dialog` is none.
struct DialogState {
    int templateId = 0;
    bool page = false;
    bool ended = false;  // endDialog was called (modal dialogs)
    int result = 0;
    std::string title;  // a page's title as given; empty: the template's caption
};
DialogState StateOf(Window dialog);

// Whether control `id` of `dialog` was made a hyperlink (setLink), and in which colour.
bool LinkOf(Window dialog, int id, Rgb* colour);

// The bitmap that setItemBitmap last put into control `id` of `dialog`; 0 for none.
int BitmapOf(Window dialog, int id);

// Dialog template `templateId` as the layer finds it (a DLGTEMPLATE or DLGTEMPLATEEX); null
// when neither the resource module nor the library has it.
const void* FindTemplate(int templateId);

}  // namespace wq::ui::win32
