// The baseline for the idle benchmark: a Wine process that does nothing but block in a wait.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Sleep(60 * 1000);
  return 0;
}
