#include "core/destination_folder.h"

namespace callwright {

namespace {
std::wstring g_folder;
std::function<void(const std::wstring&)> g_listener;
}  // namespace

const std::wstring& DestinationFolder() { return g_folder; }

void SetDestinationFolder(std::wstring folder) {
  g_folder = std::move(folder);
  if (g_listener) g_listener(g_folder);
}

void SetDestinationFolderListener(std::function<void(const std::wstring&)> listener) {
  g_listener = std::move(listener);
}

}  // namespace callwright
