#include "ui/toolkit/high_contrast.h"

namespace callwright {
namespace {
std::optional<bool> g_override;
}  // namespace

bool HighContrastOn() {
  if (g_override) return *g_override;
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (!::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0)) return false;
  return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void OverrideHighContrast(std::optional<bool> on) { g_override = on; }

COLORREF ContrastColour(COLORREF designed, int index) {
  return HighContrastOn() ? ::GetSysColor(index) : designed;
}

}  // namespace callwright
