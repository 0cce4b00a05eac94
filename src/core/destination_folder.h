#pragma once
// The program-wide destination folder: where recordings are written and listed. The settings
// window's folder box shows it and follows every change.
#include <functional>
#include <string>

namespace callwright {

const std::wstring& DestinationFolder();
void SetDestinationFolder(std::wstring folder);
// One listener (the settings window's folder box); replaces the previous one.
void SetDestinationFolderListener(std::function<void(const std::wstring&)> listener);

}  // namespace callwright
