#pragma once
// A report-style list view (grid lines, whole-row and multiple selection, no in-place editing, no
// sorting) and the image list that gives its rows their small icons.
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit/control.h"
#include "ui/toolkit/picture.h"

namespace callwright {

// Owns an HIMAGELIST of 32-bit images with alpha.
class ImageList {
 public:
  explicit ImageList(int width = 16, int height = 16);
  ~ImageList();
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;

  HIMAGELIST Handle() const noexcept { return list_; }
  // Returns the new image's index, or -1 when the picture does not have the list's size.
  int Add(const Picture& picture);
  int Count() const { return ::ImageList_GetImageCount(list_); }
  int Width() const noexcept { return width_; }
  // Empties the list and gives it another image size; the handle stays (lists that show it keep it).
  void Resize(int width, int height);

 private:
  HIMAGELIST list_ = nullptr;
  int width_;
  int height_;
};

// One row about to be painted; the handler may change the row's colours or paint it itself.
struct ListItemDraw {
  int index;                 // in the list's current order
  UINT state;                // CDIS_* flags
  DWORD stage;               // CDDS_* stage
  COLORREF brush_colour;     // background of the row
  COLORREF text_colour;      // its text
  int image_index;           // the row's image, as the source gives it
  bool default_draw = true;  // false: the handler painted the row itself
};

// A virtual list (LVS_OWNERDATA): the rows live in a source of the owner's (SetSource) and the
// control asks for the cells it paints, so a long list costs no more than its visible rows. The
// control only keeps the selection and focus. The image list is shared (LVS_SHAREIMAGELISTS): its owner frees it, and
// must outlive the list or take it back first (SetSmallImages(nullptr)).
class ListView : public Control {
 public:
  // Rows kept elsewhere: their number, and each cell's text and row image made when asked for.
  struct RowSource {
    std::function<int()> count;
    std::function<std::wstring(int row, int column)> text;
    std::function<int(int row)> image;
  };

  ListView(HWND parent, int left, int top, int width, int height);

  // Columns come before rows; the width is at 96 dpi.
  void AddColumn(std::wstring_view caption, int width);
  // Column widths in pixels.
  int ColumnWidth(int column) const;
  // The columns keep their share of the width: scaled from the old DPI to the new.
  void DpiChanged() override;
  // nullptr takes the image list back from the control.
  void SetSmallImages(const ImageList* images);
  void SetSmallImages(const ImageList& images) { SetSmallImages(&images); }

  // From now on the rows are the source's, shown afresh.
  void SetSource(RowSource source);
  // The source's rows were replaced: count and view anew, no selection or focus carried over.
  void SourceReset();
  // SourceReset in two steps, each a message of its own for a long list (in Wine's list view each
  // takes tens of milliseconds at a million rows): the old rows go, then the new ones are counted.
  // Until SourceCounted the control shows no rows.
  void SourceCleared();
  void SourceCounted();
  // The source's rows moved: new_index[i] is where old row i is now (-1: gone). Selection and focus
  // follow their rows; a focused row that went leaves the focus at its place.
  void SourceMoved(const std::vector<int>& new_index);
  // The source's texts changed in place: in these rows (ascending), or in any when none are named.
  // Only the rows in sight are repainted.
  void SourceChanged(const std::vector<int>& rows = {});
  int Count() const { return source_.count ? source_.count() : 0; }
  // Column 0 is the caption, column n the n-th sub-item.
  std::wstring ItemText(int index, int column) const;
  int ItemImage(int index) const;

  int SelectedCount() const;
  int FirstSelected() const;  // -1 without a selection
  int NextSelected(int after) const;  // -1 past the last
  std::vector<int> SelectedIndices() const;
  void SetSelected(int index, bool selected);
  // Unselects every row with one repaint.
  void ClearSelection();

  std::function<void(ListView& sender, ListItemDraw& item)> OnCustomDrawItem;
  std::function<void()> OnDblClick;
  // A click on a column's header (LVN_COLUMNCLICK).
  std::function<void(int column)> OnColumnClick;
  // The header's sort arrow: up on `column` when `ascending`, else down; none on the others (and
  // on all with column -1).
  void SetSortArrow(int column, bool ascending);
  // -1 none, else HDF_SORTUP or HDF_SORTDOWN as the header shows it.
  int SortArrow(int column) const;
  // A key pressed while the list has the focus (LVN_KEYDOWN), before the list acts on it. Enter
  // never comes here: the dialog manager gives it to the form.
  std::function<void(WORD key)> OnKeyDown;
  // The context menu is asked for: a right click (at the pointer), Shift+F10 or the Menu key (at
  // the focused row, made visible first). `screen_at` is in screen coordinates.
  std::function<void(POINT screen_at)> OnContextPopup;
  // The user starts dragging rows with the left button (LVN_BEGINDRAG).
  std::function<void()> OnBeginDrag;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  // Where a context menu asked for from the keyboard opens: below the start of the focused row's
  // caption (else the first selected row's), in screen coordinates; the list's top-left corner
  // without either.
  POINT KeyboardPopupPoint() const;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
  void GetDisplayInfo(NMLVDISPINFOW& info) const;
  int FindItem(const NMLVFINDITEMW& find) const;
  std::wstring CellText(int index, int column) const;
  void SetControlCount(bool keep_view);
  // Selection and focus of rows that moved: new_index as SourceMoved, `first_removed` the first row
  // that went (for the focus), the control still counting the old rows.
  void MoveStates(const std::vector<int>& new_index, int kept, int first_removed);
  RowSource source_;
  int columns_ = 0;
  std::vector<int> design_widths_;  // at 96 dpi, as added
  int columns_dpi_ = kDesignDpi;    // the DPI the columns are sized for
};

}  // namespace callwright
