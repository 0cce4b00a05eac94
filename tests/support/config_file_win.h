#pragma once
// config.ini beside the test program, read and written past the program's own routines.
#include <string>

namespace callwright::test {

// A value of the [SYSTEM] section, or "<missing>".
std::wstring ReadConfig(const wchar_t* key);
bool WriteConfig(const wchar_t* key, const std::wstring& value);

// Removes config.ini, also when it is read-only or a folder, and drops the profile functions'
// cached copy of it.
void RemoveConfig();

// Sets an existing config.ini aside while it lives and brings it back at the end, so that a test
// starts without one and a developer's file survives the run.
class ConfigFileAside {
 public:
  // Throws std::runtime_error when an existing file cannot be moved.
  ConfigFileAside();
  ~ConfigFileAside();
  ConfigFileAside(const ConfigFileAside&) = delete;
  ConfigFileAside& operator=(const ConfigFileAside&) = delete;

 private:
  std::wstring path_;
  std::wstring backup_;
  bool saved_ = false;
};

}  // namespace callwright::test
