#include "ui/toolkit/dpi.h"

#include <map>
#include <mutex>

#include "base/handles.h"

namespace callwright {

namespace {

template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

}  // namespace

int ScaleToDpi(int value, int dpi) { return ::MulDiv(value, dpi, kDesignDpi); }

int UnscaleFromDpi(int value, int dpi) { return dpi > 0 ? ::MulDiv(value, kDesignDpi, dpi) : value; }

int SystemDpi() {
  static const int dpi = [] {
    HDC screen = ::GetDC(nullptr);
    const int caps = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return caps > 0 ? caps : kDesignDpi;
  }();
  return dpi;
}

int WindowDpi(HWND hwnd) {
  static const auto get_dpi_for_window = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  const UINT dpi = hwnd && get_dpi_for_window ? get_dpi_for_window(hwnd) : 0;
  return dpi > 0 ? static_cast<int>(dpi) : SystemDpi();
}

int DefaultFontHeight(int dpi) { return -((11 * dpi + kDesignDpi / 2 - 1) / kDesignDpi); }

HFONT DefaultFont(int dpi) {
  static std::mutex mutex;
  static std::map<int, FontHandle> fonts;
  const std::lock_guard lock(mutex);
  FontHandle& font = fonts[dpi];
  if (!font) {
    LOGFONTW lf{};
    lf.lfHeight = DefaultFontHeight(dpi);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    wcscpy_s(lf.lfFaceName, L"Tahoma");
    font.Reset(::CreateFontIndirectW(&lf));
  }
  return font.Get();
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto for_dpi = User32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  return for_dpi ? for_dpi(index, static_cast<UINT>(dpi)) : ::GetSystemMetrics(index);
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, int dpi) {
  static const auto for_dpi = User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  if (!for_dpi || !for_dpi(&rect, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
    ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
}

}  // namespace callwright
