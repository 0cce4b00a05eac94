#pragma once
// Every private message that the program and its toolkit post or send, in one table: each goes to
// one kind of window, but one numbering keeps any two from ever meaning the same, whichever window
// a stray one reaches.
#include <windows.h>

#include <array>

namespace callwright {

enum PrivateMessage : UINT {
  // Main window, from the recordings' workers: results wait (answered by RecordingList::Update).
  kRecordingsMessage = WM_APP + 1,
  // Main window: a deletion kept files whose calls are still recording; wParam: how many.
  kKeptBusyMessage = WM_APP + 2,
  // Main window: a deletion left files that only a permanent deletion could remove.
  kNoRecycleBinMessage = WM_APP + 3,
  // Main window, from the conversion worker: results wait (answered by its TakeResults).
  kConversionsMessage = WM_APP + 4,
  // Main window, from the recording folder's watch: changes of its names wait.
  kFolderChangedMessage = WM_APP + 5,
  // Main window, to itself: a long list's new rows go into the list control one step at a time
  // (wParam: 0 the old rows go, 1 the new ones are counted).
  kRowsResetMessage = WM_APP + 6,
  // Application window: the notification-area icon's callback (lParam: the mouse or key event).
  kNotifyIconMessage = WM_APP + 0x4C,
  // Application window, from the folder preparer: a prepared folder waits.
  kFolderPreparedMessage = WM_APP + 0x50,
  // Application window, from the folder watch: the destination folder itself went.
  kFolderGoneMessage = WM_APP + 0x51,
};

namespace private_messages_detail {

inline constexpr std::array kAll{kRecordingsMessage,    kKeptBusyMessage,       kNoRecycleBinMessage,
                                 kConversionsMessage,   kFolderChangedMessage,  kRowsResetMessage,
                                 kNotifyIconMessage,    kFolderPreparedMessage, kFolderGoneMessage};

constexpr bool AllDistinctAndPrivate() {
  for (std::size_t i = 0; i < kAll.size(); ++i) {
    if (kAll[i] < WM_APP || kAll[i] > 0xBFFF) return false;
    for (std::size_t j = i + 1; j < kAll.size(); ++j) {
      if (kAll[i] == kAll[j]) return false;
    }
  }
  return true;
}

}  // namespace private_messages_detail

// A new message goes into the enum and into kAll; two with one number do not compile.
static_assert(private_messages_detail::AllDistinctAndPrivate(), "two private messages share a number");

}  // namespace callwright
