#pragma once
// The main window: the recordings of the destination folder with Open, Delete, Refresh and Browse,
// the Settings, About and Close commands, and the link to the client that every showing restarts.
// Closing it only hides it. The program ends through one way out (icon removed, picked folder stored,
// workers stopped): the Close button, the tray menu's Close Callwright, a close of the hidden
// application window (as taskkill without /F sends) and the end of the session.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/conversion_worker.h"
#include "core/catalogue.h"
#include "core/file_worker.h"
#include "core/recording_deletion.h"
#include "core/recording_list.h"
#include "recording/client_link_win.h"
#include "ui/toolkit/edit.h"
#include "ui/toolkit/form.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/label.h"
#include "ui/toolkit/list_view.h"
#include "ui/toolkit/panel.h"
#include "ui/toolkit/speed_button.h"
#include "ui/toolkit/timer.h"

namespace callwright {

// The program was started with "/hidden" as its first argument (compared with letter case).
bool StartedHidden();

class TFrmMain : public Form, public ClientLink {
 public:
  TFrmMain();
  ~TFrmMain() override;

  Panel p;
  WindowTimer TimerAttach;
  SpeedButton btnabout;
  SpeedButton btnsettings;
  ListView lst;
  ImageList Img16;
  SpeedButton btnopen;
  SpeedButton btndelete;
  SpeedButton btnrefresh;
  WindowTimer TimerSel;
  SpeedButton btnclose;
  SpeedButton btnfol;
  SpeedButton btnrepair;
  // The search box at the right end of the button row (Ctrl+F, Ctrl+E; Esc clears it), and how
  // many of the recordings it lets through, in the bottom bar while it holds text.
  Edit edtsearch;
  Label lblcount;
  // The pictures behind the controls, made after them: a new window goes beneath its siblings, so
  // nothing has to be moved above them.
  Image Image1;
  Image imgbottom;
  // Measures again, every second, the recordings whose calls still record: a call that ends
  // changes no name in the folder.
  WindowTimer TimerBusy;

  // The start-up show has been dealt with (shown, or its work done hidden at a "/hidden" start).
  bool loaded = false;

  // At a start with "/hidden" as the first argument the show sequence runs without showing.
  void StartUp() override;
  // The notice's "do not show" box is ticked when config.ini says so; at every show, and when the
  // notice is made after the first one.
  void TickNoticeBoxFromSetting();

  // Rebuilds `lst` from the destination folder without making the window wait: a worker thread
  // searches the folder and builds the rows, which replace the old ones in one go, with the sizes
  // of the directory search; each file's own measure ("BUSY" while the client writes it) follows
  // from the worker as it gets to the file, newest first.
  void RefreshList();
  // The rows `lst` shows, with their workers.
  RecordingList& Recordings() { return *FRecordings; }
  // The current listing is still being searched, or measured, or its results wait to be shown; or
  // the folder of a showing is still being prepared.
  bool Probing() const;
  // Files that Delete was told to remove are still being removed, or their rows still wait to go.
  bool Deleting() const;

  // Mends the headers of the selected recordings that are marked damaged (never a BUSY one), on a
  // worker; each row is measured again afterwards.
  void RepairSelected();

  void btnopenClick();
  void btndeleteClick();
  void btnrefreshClick();
  void btnfolClick();
  void btnsettingsClick();
  void btnaboutClick();
  void btncloseClick();
  void lstDblClick();
  // Sorts by the column; a second click on it reverses. Stored in config.ini.
  void lstColumnClick(int Column);
  void lstKeyDown(WORD Key);
  // The rows' context menu: Open, Show in folder, Copy, Copy path, Delete.
  void lstContextPopup(POINT MousePos);
  // Dragging rows out hands their files to the drop target, as copies.
  void lstBeginDrag();
  void mnuShowInFolderClick();
  void mnuCopyClick();
  void mnuCopyPathClick();
  // Converts the selected WAV recordings (never a BUSY one) to the format chosen in the settings.
  void mnuCompressClick();
  // Whether Compress has something to do: a format other than WAV is chosen and a WAV recording
  // that is not BUSY is selected.
  bool CanCompress() const;
  // Queues one recording (full path) for conversion and shows it as converting; false when the
  // format is WAV or the recording is already queued.
  bool ConvertRecordingFile(const std::wstring& path, KeepFormat format);
  // The recordings queued for conversion or being converted.
  std::vector<std::wstring> PendingConversions() const { return FConversions->Pending(); }
  // The File location of each selected row, in row order.
  std::vector<std::wstring> SelectedPaths() const;
  // Asks, then removes the selected recordings' files on a worker: to the Recycle Bin, or for
  // good. Delete (button, key, menu) recycles; with Shift held it deletes for good.
  void DeleteSelected(DeletionKind Kind);
  void lstAdvancedCustomDrawItem(ListView& Sender, ListItemDraw& Item);
  void TimerSelTimer();
  void TimerAttachTimer();
  // The rows shown are those whose partner, date text or file name hold the search box's text.
  void edtsearchChange();
  bool edtsearchKeyDown(WORD Key);
  // Ctrl+F and Ctrl+E in the list or the box: to the search box, its text selected.
  bool SearchShortcut(WORD Key);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void FormShow() override;
  void FormHide() override;
  void FormResize() override;
  void FormDpiChanged() override;
  void FormCloseQuery(bool& CanClose) override;
  void FormEndSession() override;
  void FormEnterKey() override;
  void FolderPrepared(const PreparedFolder& prepared, bool for_show) override;
  void CallDecided(const CallDecision& decision) override;

 private:
  void FormCreate();
  // The rows' icons at the window's DPI.
  void LoadListIcons();
  void FormDestroy();
  // Applies the results the workers have waiting.
  void RecordingsArrived();
  void RecordingsChanged(const RecordingList::Change& change);
  void ApplySort(int column, bool ascending);
  // "12 of 3,480" while the search box holds text.
  void ShowCount();
  // The folder watch's changes that wait for the window thread.
  struct FolderChanges;
  void FolderChanged();
  // Takes the changes of the watch that ClientLink keeps for the recording folder.
  void FollowWatch();
  void DeletionDone(const RecordingList::DeletionReport& report);
  void TellKeptBusy(std::size_t busy_kept);
  // Asks once whether files that no Recycle Bin could take are to be deleted for good.
  void AskNoRecycleBin();
  void StartDeletion(RecordingList::Selection selection, DeletionKind kind);
  // A box naming what failed, modal to this window.
  void ReportFailure(const std::wstring& text);
  // Cancels every worker and waits for them, at most `limit` in all; true when all ended.
  bool StopWorkers(std::chrono::milliseconds limit);
  // Applies the conversion worker's results: rows, notes, and one notice for the failures.
  void ConversionsArrived();
  // A recording seen BUSY is free again; with no link to the client, no end of its call will come.
  void BusyEnded(const std::wstring& name);
  // The selected rows that Compress converts.
  std::vector<int> CompressibleRows() const;

  std::unique_ptr<RecordingList> FRecordings;
  // Converts finished recordings when the settings ask for FLAC or Opus.
  std::unique_ptr<ConversionWorker> FConversions;
  // The recording path of each call given a recording command whose end has not come.
  std::unordered_map<std::wstring, std::wstring> FCallRecordings;
  // Deletions' files that no Recycle Bin took, each waiting for its one question.
  std::vector<RecordingList::Selection> FNoRecycleBin;
  // Stops the workers when the process is ended.
  int FEndHandler = 0;
  NumberSeparators FSeparators;
  // The recording folder when the window was last shown, before its preparation.
  std::wstring FShownFolder;
  std::shared_ptr<FolderChanges> FChanges;
  // The watch whose changes reach the rows, and its subscription.
  const FolderWatch* FWatched = nullptr;
  // Listings the watch told since: every one after its first is a relisting after an overflow.
  int FWatchListings = 0;
};

// Measures one recording for the listing's worker: MeasureRecordingFile; tests put in their own.
using RecordingMeasure = std::function<FileOutcome(const std::wstring& path)>;
extern RecordingMeasure MeasureRecording;

// The main window, created first at start-up.
extern TFrmMain* FrmMain;

// The program's icon at the size of a title bar (loaded once, shared).
HICON SmallProgramIcon();

// The show request of a second start ("CALLWRIGHTAPP"), answered by the main window.
extern UINT ShowRequestMsg;
extern WNDPROC PrevMainWndProc;
LRESULT CALLBACK ShowRequestWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

}  // namespace callwright
