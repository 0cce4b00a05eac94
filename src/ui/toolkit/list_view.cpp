#include "ui/toolkit/list_view.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/toolkit/high_contrast.h"

namespace callwright {

namespace {

// Many state changes with one repaint at the end: the control invalidates each changed row
// otherwise, which is what makes long lists slow.
class RedrawPause {
 public:
  explicit RedrawPause(HWND hwnd) : hwnd_(hwnd) { ::SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0); }
  ~RedrawPause() {
    ::SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  }
  RedrawPause(const RedrawPause&) = delete;
  RedrawPause& operator=(const RedrawPause&) = delete;

 private:
  HWND hwnd_;
};

}  // namespace

ImageList::ImageList(int width, int height)
    : list_(::ImageList_Create(width, height, ILC_COLOR32, 2, 2)), width_(width), height_(height) {}

ImageList::~ImageList() {
  if (list_) ::ImageList_Destroy(list_);
}

void ImageList::Resize(int width, int height) {
  ::ImageList_SetIconSize(list_, width, height);
  width_ = width;
  height_ = height;
}

int ImageList::Add(const Picture& picture) {
  if (picture.width != width_ || picture.height != height_) return -1;
  BitmapHandle bitmap = MakeBitmap32(picture);
  return bitmap ? ::ImageList_Add(list_, bitmap.Get(), nullptr) : -1;
}

ListView::ListView(HWND parent, int left, int top, int width, int height) {
  CreateControl({.class_name = WC_LISTVIEWW,
                 .style = LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA | LVS_SHAREIMAGELISTS | WS_TABSTOP,
                 .ex_style = WS_EX_CLIENTEDGE,
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
  const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
  ListView_SetExtendedListViewStyleEx(Handle(), extended, extended);
}

void ListView::AddColumn(std::wstring_view caption, int width) {
  std::wstring text(caption);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = text.data();
  if (columns_ == 0) columns_dpi_ = Dpi();
  column.cx = ScaleToDpi(width, columns_dpi_);
  column.iSubItem = columns_;
  design_widths_.push_back(width);
  ::SendMessageW(Handle(), LVM_INSERTCOLUMNW, columns_, reinterpret_cast<LPARAM>(&column));
  ++columns_;
}

int ListView::ColumnWidth(int column) const {
  return static_cast<int>(::SendMessageW(Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void ListView::DpiChanged() {
  Control::DpiChanged();
  const int dpi = Dpi();
  for (int column = 0; column < columns_; ++column) {
    const int width = ColumnWidth(column);
    const int design = design_widths_[static_cast<std::size_t>(column)];
    // A column as designed gets the designed width at the new DPI; one the user sized keeps its share.
    const int scaled = width == ScaleToDpi(design, columns_dpi_) ? ScaleToDpi(design, dpi)
                                                                 : ::MulDiv(width, dpi, columns_dpi_);
    ::SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(scaled, 0));
  }
  columns_dpi_ = dpi;
}

void ListView::SetSmallImages(const ImageList* images) {
  ListView_SetImageList(Handle(), images ? images->Handle() : nullptr, LVSIL_SMALL);
}

void ListView::SetControlCount(bool keep_view) {
  const DWORD flags = keep_view ? LVSICF_NOSCROLL : 0;
  ::SendMessageW(Handle(), LVM_SETITEMCOUNT, static_cast<WPARAM>(Count()), flags);
}

void ListView::MoveStates(const std::vector<int>& new_index, int kept, int first_removed) {
  const std::vector<int> selected = SelectedIndices();
  const int focused = ListView_GetNextItem(Handle(), -1, LVNI_FOCUSED);
  const RedrawPause pause(Handle());
  // The control keeps the selection by index and knows nothing of the move: set the state of each
  // index whose row now has another selection state than the one before, and clear what lies
  // past the new end. Few messages when few rows move between selected and unselected.
  const int old_count = static_cast<int>(new_index.size());
  std::vector<char> was_selected(new_index.size(), 0);
  for (int row : selected) {
    if (row < old_count) was_selected[row] = 1;
  }
  std::vector<char> now_selected(static_cast<std::size_t>(std::max(kept, old_count)), 0);
  for (std::size_t row = 0; row < new_index.size(); ++row) {
    if (new_index[row] >= 0 && new_index[row] < kept) now_selected[new_index[row]] = was_selected[row];
  }
  for (int row = 0; row < old_count; ++row) {
    const bool want = row < kept && now_selected[row];
    if (want != (was_selected[row] != 0)) SetSelected(row, want);
  }
  if (focused >= 0) ListView_SetItemState(Handle(), focused, 0, LVIS_FOCUSED);
  SetControlCount(true);
  // Rows past the old end that came selected.
  for (int row = old_count; row < kept; ++row) {
    if (now_selected[row]) SetSelected(row, true);
  }
  int focus = focused >= 0 && focused < old_count ? new_index[focused] : -1;
  if (focused >= 0 && focus < 0 && kept > 0) focus = std::min(std::max(first_removed, 0), kept - 1);
  if (focus >= 0) ListView_SetItemState(Handle(), focus, LVIS_FOCUSED, LVIS_FOCUSED);
}

void ListView::SetSource(RowSource source) {
  source_ = std::move(source);
  // A new, empty list has nothing to clear (the main window's start).
  if (Count() == 0 && ListView_GetItemCount(Handle()) == 0) return;
  SourceReset();
}

void ListView::SourceReset() {
  SourceCleared();
  SourceCounted();
}

void ListView::SourceCleared() {
  // The rows keep their selection and focus by index: a count of none drops them all at once, where
  // LVM_DELETEALLITEMS visits every old row on some systems (Wine's: 68 ms for a million). An empty
  // control has none to drop.
  if (ListView_GetItemCount(Handle()) != 0) ::SendMessageW(Handle(), LVM_SETITEMCOUNT, 0, LVSICF_NOINVALIDATEALL);
  ListView_SetSelectionMark(Handle(), -1);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void ListView::SourceCounted() {
  SetControlCount(false);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void ListView::SourceMoved(const std::vector<int>& new_index) {
  int first_removed = -1;
  for (std::size_t row = 0; row < new_index.size(); ++row) {
    if (new_index[row] < 0) {
      first_removed = static_cast<int>(row);
      break;
    }
  }
  MoveStates(new_index, Count(), first_removed);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void ListView::SourceChanged(const std::vector<int>& rows) {
  if (rows.empty()) {
    ::InvalidateRect(Handle(), nullptr, FALSE);
    return;
  }
  // The rows in sight: from the top one through the one partly shown below the last whole one.
  const int top = static_cast<int>(::SendMessageW(Handle(), LVM_GETTOPINDEX, 0, 0));
  const int last = top + static_cast<int>(::SendMessageW(Handle(), LVM_GETCOUNTPERPAGE, 0, 0));
  const auto first = std::lower_bound(rows.begin(), rows.end(), top);
  if (first == rows.end() || *first > last) return;
  const int end = *(std::upper_bound(first, rows.end(), last) - 1);
  ::SendMessageW(Handle(), LVM_REDRAWITEMS, *first, end);
}

std::wstring ListView::CellText(int index, int column) const {
  return source_.text && index >= 0 && index < Count() && column >= 0 && column < columns_
             ? source_.text(index, column)
             : std::wstring();
}

std::wstring ListView::ItemText(int index, int column) const { return CellText(index, column); }

int ListView::ItemImage(int index) const {
  if (index < 0 || index >= Count()) return -1;
  return source_.image ? source_.image(index) : 0;
}

int ListView::SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(Handle())); }

int ListView::FirstSelected() const { return ListView_GetNextItem(Handle(), -1, LVNI_SELECTED); }

void ListView::SetSortArrow(int column, bool ascending) {
  const HWND header = ListView_GetHeader(Handle());
  for (int i = 0; i < columns_; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!Header_GetItem(header, i, &item)) continue;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
    Header_SetItem(header, i, &item);
  }
}

int ListView::SortArrow(int column) const {
  HDITEMW item{};
  item.mask = HDI_FORMAT;
  if (!Header_GetItem(ListView_GetHeader(Handle()), column, &item)) return -1;
  if (item.fmt & HDF_SORTUP) return HDF_SORTUP;
  if (item.fmt & HDF_SORTDOWN) return HDF_SORTDOWN;
  return -1;
}

int ListView::NextSelected(int after) const { return ListView_GetNextItem(Handle(), after, LVNI_SELECTED); }

std::vector<int> ListView::SelectedIndices() const {
  std::vector<int> indices;
  for (int i = FirstSelected(); i >= 0; i = ListView_GetNextItem(Handle(), i, LVNI_SELECTED)) indices.push_back(i);
  return indices;
}

void ListView::SetSelected(int index, bool selected) {
  ListView_SetItemState(Handle(), index, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

void ListView::ClearSelection() {
  if (SelectedCount() == 0) return;
  const RedrawPause pause(Handle());
  ListView_SetItemState(Handle(), -1, 0, LVIS_SELECTED);
}

void ListView::GetDisplayInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    const std::wstring cell = CellText(item.iItem, item.iSubItem);
    const std::size_t length = std::min(cell.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    if (length > 0) std::char_traits<wchar_t>::copy(item.pszText, cell.data(), length);
    item.pszText[length] = L'\0';
  }
  if (item.mask & LVIF_IMAGE) item.iImage = ItemImage(item.iItem);
}

int ListView::FindItem(const NMLVFINDITEMW& find) const {
  // Type-ahead search in the captions, as a list that holds its own items does it.
  const LVFINDINFOW& info = find.lvfi;
  const int count = Count();
  if (count == 0) return -1;
  // Rows carry no item data, so only a search by caption can find one.
  if ((info.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || !info.psz) return -1;
  const std::wstring_view wanted(info.psz);
  const bool partial = (info.flags & LVFI_PARTIAL) != 0;
  const int start = find.iStart >= 0 && find.iStart < count ? find.iStart : 0;
  const int steps = (info.flags & LVFI_WRAP) ? count : count - start;
  for (int step = 0; step < steps; ++step) {
    const int row = (start + step) % count;
    const std::wstring caption = CellText(row, 0);
    if (partial ? caption.size() < wanted.size() : caption.size() != wanted.size()) continue;
    if (wanted.empty() || ::CompareStringOrdinal(caption.data(), static_cast<int>(wanted.size()), wanted.data(),
                                                 static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL) {
      return row;
    }
  }
  return -1;
}

LRESULT ListView::CustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return OnCustomDrawItem ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
      const int index = static_cast<int>(draw.nmcd.dwItemSpec);
      const int image = ItemImage(index);
      ListItemDraw item{index, draw.nmcd.uItemState, draw.nmcd.dwDrawStage, draw.clrTextBk, draw.clrText, image};
      OnCustomDrawItem(*this, item);
      if (!item.default_draw) return CDRF_SKIPDEFAULT;
      // Coloured rows and texts give way to the system colours in high contrast.
      draw.clrTextBk = ContrastColour(item.brush_colour, COLOR_WINDOW);
      draw.clrText = ContrastColour(item.text_colour, COLOR_WINDOWTEXT);
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

bool ListView::HandleReflectedMessage(UINT msg, WPARAM, LPARAM lparam, LRESULT& result) {
  if (msg != WM_NOTIFY) return false;
  auto* header = reinterpret_cast<NMHDR*>(lparam);
  switch (header->code) {
    case NM_CUSTOMDRAW:
      result = CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lparam));
      return true;
    case LVN_GETDISPINFOW:
      GetDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(lparam));
      result = 0;
      return true;
    case LVN_ODFINDITEMW:
      result = FindItem(*reinterpret_cast<NMLVFINDITEMW*>(lparam));
      return true;
    case LVN_COLUMNCLICK:
      if (OnColumnClick) OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(lparam)->iSubItem);
      result = 0;
      return true;
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick();
      result = 0;
      return true;
    case LVN_KEYDOWN:
      if (OnKeyDown) OnKeyDown(reinterpret_cast<const NMLVKEYDOWN*>(lparam)->wVKey);
      result = 0;
      return true;
    case LVN_BEGINDRAG:
      if (OnBeginDrag) OnBeginDrag();
      result = 0;
      return true;
    default:
      return false;
  }
}

POINT ListView::KeyboardPopupPoint() const {
  int row = ListView_GetNextItem(Handle(), -1, LVNI_FOCUSED);
  if (row < 0) row = FirstSelected();
  POINT at{0, 0};
  RECT label{};
  if (row >= 0) {
    ListView_EnsureVisible(Handle(), row, FALSE);
    label.left = LVIR_LABEL;
    if (::SendMessageW(Handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&label))) {
      at = {label.left, label.bottom};
    }
  }
  ::ClientToScreen(Handle(), &at);
  return at;
}

LRESULT ListView::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  // The control sends itself WM_CONTEXTMENU after a right click (once NM_RCLICK is not taken), and
  // the system does for Shift+F10 and the Menu key, with the point (-1, -1).
  if (msg == WM_CONTEXTMENU && OnContextPopup) {
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    OnContextPopup(at.x == -1 && at.y == -1 ? KeyboardPopupPoint() : at);
    return 0;
  }
  return Control::HandleMessage(msg, wparam, lparam);
}

}  // namespace callwright
