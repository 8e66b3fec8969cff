/* The smallest 32-bit Windows program: tools/wine-arch.sh starts it under
 * Wine to learn whether 32-bit Windows programs run on this machine. */
#include <windows.h>

int main(void) {
  DWORD written;
  static const char said[] = "32-bit Windows program ran\n";
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), said, sizeof said - 1, &written, NULL);
  return sizeof(void*) == 4 ? 0 : 1;
}
