// The entry point of KESTOV-A.exe: runs the application object.
#include "app/main_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  static kestova::CMainApp application;
  return application.Run(instance);
}
