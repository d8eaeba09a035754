/* A small library of our own, built for the PE fuzz targets to start from: named exports, one
   under two names, one by ordinal only, a forwarder, data, and routines of a few shapes. */
#include <windows.h>

__declspec(dllexport) int ZwClose(int handle) { return handle ^ 0x19; }
__declspec(dllexport) int ZwOpenKey(int key, int access) { return key + access * 0x77; }
__declspec(dllexport) int RtlFree(int* block) { return block ? *block : 0; }
__declspec(dllexport) int Ordinal(int value) { return value * 3; }
__declspec(dllexport) void* Cell = (void*)&RtlFree;
__declspec(dllexport) const char Text[] = "seed";

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
