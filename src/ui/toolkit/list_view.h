#pragma once
// A report-style list view (grid lines, whole-row and multiple selection, no in-place editing, no
// sorting) and the image list that gives its rows their small icons.
#include <windows.h>
// After windows.h.
#include <commctrl.h>

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

 private:
  HIMAGELIST list_ = nullptr;
  int width_;
  int height_;
};

// One row about to be painted; the handler may change the row's background and image.
struct ListItemDraw {
  int index;                 // in the list's current order
  UINT state;                // CDIS_* flags
  DWORD stage;               // CDDS_* stage
  COLORREF brush_colour;     // background of the row
  int image_index;           // the row's image
  bool default_draw = true;  // false: the handler painted the row itself
};

class ListView : public Control {
 public:
  ListView(HWND parent, int left, int top, int width, int height);

  void AddColumn(std::wstring_view caption, int width);
  void SetSmallImages(const ImageList& images);

  // Appends a row: the caption, then its sub-items in column order. Returns its index.
  int AddItem(std::wstring_view caption, const std::vector<std::wstring>& sub_items = {});
  void DeleteItem(int index);
  void Clear();
  int Count() const;
  // Column 0 is the caption, column n the n-th sub-item.
  std::wstring ItemText(int index, int column) const;
  int ItemImage(int index) const;

  int SelectedCount() const;
  int FirstSelected() const;  // -1 without a selection
  std::vector<int> SelectedIndices() const;
  void SetSelected(int index, bool selected);

  std::function<void(ListView& sender, ListItemDraw& item)> OnCustomDrawItem;
  std::function<void()> OnDblClick;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
  int columns_ = 0;
};

}  // namespace callwright
