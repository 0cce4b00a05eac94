#pragma once
// Device-independent bitmaps that the program reads and writes directly.
#include <windows.h>

#include "base/handles.h"

namespace callwright {

// A DIB section with uncompressed rows, bottom-up (top-down for a height below zero); `bits`,
// where given, receives its pixels. An empty handle when the system could not create it.
BitmapHandle CreateDibSection(int width, int height, WORD bits_per_pixel, void** bits = nullptr);

}  // namespace callwright
