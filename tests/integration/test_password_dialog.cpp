// A stand-in for the system's screen-saver password component that shows a
// dialog, built as PASSWORD.CPL for the cases with several monitors. Its
// VerifyScreenSavePwd shows a modal dialog owned by the window it is given, in
// the middle of the first monitor that is not the primary one (of the primary
// when there is no other), painted all in kPasswordDialogColour; Enter answers
// that the password was right, Escape that it was wrong.
#include <windows.h>

#include "password_dialog_protocol.h"

using namespace glimmerweave::integration;

namespace {

BOOL CALLBACK findOtherMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM parameter) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info) || (info.dwFlags & MONITORINFOF_PRIMARY)) return TRUE;
  *reinterpret_cast<RECT*>(parameter) = info.rcMonitor;
  return FALSE;
}

// Where the dialog goes: the middle of another monitor, or of the primary.
RECT dialogPlace() {
  RECT monitor{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  EnumDisplayMonitors(nullptr, nullptr, findOtherMonitor, reinterpret_cast<LPARAM>(&monitor));
  const int left = (monitor.left + monitor.right - kPasswordDialogWidth) / 2;
  const int top = (monitor.top + monitor.bottom - kPasswordDialogHeight) / 2;
  return RECT{left, top, left + kPasswordDialogWidth, top + kPasswordDialogHeight};
}

// The dialog's parameter is the brush it is painted with.
INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      const RECT place = dialogPlace();
      SetWindowPos(dialog, nullptr, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, SWP_NOZORDER);
      return TRUE;
    }
    case WM_CTLCOLORDLG:
      return static_cast<INT_PTR>(GetWindowLongPtrA(dialog, DWLP_USER));
    case WM_COMMAND:
      // The dialog's keyboard handling makes Enter IDOK and Escape IDCANCEL.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

// A dialog without controls, border or caption; its size is set when it starts.
struct alignas(4) DialogTemplate {
  DLGTEMPLATE dialog{WS_POPUP | DS_MODALFRAME, 0, 0, 0, 0, 100, 50};
  WORD menu = 0;
  WORD windowClass = 0;
  WORD title = 0;
};

}  // namespace

// Shows the dialog until the user answers it; TRUE for Enter.
extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND owner) {
  static const DialogTemplate dialogTemplate;
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&VerifyScreenSavePwd), &self);
  HBRUSH brush =
      CreateSolidBrush(RGB((kPasswordDialogColour >> 16) & 0xFF,
                           (kPasswordDialogColour >> 8) & 0xFF, kPasswordDialogColour & 0xFF));
  const INT_PTR answer = DialogBoxIndirectParamA(self, &dialogTemplate.dialog, owner,
                                                 dialogProcedure, reinterpret_cast<LPARAM>(brush));
  DeleteObject(brush);
  return answer == IDOK ? TRUE : FALSE;
}
