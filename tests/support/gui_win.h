#pragma once
// Driving real windows from a test: message pumping with a deadline, ticks that also run inside
// modal loops, and finding, reading and answering message boxes.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace callwright::test {

// Dispatches this thread's messages until done() is true or the time is up. At the deadline it
// dispatches once more and asks done() again, so the result is what done() says on return.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);
// Dispatches this thread's messages for the given time, and once more at its end.
void PumpFor(DWORD duration_ms);
// Dispatches through the application's own loop, as the running program does (its dialog
// handling gives Tab, Alt+letter and the arrow keys their meaning), until done or the time is up.
bool RunLoopUntil(const std::function<bool()>& done, DWORD timeout_ms = 3000);
void RunLoopFor(DWORD duration_ms);

// Calls tick on this thread every interval while it lives, also inside modal loops such as a
// message box that this thread shows. A tick that runs a modal loop is not re-entered.
class RepeatingTick {
 public:
  RepeatingTick(UINT interval_ms, std::function<void()> tick);
  ~RepeatingTick();
  RepeatingTick(const RepeatingTick&) = delete;
  RepeatingTick& operator=(const RepeatingTick&) = delete;

 private:
  static void CALLBACK TimerProc(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
  UINT_PTR id_ = 0;
  std::function<void()> tick_;
  bool running_ = false;
};

// Visible top-level message boxes (dialog class #32770) of a process with this caption.
std::vector<HWND> FindMessageBoxes(DWORD process_id, std::wstring_view caption);
HWND FindMessageBox(DWORD process_id, std::wstring_view caption);
// Waits (pumping this thread's messages) until such a box shows; nullptr when none did in time.
HWND WaitForMessageBox(DWORD process_id, std::wstring_view caption, DWORD timeout_ms);
// The message text of a message box.
std::wstring MessageBoxText(HWND box);
// Whether the box has a visible button with this id (IDOK, IDYES, ...).
bool HasButton(HWND box, int button_id);
// Clicks a button of the box the way a user would (posted, so it works across processes and
// from inside the box's own modal loop). False when there is no such button.
bool PressButton(HWND box, int button_id);

std::wstring WindowText(HWND window);
// A child (at any depth) whose caption, as shown (access-key marks aside), is this text.
HWND FindButton(HWND window, const std::wstring& caption);
// Every window below `parent` (children, their children, ...), in the system's order.
std::vector<HWND> ChildWindows(HWND parent);
std::wstring ClassName(HWND window);

// The top-level windows of a process, front to back.
std::vector<HWND> ProcessWindows(DWORD process_id);
// The icons that Wine's system tray shows, each a visible window of its own.
std::vector<HWND> WineTrayIcons();

// A top-level window of the process with this caption, or null.
HWND FindProcessWindow(DWORD process_id, std::wstring_view caption, bool visible_only);
// The window with the keyboard focus in the thread that owns `window`.
HWND FocusOfThreadOf(HWND window);

// A visible pop-up menu window (class #32768) of a process, or nullptr.
HWND FindPopupMenu(DWORD process_id);
// The menu that such a window shows (its handle is valid in every process of the desktop).
HMENU MenuOf(HWND menu_window);
// The items of a menu as the user reads them: the texts with their "&", "-" for a separator.
std::vector<std::wstring> MenuItemTexts(HMENU menu);
// Clicks the item at this position of the pop-up menu with real mouse input (SendInput).
bool ClickMenuItem(HWND menu_window, int position);
// A real left click (SendInput) at this point of the screen.
void ClickAt(POINT at);
// A real right click (SendInput) at this point of the screen.
void RightClickAt(POINT at);
// A real left-button drag (SendInput): the pointer to `from`, the button down, moved to `to` in
// `steps` even steps with a pause after each, the button up. Blocks for the drag's duration: run it
// on a thread of its own while the window's thread runs its loops.
void DragWithMouse(POINT from, POINT to, int steps, DWORD pause_ms);
// A real key press and release with a modifier (VK_SHIFT, VK_CONTROL...) held meanwhile.
void PressKeyWith(WORD modifier, WORD virtual_key);
// A real key press and release (SendInput); it goes to the window that has the keyboard.
void PressKey(WORD virtual_key);

}  // namespace callwright::test
