// The GDI scopes give back what they changed: the selected object, the viewport origin, the
// window's device context and its paint.
#include "base/dib_win.h"
#include "base/gdi_scopes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "base/handles.h"

namespace callwright {
namespace {

struct SelectionCase {
  const char* name;
  UINT kind;  // OBJ_BITMAP, OBJ_FONT...
  std::function<HGDIOBJ()> make;
};

BitmapHandle MakeBitmap() { return CreateDibSection(4, 4, 32); }

TEST(GdiScopesTest, SelectionRestoresTheObjectItReplaced) {
  const SelectionCase cases[] = {
      {"bitmap", OBJ_BITMAP, [] { return static_cast<HGDIOBJ>(MakeBitmap().Release()); }},
      {"font", OBJ_FONT,
       [] {
         LOGFONTW lf{};
         lf.lfHeight = -11;
         return static_cast<HGDIOBJ>(::CreateFontIndirectW(&lf));
       }},
      {"brush", OBJ_BRUSH, [] { return static_cast<HGDIOBJ>(::CreateSolidBrush(RGB(1, 2, 3))); }},
      {"pen", OBJ_PEN, [] { return static_cast<HGDIOBJ>(::CreatePen(PS_SOLID, 1, RGB(1, 2, 3))); }},
  };
  for (const SelectionCase& c : cases) {
    SCOPED_TRACE(c.name);
    DcHandle dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ object = c.make();
    ASSERT_NE(object, nullptr);
    const HGDIOBJ before = ::GetCurrentObject(dc.Get(), c.kind);
    ASSERT_NE(before, object);
    {
      Selection selection(dc.Get(), object);
      EXPECT_TRUE(selection);
      EXPECT_EQ(::GetCurrentObject(dc.Get(), c.kind), object);
    }
    EXPECT_EQ(::GetCurrentObject(dc.Get(), c.kind), before);
    // Deselected, so it can be deleted.
    EXPECT_TRUE(::DeleteObject(object));
  }
}

TEST(GdiScopesTest, NestedSelectionsUnwindInOrder) {
  DcHandle dc(::CreateCompatibleDC(nullptr));
  BitmapHandle first = MakeBitmap();
  BitmapHandle second = MakeBitmap();
  const HGDIOBJ stock = ::GetCurrentObject(dc.Get(), OBJ_BITMAP);
  {
    Selection outer(dc.Get(), first.Get());
    {
      Selection inner(dc.Get(), second.Get());
      EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), second.Get());
    }
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), first.Get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), stock);
}

TEST(GdiScopesTest, FailedSelectionIsFalseAndChangesNothing) {
  DcHandle dc(::CreateCompatibleDC(nullptr));
  BitmapHandle bitmap = MakeBitmap();
  const HGDIOBJ gone = bitmap.Get();
  bitmap.Reset();
  const HGDIOBJ before = ::GetCurrentObject(dc.Get(), OBJ_BITMAP);
  {
    Selection selection(dc.Get(), gone);
    EXPECT_FALSE(selection);
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), before);
  }
  EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_BITMAP), before);
}

TEST(GdiScopesTest, ViewportOriginIsSetBack) {
  DcHandle dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(::SetViewportOrgEx(dc.Get(), 3, 4, nullptr));
  POINT origin{};
  {
    ViewportOrigin moved(dc.Get(), 10, -20);
    ASSERT_TRUE(::GetViewportOrgEx(dc.Get(), &origin));
    EXPECT_EQ(origin.x, 10);
    EXPECT_EQ(origin.y, -20);
  }
  ASSERT_TRUE(::GetViewportOrgEx(dc.Get(), &origin));
  EXPECT_EQ(origin.x, 3);
  EXPECT_EQ(origin.y, 4);
}

class ScopeWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.Reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 30, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window_);
    ::UpdateWindow(window_.Get());
  }
  WindowHandle window_;
};

TEST_F(ScopeWindowTest, ClientDcDrawsOnTheWindow) {
  ClientDc dc(window_.Get());
  ASSERT_TRUE(dc);
  EXPECT_EQ(::WindowFromDC(dc.Get()), window_.Get());
}

TEST_F(ScopeWindowTest, PaintScopeCoversTheInvalidAreaAndValidatesIt) {
  const RECT invalid{5, 6, 15, 16};
  ::InvalidateRect(window_.Get(), &invalid, FALSE);
  {
    PaintScope paint(window_.Get());
    ASSERT_NE(paint.Dc(), nullptr);
    EXPECT_EQ(::WindowFromDC(paint.Dc()), window_.Get());
    EXPECT_TRUE(::EqualRect(&paint.Area(), &invalid));
  }
  RECT left{};
  EXPECT_FALSE(::GetUpdateRect(window_.Get(), &left, FALSE));
}

}  // namespace
}  // namespace callwright
