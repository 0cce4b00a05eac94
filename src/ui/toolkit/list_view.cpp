#include "ui/toolkit/list_view.h"

#include <algorithm>

namespace callwright {

ImageList::ImageList(int width, int height)
    : list_(::ImageList_Create(width, height, ILC_COLOR32, 2, 2)), width_(width), height_(height) {}

ImageList::~ImageList() {
  if (list_) ::ImageList_Destroy(list_);
}

int ImageList::Add(const Picture& picture) {
  if (picture.width != width_ || picture.height != height_) return -1;
  BitmapHandle bitmap = MakeBitmap32(picture);
  return bitmap ? ::ImageList_Add(list_, bitmap.Get(), nullptr) : -1;
}

ListView::ListView(HWND parent, int left, int top, int width, int height) {
  CreateControl({.class_name = WC_LISTVIEWW,
                 .style = LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP,
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
  column.cx = width;
  column.iSubItem = columns_;
  ::SendMessageW(Handle(), LVM_INSERTCOLUMNW, columns_, reinterpret_cast<LPARAM>(&column));
  ++columns_;
}

void ListView::SetSmallImages(const ImageList& images) {
  ListView_SetImageList(Handle(), images.Handle(), LVSIL_SMALL);
}

int ListView::AddItem(std::wstring_view caption, const std::vector<std::wstring>& sub_items) {
  std::wstring text(caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = Count();
  item.pszText = text.data();
  item.iImage = 0;
  const int index = static_cast<int>(::SendMessageW(Handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return index;
  for (std::size_t i = 0; i < sub_items.size(); ++i) {
    std::wstring sub = sub_items[i];
    LVITEMW cell{};
    cell.iSubItem = static_cast<int>(i + 1);
    cell.pszText = sub.data();
    ::SendMessageW(Handle(), LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&cell));
  }
  return index;
}

void ListView::DeleteItem(int index) { ListView_DeleteItem(Handle(), index); }

void ListView::Clear() { ListView_DeleteAllItems(Handle()); }

int ListView::Count() const { return ListView_GetItemCount(Handle()); }

std::wstring ListView::ItemText(int index, int column) const {
  // The control copies at most the buffer's size: grow until the text fits.
  std::wstring text(256, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto length =
        static_cast<std::size_t>(::SendMessageW(Handle(), LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(text.size() * 2);
  }
}

int ListView::ItemImage(int index) const {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  return ::SendMessageW(Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.iImage : -1;
}

int ListView::SelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(Handle())); }

int ListView::FirstSelected() const { return ListView_GetNextItem(Handle(), -1, LVNI_SELECTED); }

std::vector<int> ListView::SelectedIndices() const {
  std::vector<int> indices;
  for (int i = FirstSelected(); i >= 0; i = ListView_GetNextItem(Handle(), i, LVNI_SELECTED)) indices.push_back(i);
  return indices;
}

void ListView::SetSelected(int index, bool selected) {
  ListView_SetItemState(Handle(), index, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

LRESULT ListView::CustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return OnCustomDrawItem ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
    case CDDS_ITEMPREPAINT: {
      const int index = static_cast<int>(draw.nmcd.dwItemSpec);
      const int image = ItemImage(index);
      ListItemDraw item{index, draw.nmcd.uItemState, draw.nmcd.dwDrawStage, draw.clrTextBk, image};
      OnCustomDrawItem(*this, item);
      if (item.image_index != image) {
        // Stored like any change of the row. The control may have fetched the old image for this
        // paint already, so the row is painted once more; then the image no longer changes.
        LVITEMW change{};
        change.mask = LVIF_IMAGE;
        change.iItem = index;
        change.iImage = item.image_index;
        ::SendMessageW(Handle(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
        RECT row{};
        row.left = LVIR_BOUNDS;
        if (::SendMessageW(Handle(), LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row))) {
          ::InvalidateRect(Handle(), &row, FALSE);
        }
      }
      if (!item.default_draw) return CDRF_SKIPDEFAULT;
      draw.clrTextBk = item.brush_colour;
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
    case NM_DBLCLK:
      if (OnDblClick) OnDblClick();
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace callwright
