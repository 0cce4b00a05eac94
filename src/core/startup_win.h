#pragma once
// The per-user autostart value under HKCU\Software\Microsoft\Windows\CurrentVersion\run.
#include <string>
#include <string_view>

namespace callwright {

// Throws AppError "Failed to set data for '<name>'" when the value cannot be set.
void AddToStartup(std::wstring_view name, std::wstring_view executable_path);
void RemoveFromStartup(std::wstring_view name);
bool IsInStartup(std::wstring_view name);

}  // namespace callwright
