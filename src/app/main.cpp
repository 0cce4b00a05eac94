#include <windows.h>

#include "ui/toolkit/application.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  callwright::Application& app = callwright::Application::Instance();
  return app.Run();
}
