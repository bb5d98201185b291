// A stand-in for DirectDraw that refuses, built as DDraw.dll for the cases of
// the ways out of a run: put beside the program, it is found before the
// system's, and creating a DirectDraw object always fails, as it does where
// the display has no DirectDraw driver. The run's drawing area then can never
// be set up ("DirectDraw cannot be initialized").
#include <windows.h>

// DirectDrawCreateEx(GUID*, void** object, REFIID, IUnknown*): the version-7 entry.
extern "C" __declspec(dllexport) HRESULT WINAPI
    DirectDrawCreateEx(GUID*, void** object, const IID&, IUnknown*) {
  if (object != nullptr) *object = nullptr;
  return E_FAIL;
}

// DirectDrawCreate(GUID*, IDirectDraw** object, IUnknown*): the older entry.
extern "C" __declspec(dllexport) HRESULT WINAPI DirectDrawCreate(GUID*, void** object, IUnknown*) {
  if (object != nullptr) *object = nullptr;
  return E_FAIL;
}
