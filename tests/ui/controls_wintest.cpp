// The toolkit's controls, driven through their real windows by messages.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/gdi_scopes.h"
#include "base/system_error_win.h"
#include "support/gui_win.h"
#include "support/pixels_win.h"
#include "ui/toolkit/check_box.h"
#include "ui/toolkit/combo_box.h"
#include "ui/toolkit/edit.h"
#include "ui/toolkit/form.h"
#include "ui/toolkit/group_box.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/label.h"
#include "ui/toolkit/list_view.h"
#include "ui/toolkit/panel.h"
#include "ui/toolkit/speed_button.h"

namespace callwright {
namespace {

using test::Canvas;
using test::PumpFor;

class TestForm : public Form {
 public:
  TestForm()
      : Form({.class_name = L"TToolkitTestForm", .caption = L"Toolkit", .client_width = 378, .client_height = 293}) {
    CreationDone();
  }
};

Picture SolidPicture(int width, int height, COLORREF colour) {
  Picture picture{width, height, {}};
  for (int i = 0; i < width * height; ++i) {
    picture.bgra.insert(picture.bgra.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour), 0xFF});
  }
  return picture;
}

void SetPixel(Picture& picture, int x, int y, COLORREF colour) {
  std::uint8_t* px = &picture.bgra[(static_cast<std::size_t>(y) * picture.width + x) * 4];
  px[0] = GetBValue(colour);
  px[1] = GetGValue(colour);
  px[2] = GetRValue(colour);
}

// A 16 x 16 glyph: magenta (the transparent colour, taken from the bottom-left pixel) round a green
// 8 x 8 square in the middle.
Picture GreenGlyph() {
  Picture glyph = SolidPicture(16, 16, RGB(255, 0, 255));
  for (int y = 4; y < 12; ++y) {
    for (int x = 4; x < 12; ++x) SetPixel(glyph, x, y, RGB(0, 200, 0));
  }
  return glyph;
}

// Owner-drawn buttons do not paint for WM_PRINTCLIENT: they are drawn into a canvas through
// WM_DRAWITEM, as their container asks.
void DrawButton(const SpeedButton& button, HWND container, Canvas& canvas, UINT state) {
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_BUTTON;
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = state;
  item.hwndItem = button.Handle();
  item.hDC = canvas.Dc();
  item.rcItem = {0, 0, button.Width(), button.Height()};
  ::SendMessageW(container, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
}

bool IsGrey(COLORREF c) { return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c); }

TEST(ToolkitCheckBox, ClickEventOnEveryChangeAndOnlyThen) {
  TestForm form;
  CheckBox box(form.Handle(), 10, 13, 225, 17, L"Do it");
  std::vector<bool> seen;  // the state as each event saw it
  box.OnClick = [&] { seen.push_back(box.Checked()); };

  struct Step {
    const char* what;
    bool by_user;  // a click on the box, else SetChecked
    bool value;    // for SetChecked
    std::vector<bool> events_after;
  };
  const Step steps[] = {
      {"code ticks", false, true, {true}},
      {"code ticks again: no change", false, true, {true}},
      {"user unticks", true, false, {true, false}},
      {"code unticks again: no change", false, false, {true, false}},
      {"user ticks", true, false, {true, false, true}},
      {"code unticks", false, false, {true, false, true, false}},
  };
  for (const Step& step : steps) {
    if (step.by_user) {
      ::SendMessageW(box.Handle(), BM_CLICK, 0, 0);
    } else {
      box.SetChecked(step.value);
    }
    EXPECT_EQ(seen, step.events_after) << step.what;
    EXPECT_EQ(::SendMessageW(box.Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED, box.Checked()) << step.what;
  }
}

TEST(ToolkitCheckBox, ErrorOfTheEventRaisedFromCodeReachesTheCallerWithTheNewState) {
  TestForm form;
  CheckBox box(form.Handle(), 10, 13, 225, 17, L"Do it");
  box.OnClick = [] { throw AppError(L"Unable to write to somewhere"); };
  EXPECT_THROW(box.SetChecked(true), AppError);
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(::SendMessageW(box.Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

// A drop-down list: its texts, a change event for the user's picks only, and its label's name and
// access key.
TEST(ToolkitComboBox, ChangeEventForTheUsersPicksOnlyAndTheLabelNamesIt) {
  TestForm form;
  Label plain(form.Handle(), 8, 170, 13, L"R&D notes");
  Label label(form.Handle(), 8, 192, 13, L"&Keep as:", true);
  ComboBox combo(form.Handle(), 8, 208, 200, 21, label, {L"alpha", L"beta", L"gamma"});
  EXPECT_EQ(plain.Text(), L"R&D notes") << "a plain label shows its text as it is";
  EXPECT_EQ(::SendMessageW(plain.Handle(), WM_GETDLGCODE, 0, 0) & DLGC_STATIC, 0);
  EXPECT_EQ(label.Text(), L"Keep as:");
  EXPECT_EQ(label.TextWithAccessKey(), L"&Keep as:");
  EXPECT_EQ(::SendMessageW(label.Handle(), WM_GETDLGCODE, 0, 0), DLGC_STATIC) << "its key leads to the next control";
  EXPECT_EQ(combo.AccessibleName(), L"Keep as:");
  EXPECT_EQ(combo.Height(), 21) << "the closed box as designed";
  EXPECT_EQ(combo.Width(), 200);

  ASSERT_EQ(combo.Count(), 3);
  EXPECT_EQ(combo.Item(1), L"beta");
  EXPECT_EQ(combo.Item(3), L"") << "no such row";
  EXPECT_EQ(combo.ItemIndex(), -1) << "none selected at first";

  std::vector<int> seen;  // the row as each event saw it
  combo.OnChange = [&] { seen.push_back(combo.ItemIndex()); };
  struct Step {
    const char* what;
    std::function<void()> act;
    int row_after;
    std::vector<int> events_after;
  };
  const Step steps[] = {
      {"code selects", [&] { combo.SetItemIndex(2); }, 2, {}},
      {"the user types b", [&] { ::SendMessageW(combo.Handle(), WM_CHAR, L'b', 0); }, 1, {1}},
      {"b again: the same row", [&] { ::SendMessageW(combo.Handle(), WM_CHAR, L'b', 0); }, 1, {1}},
      {"the user presses Down",
       [&] {
         ::SendMessageW(combo.Handle(), WM_KEYDOWN, VK_DOWN, 0);
         ::SendMessageW(combo.Handle(), WM_KEYUP, VK_DOWN, 0);
       },
       2, {1, 2}},
      {"code selects the first", [&] { combo.SetItemIndex(0); }, 0, {1, 2}},
  };
  for (const Step& step : steps) {
    step.act();
    EXPECT_EQ(combo.ItemIndex(), step.row_after) << step.what;
    EXPECT_EQ(seen, step.events_after) << step.what;
  }

  // The label underlines its key (Wine always shows keyboard cues): in one line under one letter,
  // against the same caption without a key.
  Label unmarked(form.Handle(), 8, 230, 13, L"Keep as:", true);
  form.Show();
  PumpFor(100);
  const test::Pixels marked_pixels = test::ReadWindow(label.Handle());
  const test::Pixels unmarked_pixels = test::ReadWindow(unmarked.Handle());
  ASSERT_EQ(marked_pixels.width, unmarked_pixels.width);
  ASSERT_EQ(marked_pixels.height, unmarked_pixels.height);
  ASSERT_GT(marked_pixels.width, 0);
  int underline = 0, first_row = -1, last_row = -1;
  for (int y = 0; y < marked_pixels.height; ++y) {
    for (int x = 0; x < marked_pixels.width; ++x) {
      if (marked_pixels.Colour(x, y) == unmarked_pixels.Colour(x, y)) continue;
      ++underline;
      if (first_row < 0) first_row = y;
      last_row = y;
      EXPECT_LT(x, marked_pixels.width / 3) << "under the K";
    }
  }
  EXPECT_GE(underline, 3) << "the K underlined";
  EXPECT_LE(underline, 12) << "only the K";
  EXPECT_EQ(first_row, last_row) << "one line";
  form.Hide();
}

TEST(ToolkitSpeedButton, ClicksOnlyWhileEnabledAlsoInsideContainers) {
  TestForm form;
  Panel panel(form.Handle(), Align::Bottom, 41);
  GroupBox group(form.Handle(), 8, 96, 326, 65, L"Group");
  SpeedButton on_form(form.Handle(), 4, 9, 81, 25, L"Open");
  SpeedButton in_panel(panel.Handle(), 4, 9, 81, 25, L"Close");
  SpeedButton in_group(group.Handle(), 282, 27, 31, 22);
  for (SpeedButton* button : {&on_form, &in_panel, &in_group}) {
    int clicks = 0;
    button->OnClick = [&] { ++clicks; };
    button->Click();
    EXPECT_EQ(clicks, 1);
    button->SetEnabled(false);
    button->Click();
    EXPECT_EQ(clicks, 1) << "a disabled button does not click";
    button->SetEnabled(true);
    ::SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks, 2);
  }
}

TEST(ToolkitSpeedButton, DrawsItsGlyphSeeThroughOnTheImageBehindIt) {
  TestForm form;
  Image background(form.Handle(), 0, 0, 0, 0);
  background.SetAlign(Align::Client);
  background.SetStretch(true);
  background.SetPicture(SolidPicture(1, 4, RGB(10, 20, 30)));
  SpeedButton button(form.Handle(), 50, 50, 31, 22);  // no caption: glyph centred
  button.SetGlyph(GreenGlyph());
  Canvas canvas(31, 22);

  DrawButton(button, form.Handle(), canvas, 0);
  // Glyph at (7, 3)..(23, 19); its green square at (11, 7)..(19, 15).
  EXPECT_EQ(canvas.At(15, 11), RGB(0, 200, 0));
  EXPECT_EQ(canvas.At(8, 4), RGB(10, 20, 30)) << "the glyph's magenta is transparent";
  EXPECT_EQ(canvas.At(1, 1), RGB(10, 20, 30)) << "a flat button shows what lies behind it";

  DrawButton(button, form.Handle(), canvas, ODS_DISABLED);
  EXPECT_TRUE(IsGrey(canvas.At(15, 11))) << "a disabled glyph is grey";
  EXPECT_EQ(canvas.At(8, 4), RGB(10, 20, 30));

  DrawButton(button, form.Handle(), canvas, ODS_SELECTED);
  EXPECT_EQ(canvas.At(19, 15), RGB(0, 200, 0)) << "pressed: the glyph moves down and right by one";
  EXPECT_NE(canvas.At(0, 0), RGB(10, 20, 30)) << "pressed: a frame";
}

TEST(ToolkitSpeedButton, UnderlinesItsAccessKeyAndShowsTheFocusOnlyWhenKeyboardCuesAreOn) {
  TestForm form;
  SpeedButton button(form.Handle(), 0, 0, 81, 25, L"&Open");
  EXPECT_EQ(button.Text(), L"Open") << "the caption as shown";
  EXPECT_EQ(button.TextWithAccessKey(), L"&Open");
  const auto draw = [&](UINT state) {
    Canvas canvas(81, 25);
    DrawButton(button, form.Handle(), canvas, state);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < 25; ++y) {
      for (int x = 0; x < 81; ++x) pixels.push_back(canvas.At(x, y));
    }
    return pixels;
  };
  // The system marks an item whose window hides keyboard cues (until Alt is pressed).
  const std::vector<COLORREF> hidden = draw(ODS_NOACCEL);
  const std::vector<COLORREF> shown = draw(0);
  int underline = 0;
  int first_row = -1, last_row = -1;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == hidden[i]) continue;
    ++underline;
    EXPECT_EQ(shown[i], ::GetSysColor(COLOR_BTNTEXT)) << i % 81 << "," << i / 81;
    const int row = static_cast<int>(i / 81);
    if (first_row < 0) first_row = row;
    last_row = row;
  }
  EXPECT_GE(underline, 3) << "the O underlined";
  EXPECT_LE(underline, 10) << "only the O";
  EXPECT_EQ(first_row, last_row) << "one line";

  // The focus rectangle: drawn round the inside with the focus, not when the system hides it.
  const std::vector<COLORREF> focused = draw(ODS_FOCUS);
  EXPECT_NE(focused, shown);
  int changed_outside_the_text = 0;
  for (int x = 0; x < 81; ++x) changed_outside_the_text += focused[3 * 81 + x] != shown[3 * 81 + x];
  EXPECT_GT(changed_outside_the_text, 20) << "its top edge";
  EXPECT_EQ(draw(ODS_FOCUS | ODS_NOFOCUSRECT), shown);
}

TEST(ToolkitSpeedButton, GlyphStandsLeftOfTheCaption) {
  TestForm form;
  SpeedButton button(form.Handle(), 0, 0, 81, 25, L"Open");
  button.SetGlyph(GreenGlyph());
  Canvas canvas(81, 25);
  DrawButton(button, form.Handle(), canvas, 0);
  int green_right = -1, text_left = 81;
  for (int x = 0; x < 81; ++x) {
    for (int y = 0; y < 25; ++y) {
      const COLORREF c = canvas.At(x, y);
      if (c == RGB(0, 200, 0)) green_right = std::max(green_right, x);
      if (c == ::GetSysColor(COLOR_BTNTEXT)) text_left = std::min(text_left, x);
    }
  }
  ASSERT_GE(green_right, 0);
  EXPECT_LT(green_right, text_left);
  EXPECT_LT(green_right, 40) << "glyph and caption are centred as one";
}

TEST(ToolkitAlign, PanelsAndImagesFollowTheClientArea) {
  TestForm form;
  Image fill(form.Handle(), 0, 0, 0, 0);
  fill.SetAlign(Align::Client);
  Panel bottom(form.Handle(), Align::Bottom, 41);
  Panel top(form.Handle(), Align::Top, 30);
  Image bar(bottom.Handle(), 0, 0, 0, 0);
  bar.SetAlign(Align::Client);

  struct Case {
    int width, height;
    RECT fill, bottom, top, bar;
  };
  const Case cases[] = {
      {378, 293, {0, 30, 378, 252}, {0, 252, 378, 293}, {0, 0, 378, 30}, {0, 0, 378, 41}},
      {500, 400, {0, 30, 500, 359}, {0, 359, 500, 400}, {0, 0, 500, 30}, {0, 0, 500, 41}},
  };
  for (const Case& c : cases) {
    RECT outer{0, 0, c.width, c.height};
    ::AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, 0);
    ::SetWindowPos(form.Handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(form.ClientSize().cx, c.width);
    auto same = [](RECT a, RECT b) { return ::EqualRect(&a, &b) != FALSE; };
    EXPECT_TRUE(same(fill.Bounds(), c.fill)) << c.width;
    EXPECT_TRUE(same(bottom.Bounds(), c.bottom)) << c.width;
    EXPECT_TRUE(same(top.Bounds(), c.top)) << c.width;
    EXPECT_TRUE(same(bar.Bounds(), c.bar)) << c.width;
  }
}

TEST(ToolkitImage, LiesBeneathWindowedControlsInCreationOrder) {
  TestForm form;
  SpeedButton button(form.Handle(), 0, 0, 81, 25, L"Open");
  Image first(form.Handle(), 0, 0, 100, 100);
  Image second(form.Handle(), 0, 0, 24, 24);
  SpeedButton later(form.Handle(), 0, 30, 81, 25, L"Delete");
  std::vector<HWND> order;  // top to bottom
  for (HWND w = ::GetWindow(form.Handle(), GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT)) order.push_back(w);
  EXPECT_EQ(order, (std::vector<HWND>{button.Handle(), later.Handle(), second.Handle(), first.Handle()}));
}

TEST(ToolkitImage, MouseMovesAndClicksInClientCoordinates) {
  TestForm form;
  Image image(form.Handle(), 10, 10, 100, 50);
  std::vector<POINT> moves;
  int clicks = 0;
  image.OnMouseMove = [&](int x, int y) { moves.push_back({x, y}); };
  image.OnClick = [&] { ++clicks; };
  ::SendMessageW(image.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 7));
  ::SendMessageW(image.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(99, 49));
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].x, 5);
  EXPECT_EQ(moves[0].y, 7);
  EXPECT_EQ(moves[1].x, 99);
  EXPECT_EQ(moves[1].y, 49);

  ::SendMessageW(image.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  ::SendMessageW(image.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(clicks, 1);
  ::SendMessageW(image.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  ::SendMessageW(image.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(300, 20));
  EXPECT_EQ(clicks, 1) << "released outside: no click";
  ::SendMessageW(image.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(clicks, 1) << "released without a press: no click";
}

TEST(ToolkitImage, StretchedOrUnscaledFromTheTopLeft) {
  TestForm form;
  Panel panel(form.Handle(), 0, 0, 100, 100);
  panel.SetColour(RGB(34, 41, 54));
  Image image(panel.Handle(), 0, 0, 40, 40);
  Picture two_rows = SolidPicture(1, 2, RGB(255, 0, 0));
  SetPixel(two_rows, 0, 1, RGB(0, 0, 255));
  image.SetPicture(two_rows);
  Canvas canvas(40, 40);

  image.SetStretch(true);
  image.PaintContent(canvas.Dc());
  EXPECT_EQ(canvas.At(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(canvas.At(39, 19), RGB(255, 0, 0));
  EXPECT_EQ(canvas.At(39, 20), RGB(0, 0, 255));
  EXPECT_EQ(canvas.At(0, 39), RGB(0, 0, 255));

  image.SetStretch(false);
  image.PaintContent(canvas.Dc());
  EXPECT_EQ(canvas.At(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(canvas.At(0, 1), RGB(0, 0, 255));
  EXPECT_EQ(canvas.At(1, 0), RGB(34, 41, 54)) << "beyond the picture: the panel's colour";
  EXPECT_EQ(canvas.At(0, 2), RGB(34, 41, 54));
}

TEST(ToolkitImage, CallerDrawnBitmapShowsAfterRepaint) {
  TestForm form;
  Image image(form.Handle(), 0, 0, 8, 8);
  void* frame_bits = nullptr;
  BitmapHandle frame = test::MakeDib(8, -8, 24, &frame_bits);
  ASSERT_TRUE(frame);
  auto* bits = static_cast<std::uint8_t*>(frame_bits);
  image.SetBitmap(std::move(frame));
  Canvas canvas(8, 8);
  for (std::uint8_t level : {40, 200}) {
    std::fill(bits, bits + 8 * 8 * 3, level);  // rows of 24 bytes: no padding
    ::GdiFlush();
    image.Repaint();
    image.PaintContent(canvas.Dc());
    EXPECT_EQ(canvas.At(3, 3), RGB(level, level, level));
  }
}

// Rows the test keeps, as the program keeps its recordings: the list shows them through a source
// and is told when they move.
struct TestRows {
  std::vector<std::vector<std::wstring>> cells;
  std::vector<int> images;

  ListView::RowSource Source() {
    return {[this] { return static_cast<int>(cells.size()); },
            [this](int row, int column) {
              const auto& line = cells[static_cast<std::size_t>(row)];
              return static_cast<std::size_t>(column) < line.size() ? line[column] : std::wstring();
            },
            [this](int row) { return images.empty() ? 0 : images[static_cast<std::size_t>(row)]; }};
  }
  // Removes these rows (any order; repeats and rows past the end are passed over) and tells the list.
  void Remove(ListView& list, const std::vector<int>& rows) {
    std::vector<int> new_index(cells.size());
    std::vector<bool> gone(cells.size(), false);
    for (int row : rows) {
      if (row >= 0 && static_cast<std::size_t>(row) < cells.size()) gone[row] = true;
    }
    int kept = 0;
    for (std::size_t row = 0; row < cells.size(); ++row) {
      new_index[row] = gone[row] ? -1 : kept;
      if (gone[row]) continue;
      cells[kept] = std::move(cells[row]);
      if (!images.empty()) images[kept] = images[row];
      ++kept;
    }
    cells.resize(kept);
    if (!images.empty()) images.resize(kept);
    list.SourceMoved(new_index);
  }
};

TEST(ToolkitListView, RowsSelectionAndDeletion) {
  TestForm form;
  ListView list(form.Handle(), 4, 40, 370, 208);
  list.AddColumn(L"When", 150);
  list.AddColumn(L"Partner Handle", 100);
  list.AddColumn(L"Size", 70);
  list.AddColumn(L"File location", 160);
  TestRows rows;
  for (int i = 0; i < 4; ++i) {
    const std::wstring n = std::to_wstring(i);
    rows.cells.push_back({L"when" + n, L"partner" + n, L"size" + n, L"C:\\Rec\\file" + n + L".wav"});
  }
  const std::wstring long_path(1000, L'p');
  rows.cells.push_back({L"long", L"", L"", long_path});
  list.SetSource(rows.Source());
  ASSERT_EQ(list.Count(), 5);
  EXPECT_EQ(ListView_GetItemCount(list.Handle()), 5);
  EXPECT_EQ(list.ItemText(1, 0), L"when1");
  EXPECT_EQ(list.ItemText(1, 1), L"partner1");
  EXPECT_EQ(list.ItemText(1, 3), L"C:\\Rec\\file1.wav");
  EXPECT_EQ(list.ItemText(4, 3), long_path);
  EXPECT_EQ(list.ItemText(5, 0), L"") << "past the end";
  EXPECT_EQ(list.ItemText(1, 4), L"") << "past the columns";

  EXPECT_EQ(list.SelectedCount(), 0);
  EXPECT_EQ(list.FirstSelected(), -1);
  list.SetSelected(3, true);
  list.SetSelected(1, true);
  EXPECT_EQ(list.SelectedCount(), 2);
  EXPECT_EQ(list.FirstSelected(), 1);
  EXPECT_EQ(list.SelectedIndices(), (std::vector<int>{1, 3}));

  rows.Remove(list, {1});
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.ItemText(1, 0), L"when2");
  EXPECT_EQ(list.SelectedIndices(), (std::vector<int>{2}));
  // In two steps: no old row or its selection is left between them, and the new rows all come.
  rows.cells.push_back({L"extra"});
  list.SourceCleared();
  EXPECT_EQ(ListView_GetItemCount(list.Handle()), 0);
  EXPECT_EQ(list.SelectedCount(), 0);
  list.SourceCounted();
  EXPECT_EQ(ListView_GetItemCount(list.Handle()), 5);
  EXPECT_EQ(list.SelectedCount(), 0);
  EXPECT_EQ(list.ItemText(4, 0), L"extra");
  rows.cells.clear();
  list.SourceReset();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(ListView_GetItemCount(list.Handle()), 0);
}

TEST(ToolkitListView, RowImagesComeFromTheSourceAndCustomDrawColoursByPosition) {
  TestForm form;
  ListView list(form.Handle(), 4, 40, 370, 208);
  ImageList images;
  EXPECT_EQ(images.Add(SolidPicture(16, 16, RGB(0, 0, 255))), 0);
  EXPECT_EQ(images.Add(SolidPicture(16, 16, RGB(0, 255, 0))), 1);
  EXPECT_EQ(images.Add(SolidPicture(24, 24, RGB(0, 255, 0))), -1) << "wrong size";
  list.SetSmallImages(images);
  list.AddColumn(L"When", 150);
  TestRows rows;
  for (int i = 0; i < 4; ++i) {
    rows.cells.push_back({L"row" + std::to_wstring(i)});
    rows.images.push_back(i % 2);
  }
  list.SetSource(rows.Source());
  std::vector<int> drawn;
  list.OnCustomDrawItem = [&](ListView& sender, ListItemDraw& item) {
    EXPECT_EQ(&sender, &list);
    EXPECT_EQ(item.image_index, rows.images[static_cast<std::size_t>(item.index)]);
    drawn.push_back(item.index);
    item.brush_colour = item.index % 2 ? RGB(249, 247, 244) : RGB(255, 255, 255);
  };
  int double_clicks = 0;
  list.OnDblClick = [&] { ++double_clicks; };
  // What the list shows on screen: the icon's middle and the row's background right of its text.
  auto shown = [&](int row, bool icon) {
    RECT r{};
    r.left = icon ? LVIR_ICON : LVIR_BOUNDS;
    ::SendMessageW(list.Handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    return test::ScreenPixel(list.Handle(), icon ? (r.left + r.right) / 2 : 140, (r.top + r.bottom) / 2);
  };
  form.Show();
  PumpFor(100);
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), 3), drawn.end());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.ItemImage(i), i % 2) << i;
    EXPECT_EQ(shown(i, true), i % 2 ? RGB(0, 255, 0) : RGB(0, 0, 255)) << "icon of row " << i;
    EXPECT_EQ(shown(i, false), i % 2 ? RGB(249, 247, 244) : RGB(255, 255, 255)) << "background of row " << i;
  }

  rows.Remove(list, {0});
  PumpFor(100);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(list.ItemImage(i), (i + 1) % 2) << "the image goes with its row " << i;
    EXPECT_EQ(shown(i, true), (i + 1) % 2 ? RGB(0, 255, 0) : RGB(0, 0, 255)) << "icon of row " << i;
    EXPECT_EQ(shown(i, false), i % 2 ? RGB(249, 247, 244) : RGB(255, 255, 255)) << "background by position " << i;
  }

  RECT row{};
  ListView_GetItemRect(list.Handle(), 1, &row, LVIR_LABEL);
  const LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
  ::SendMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
  ::SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, at);
  PumpFor(20);
  EXPECT_EQ(double_clicks, 1);
  form.Hide();
}

TEST(ToolkitListView, VirtualRowsKeepSelectionAcrossDeletionsAndFindByCaption) {
  TestForm form;
  ImageList images;
  images.Add(SolidPicture(16, 16, RGB(0, 0, 255)));
  {
    ListView list(form.Handle(), 4, 40, 370, 208);
    const LONG_PTR style = ::GetWindowLongPtrW(list.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & LVS_OWNERDATA);
    EXPECT_TRUE(style & LVS_SHAREIMAGELISTS);
    list.SetSmallImages(images);
    list.AddColumn(L"When", 150);
    list.AddColumn(L"Size", 70);
    TestRows rows;
    for (int i = 0; i < 10; ++i) rows.cells.push_back({L"row" + std::to_wstring(i), L"size" + std::to_wstring(i)});
    list.SetSource(rows.Source());
    ASSERT_EQ(list.Count(), 10);
    EXPECT_EQ(ListView_GetItemCount(list.Handle()), 10);
    EXPECT_EQ(list.ItemText(7, 1), L"size7");

    // What the control shows comes from the rows, as they are when it asks.
    wchar_t text[16] = {};
    ListView_GetItemText(list.Handle(), 3, 1, text, 16);
    EXPECT_STREQ(text, L"size3");
    rows.cells[3][1] = L"BUSY";
    list.SourceChanged();
    ListView_GetItemText(list.Handle(), 3, 1, text, 16);
    EXPECT_STREQ(text, L"BUSY");
    ListView_GetItemText(list.Handle(), 3, 1, text, 3);
    EXPECT_STREQ(text, L"BU") << "cut to the control's buffer";

    for (int i : {1, 2, 5, 8}) list.SetSelected(i, true);
    rows.Remove(list, {8, 2, 2, 0, 42});
    EXPECT_EQ(list.Count(), 7);
    EXPECT_EQ(ListView_GetItemCount(list.Handle()), 7);
    EXPECT_EQ(list.ItemText(0, 0), L"row1");
    EXPECT_EQ(list.ItemText(1, 1), L"BUSY");
    EXPECT_EQ(list.SelectedIndices(), (std::vector<int>{0, 3})) << "rows 1 and 5 stay selected";
    EXPECT_EQ(list.SelectedCount(), 2);

    // Type-ahead in the captions, as the control does it for the keyboard.
    LVFINDINFOW find{};
    find.flags = LVFI_PARTIAL | LVFI_WRAP;
    find.psz = L"ROW6";
    EXPECT_EQ(ListView_FindItem(list.Handle(), -1, &find), 4);
    find.psz = L"nothing";
    EXPECT_EQ(ListView_FindItem(list.Handle(), -1, &find), -1);

    rows.cells.clear();
    list.SourceReset();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.SelectedCount(), 0);
  }
  // The list is gone; the image list it used is still ours.
  EXPECT_EQ(images.Count(), 1);
}

TEST(ToolkitText, EditMemoAndLabel) {
  TestForm form;
  Edit edit(form.Handle(), 16, 28, 260, 21, true);
  EXPECT_TRUE(edit.ReadOnly());
  edit.SetText(L"C:\\Records");
  EXPECT_EQ(edit.Text(), L"C:\\Records");

  MultiLineEdit memo(form.Handle(), 4, 4, 250, 85, {});
  const std::vector<std::wstring> lines{L"first line ", L"", L"third \"quoted\" line"};
  memo.SetLines(lines);
  EXPECT_EQ(memo.Lines(), lines);
  EXPECT_EQ(memo.Text(), L"first line \r\n\r\nthird \"quoted\" line");
  EXPECT_FALSE(memo.ReadOnly());
  const LONG_PTR style = ::GetWindowLongPtrW(memo.Handle(), GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_FALSE(style & (WS_VSCROLL | WS_HSCROLL | ES_AUTOHSCROLL)) << "word wrap, no scroll bars";

  MultiLineEdit scrolled(form.Handle(), 8, 79, 314, 186, {.read_only = true, .vertical_scroll_bar = true, .flat_border = true});
  EXPECT_TRUE(scrolled.ReadOnly());
  EXPECT_TRUE(::GetWindowLongPtrW(scrolled.Handle(), GWL_STYLE) & WS_VSCROLL);

  Label label(form.Handle(), 50, 271, 13, L"www");
  const int short_width = label.Width();
  EXPECT_GT(short_width, 0);
  label.SetCaption(L"www.example.com - Someone");
  EXPECT_GT(label.Width(), short_width * 3);
  EXPECT_EQ(label.Height(), 13);
  int clicks = 0;
  label.OnClick = [&] { ++clicks; };
  ::SendMessageW(label.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageW(label.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(clicks, 1);
}

TEST(ToolkitForm, WholeWindowAlpha) {
  TestForm form;
  auto layered = [&] { return (::GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0; };
  EXPECT_FALSE(form.AlphaBlending());
  EXPECT_EQ(form.AlphaBlendValue(), 255);
  form.SetAlphaBlendValue(100);
  EXPECT_FALSE(layered());
  form.SetAlphaBlend(true);
  EXPECT_TRUE(layered());
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(::GetLayeredWindowAttributes(form.Handle(), nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 100);
  EXPECT_TRUE(flags & LWA_ALPHA);
  form.SetAlphaBlendValue(95);
  ASSERT_TRUE(::GetLayeredWindowAttributes(form.Handle(), nullptr, &alpha, &flags));
  EXPECT_EQ(alpha, 95);
  form.SetAlphaBlend(false);
  EXPECT_FALSE(layered());
  EXPECT_FALSE(form.AlphaBlending());
  EXPECT_EQ(form.AlphaBlendValue(), 95);
}

// ---- the window base ---------------------------------------------------------------------------

// A control that notes the messages that reach it and answers every notification reflected to it;
// of a class of our own, or a subclassed system button.
class ProbeControl : public Control {
 public:
  static constexpr LRESULT kAnswer = 0x5A17;
  ProbeControl(HWND parent, bool own_class) {
    if (own_class) {
      CreateOwnControl({.class_name = L"TProbeControl", .parent = parent, .width = 20, .height = 20});
    } else {
      CreateControl({.class_name = WC_BUTTONW, .parent = parent, .width = 20, .height = 20});
    }
  }
  bool HandleReflectedMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    reflected.push_back(msg);
    result = kAnswer;
    return true;
  }
  std::vector<UINT> received;
  std::vector<UINT> reflected;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
    received.push_back(msg);
    return DefaultHandling(msg, wparam, lparam);
  }
};

// A top-level window of our own class with the owner of choice.
class OwnedWindow : public Window {
 public:
  explicit OwnedWindow(HWND owner) {
    Create({.class_name = L"TOwnedProbeWindow", .style = WS_POPUP, .width = 10, .height = 10, .parent = owner});
  }
};

TEST(ToolkitWindow, ContainersPassTheirChildrensNotificationsBackToThem) {
  TestForm form;
  Panel panel(form.Handle(), 0, 0, 100, 100);
  GroupBox group(form.Handle(), 100, 0, 100, 100, L"Group");
  struct Container {
    const char* name;
    HWND hwnd;
  };
  for (const Container& container : {Container{"form", form.Handle()}, Container{"panel", panel.Handle()},
                                     Container{"group box", group.Handle()}}) {
    SCOPED_TRACE(container.name);
    ProbeControl probe(container.hwnd, false);
    HWND child = probe.Handle();
    NMHDR notify{child, 7, static_cast<UINT>(NM_CLICK)};
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_BUTTON;
    draw.hwndItem = child;
    DRAWITEMSTRUCT menu_draw = draw;
    menu_draw.CtlType = ODT_MENU;  // hwndItem is then a menu
    struct Row {
      const char* what;
      UINT msg;
      WPARAM wparam;
      LPARAM lparam;
      bool reflected;
    };
    const Row rows[] = {
        {"command", WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(child), true},
        {"notify", WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&notify), true},
        {"draw item", WM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&draw), true},
        {"colour of a button", WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(child), true},
        {"colour of a static", WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(child), true},
        {"colour of an edit", WM_CTLCOLOREDIT, 0, reinterpret_cast<LPARAM>(child), true},
        {"colour of a list box", WM_CTLCOLORLISTBOX, 0, reinterpret_cast<LPARAM>(child), true},
        {"colour of a scroll bar", WM_CTLCOLORSCROLLBAR, 0, reinterpret_cast<LPARAM>(child), true},
        {"menu command", WM_COMMAND, MAKEWPARAM(IDOK, 0), 0, false},
        {"menu item drawn", WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&menu_draw), false},
    };
    for (const Row& row : rows) {
      probe.reflected.clear();
      const LRESULT result = ::SendMessageW(container.hwnd, row.msg, row.wparam, row.lparam);
      if (row.reflected) {
        EXPECT_EQ(probe.reflected, std::vector<UINT>{row.msg}) << row.what;
        EXPECT_EQ(result, ProbeControl::kAnswer) << row.what;
      } else {
        EXPECT_TRUE(probe.reflected.empty()) << row.what;
      }
    }
  }
}

// The share of a window's client area, as on screen, in one colour.
double ShareOnScreen(HWND hwnd, COLORREF colour) {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  Canvas canvas(client.right, client.bottom);
  {
    const ClientDc screen(hwnd);
    ::BitBlt(canvas.Dc(), 0, 0, client.right, client.bottom, screen.Get(), 0, 0, SRCCOPY);
  }
  int matching = 0;
  for (int y = 0; y < client.bottom; ++y) {
    for (int x = 0; x < client.right; ++x) matching += canvas.At(x, y) == colour ? 1 : 0;
  }
  return client.right * client.bottom > 0 ? static_cast<double>(matching) / (client.right * client.bottom) : 0;
}

TEST(ToolkitForm, ItsColourShowsBehindTheSeeThroughControls) {
  constexpr COLORREF kColour = RGB(200, 40, 90);
  TestForm form;
  EXPECT_EQ(form.BackgroundColour(), ::GetSysColor(COLOR_BTNFACE));
  form.SetColour(kColour);
  EXPECT_EQ(form.BackgroundColour(), kColour);
  Label label(form.Handle(), 10, 10, 13, L"Label");
  CheckBox box(form.Handle(), 10, 40, 150, 17, L"Box");
  SpeedButton button(form.Handle(), 10, 70, 81, 25);
  form.Show();
  PumpFor(200);
  EXPECT_GT(ShareOnScreen(form.Handle(), kColour), 0.8);
  for (const Control* control : std::initializer_list<const Control*>{&label, &box, &button}) {
    EXPECT_GT(ShareOnScreen(control->Handle(), kColour), 0.5) << control->Text();
  }
  form.Hide();
}

TEST(ToolkitWindow, FailedCreationThrowsTheSystemsReason) {
  struct Row {
    const char* what;
    std::function<void()> create;
    DWORD code;
  };
  HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(gone, nullptr);
  ::DestroyWindow(gone);
  const Row rows[] = {
      {"a child without a parent", [] { Panel panel(nullptr, 0, 0, 10, 10); }, ERROR_TLW_WITH_WSCHILD},
      {"a window owned by a destroyed one", [gone] { OwnedWindow window(gone); }, ERROR_INVALID_WINDOW_HANDLE},
      {"a system control without a parent", [] { ProbeControl probe(nullptr, false); }, ERROR_TLW_WITH_WSCHILD},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    try {
      row.create();
      ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
      const std::wstring& message = error.Message();
      const std::wstring reason = SystemErrorText(row.code);
      EXPECT_EQ(message.rfind(L"Unable to create window ", 0), 0u);
      ASSERT_GE(message.size(), reason.size());
      EXPECT_EQ(message.substr(message.size() - reason.size()), reason);
    }
  }
}

TEST(ToolkitWindow, ObjectsDestroyedWithTheirParentLetGoOfTheHandleAndHearNoMore) {
  WindowHandle parent(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(parent);
  ProbeControl own(parent.Get(), true);
  ProbeControl system(parent.Get(), false);
  CheckBox box(parent.Get(), 0, 50, 50, 17, L"Box");
  ASSERT_NE(own.Handle(), nullptr);
  ASSERT_NE(system.Handle(), nullptr);
  parent.Reset();
  for (const ProbeControl* probe : {&own, &system}) {
    EXPECT_EQ(probe->Handle(), nullptr);
    ASSERT_FALSE(probe->received.empty());
    EXPECT_EQ(probe->received.back(), static_cast<UINT>(WM_DESTROY)) << "nothing after WM_DESTROY";
  }
  EXPECT_EQ(box.Handle(), nullptr) << "a system control lets go too";
}

}  // namespace
}  // namespace callwright
