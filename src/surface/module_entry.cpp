// The library's entry point does nothing: every load, unload and thread notification succeeds.
// Only Windows calls one; elsewhere loading needs no code of ours.
#if defined(_WIN32)
#include <windows.h>

BOOL APIENTRY DllMain(HMODULE, DWORD, LPVOID) { return TRUE; }
#endif
