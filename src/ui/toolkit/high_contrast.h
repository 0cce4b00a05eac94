#pragma once
// High contrast: while a high-contrast theme is on, windows draw with system colours only (no
// gradient strips or coloured backgrounds behind text); glyphs and pictures stay.
#include <windows.h>

#include <optional>

namespace callwright {

// Whether the system reports a high-contrast theme (SPI_GETHIGHCONTRAST, HCF_HIGHCONTRASTON).
bool HighContrastOn();
// Answers `on` in place of the system from now on; nullopt asks the system again. For tests, as
// some systems cannot switch the theme.
void OverrideHighContrast(std::optional<bool> on);
// `designed`, or the system colour `index` while high contrast is on.
COLORREF ContrastColour(COLORREF designed, int index);

}  // namespace callwright
