// The settings dialog's window. Creation makes the form hidden with its
// controls at their start positions, lets the dialog set itself up (load the
// settings, move the controls, size the form, set up the preview), then centres
// and shows the form with the focus on the Speed slider. From then on the
// message loop shows every key to the form before the focused control, lets the
// dialog manager move the focus with Tab, forwards slider moves and button
// clicks to the dialog, and the frame timer ticks the preview from the loop's
// idle time while the application is active. "Close", Escape or the close box
// destroy the window, which ends the loop and the program.
//
// Not here: what the controls do to the settings and the preview (SettingsDialog).
#include "platform/win32/win32_settings_dialog.h"

#include <windows.h>
// commctrl.h and uxtheme.h need windows.h first.
#include <commctrl.h>
#include <uxtheme.h>

#include <array>
#include <memory>

#include "platform/win32/win32_app.h"
#include "platform/win32/win32_direct_draw.h"
#include "platform/win32/win32_frame_timer.h"
#include "platform/win32/win32_registry.h"
#include "settings/settings_dialog.h"

namespace glimmerweave::win32 {

namespace {

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kApplicationIcon = 100;

// Control identifiers: above IDOK and IDCANCEL, which the dialog manager sends
// for Enter and Escape.
constexpr int kTrackBar1Id = 101;  // TrackBar2..4 follow
constexpr int kCheckBox1Id = 105;
constexpr int kButton1Id = 106;
constexpr int kButton4Id = 107;

// A control's place in the form's client area.
struct ControlPlace {
  int left;
  int top;
  int width;
  int height;
};

constexpr std::array<ControlPlace, 4> kTrackBarPlaces{{
    {3, 340, 170, 10},    // TrackBar1: Speed
    {3, 375, 170, 10},    // TrackBar2: Brightness
    {200, 340, 170, 10},  // TrackBar3: Algorithm
    {200, 375, 170, 10},  // TrackBar4: Detail
}};

struct Label {
  const char* caption;
  ControlPlace place;
};

constexpr std::array<Label, 4> kStaticTexts{{
    {"Speed", {10, 323, 45, 20}},       // StaticText1
    {"Brightness", {10, 358, 70, 20}},  // StaticText2
    {"Algorithm", {207, 323, 66, 20}},  // StaticText3
    {"Detailed", {207, 358, 57, 20}},   // StaticText4
}};

constexpr ControlPlace kCheckBox1Place{10, 304, 263, 17};
constexpr ControlPlace kButton1Place{11, 395, 94, 17};
constexpr ControlPlace kButton4Place{318, 395, 74, 17};
constexpr ControlPlace kDXDrawPlace{0, 0, 400, 300};
// The drawing area fills its own window.
constexpr AreaPlacement kDXDrawPlacement{0, 0, 400, 300, false};
constexpr const char* kDXDrawClass = "TDXDraw";

// DXDraw's window: the preview is drawn into a child window of its own, so
// that the drawing never reaches the controls below it.
HWND createDXDrawWindow(HWND form) {
  return CreateWindowExA(0, kDXDrawClass, "", WS_CHILD | WS_VISIBLE, kDXDrawPlace.left,
                         kDXDrawPlace.top, kDXDrawPlace.width, kDXDrawPlace.height, form, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// The form: its window, its controls and the dialog they drive.
class SettingsForm : public SettingsDialogHost {
 public:
  SettingsForm(Fractals& fractals, HWND window)
      : window_(window),
        dxDraw_(createDXDrawWindow(window)),
        area_(reinterpret_cast<std::uintptr_t>(dxDraw_), kDXDrawPlacement),
        dialog_(fractals, registry_, area_, *this),
        font_(CreateFontA(-13, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, "Arial")),
        black_(static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))) {
    timer_.Interval = 40;
    timer_.OnTimer = [this] { handle([this] { dialog_.DXTimerTimer(); }); };
    createControls();
  }
  ~SettingsForm() override {
    if (font_) DeleteObject(font_);
  }
  SettingsForm(const SettingsForm&) = delete;
  SettingsForm& operator=(const SettingsForm&) = delete;

  SettingsDialog& dialog() { return dialog_; }
  FrameTimer& timer() { return timer_; }
  DirectDrawArea& area() { return area_; }
  HWND trackBar(int index) const { return trackBars_[static_cast<std::size_t>(index)]; }

  // Runs a handler, one at a time; its error is shown in the error box.
  template <class Handler>
  void handle(Handler handler) {
    handlers_.run(reinterpret_cast<std::uintptr_t>(window_), handler);
  }

  // The loop's look at a message before it is dispatched: keys reach the form
  // first (and Escape may close it), then the dialog manager moves the focus on
  // Tab and arrow keys and dispatches the rest.
  bool preDispatch(MSG& message) {
    if (destroyed_ || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) return false;
    if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
      const int key = static_cast<int>(message.wParam);
      handle([this, key] { dialog_.FormKeyDown(key); });
      if (destroyed_) return true;
    }
    return IsDialogMessageA(window_, &message) != FALSE;
  }

  // A slider reported a move: its change handler runs when the position moved.
  void trackBarScrolled(HWND control) {
    for (int index = 0; index < 4; ++index) {
      if (control != trackBar(index)) continue;
      const int position = static_cast<int>(SendMessageA(control, TBM_GETPOS, 0, 0));
      if (position == dialog_.slider(static_cast<SliderIndex>(index)).position) return;
      handle([this, index, position] {
        switch (index) {
          case kSpeedSlider:
            dialog_.TrackBar1Change(position);
            break;
          case kBrightnessSlider:
            dialog_.TrackBar2Change(position);
            break;
          case kAlgorithmSlider:
            dialog_.TrackBar3Change(position);
            break;
          default:
            dialog_.TrackBar4Change(position);
            break;
        }
      });
      return;
    }
  }

  // A button or the check box was clicked.
  void clicked(int id) {
    switch (id) {
      case kCheckBox1Id: {
        const bool ticked = SendMessageA(checkBox1_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        handle([this, ticked] { dialog_.CheckBox1Click(ticked); });
        break;
      }
      case kButton1Id:
        handle([this] { dialog_.Button1Click(); });
        break;
      case kButton4Id:
        handle([this] { dialog_.Button4Click(); });
        break;
      default:
        break;
    }
  }

  // Labels and the check box: white text on black. Push buttons keep the
  // system's colours; only the corners around them are black.
  LRESULT controlColours(HDC context, HWND control, bool button) {
    if (!button || control == checkBox1_) {
      SetTextColor(context, RGB(255, 255, 255));
      SetBkColor(context, RGB(0, 0, 0));
    }
    return reinterpret_cast<LRESULT>(black_);
  }

  // Enter presses a focused push button, as its click.
  LRESULT defaultButton() const {
    const HWND focus = GetFocus();
    if (focus == button1_) return MAKELRESULT(kButton1Id, DC_HASDEFID);
    if (focus == button4_) return MAKELRESULT(kButton4Id, DC_HASDEFID);
    return 0;
  }

  // The form loses or regains the activation: the focused control keeps the
  // focus across it. Returns true when it gave the focus back.
  bool activated(bool active) {
    if (!active) {
      const HWND focus = GetFocus();
      if (focus && IsChild(window_, focus)) lastFocus_ = focus;
      return false;
    }
    if (!lastFocus_ || !IsWindow(lastFocus_)) return false;
    SetFocus(lastFocus_);
    return true;
  }

  // The form's window is being destroyed: the ticks stop and the preview
  // lets go of the display.
  void destroyed() {
    destroyed_ = true;
    timer_.Enabled = false;
    area_.FormDestroyed();
  }

  // Shows the form at the centre of the screen, active, with the focus on the
  // Speed slider.
  void showCentred() {
    centreOnScreen(reinterpret_cast<std::uintptr_t>(window_));
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    SetFocus(trackBar(kSpeedSlider));
    timer_.setActive(GetForegroundWindow() == window_);
  }

  // SettingsDialogHost
  void showSliderPosition(SliderIndex slider, int position) override {
    SendMessageA(trackBar(slider), TBM_SETPOS, TRUE, position);
  }
  void showCheckBox(bool ticked) override {
    SendMessageA(checkBox1_, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  int desktopBitCount() override { return win32::desktopBitCount(); }
  void setClientSize(int width, int height) override {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE)));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void close() override { DestroyWindow(window_); }
  void reportError(const std::string& message) override {
    showErrorBox(reinterpret_cast<std::uintptr_t>(window_), message);
  }

 private:
  // Makes one control on the form, in the form's font.
  HWND createControl(const char* windowClass, const char* caption, DWORD style,
                     const ControlPlace& place, int id) {
    HWND control = CreateWindowExA(0, windowClass, caption, WS_CHILD | WS_VISIBLE | style,
                                   place.left, place.top, place.width, place.height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (control && font_) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
  }

  // Makes a slider with the dialog's range and start position for it.
  HWND createTrackBar(int index) {
    const auto slot = static_cast<std::size_t>(index);
    HWND control =
        createControl(TRACKBAR_CLASSA, "", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM,
                      kTrackBarPlaces[slot], kTrackBar1Id + index);
    const Slider& slider = dialog_.slider(static_cast<SliderIndex>(index));
    SendMessageA(control, TBM_SETRANGE, FALSE, MAKELPARAM(slider.minimum, slider.maximum));
    SendMessageA(control, TBM_SETTICFREQ, 1, 0);
    SendMessageA(control, TBM_SETLINESIZE, 0, 1);
    SendMessageA(control, TBM_SETPAGESIZE, 0, 2);
    SendMessageA(control, TBM_SETPOS, TRUE, slider.position);
    trackBars_[slot] = control;
    return control;
  }

  // The focus moves with Tab in the order the controls are made.
  void createControls() {
    createTrackBar(kSpeedSlider);
    button1_ = createControl("BUTTON", "Save settings", WS_TABSTOP | BS_PUSHBUTTON, kButton1Place,
                             kButton1Id);
    button4_ =
        createControl("BUTTON", "Close", WS_TABSTOP | BS_PUSHBUTTON, kButton4Place, kButton4Id);
    createTrackBar(kBrightnessSlider);
    createTrackBar(kAlgorithmSlider);
    createTrackBar(kDetailSlider);
    checkBox1_ = createControl("BUTTON", "Casual Algorithm", WS_TABSTOP | BS_AUTOCHECKBOX,
                               kCheckBox1Place, kCheckBox1Id);
    // A themed check box draws its caption in the theme's colour, which would
    // be black on the black form.
    if (checkBox1_) SetWindowTheme(checkBox1_, L"", L"");
    for (const Label& label : kStaticTexts)
      createControl("STATIC", label.caption, SS_LEFT, label.place, 0);
  }

  HWND window_;
  HWND dxDraw_;
  Win32SettingsRegistry registry_;
  DirectDrawArea area_;
  SettingsDialog dialog_;
  FrameTimer timer_;
  HFONT font_;
  HBRUSH black_;
  std::array<HWND, 4> trackBars_{};
  HWND checkBox1_ = nullptr;
  HWND button1_ = nullptr;
  HWND button4_ = nullptr;
  HWND lastFocus_ = nullptr;
  FormHandlers handlers_;
  bool destroyed_ = false;
};

// The form's window procedure: control notifications go to the form.
LRESULT CALLBACK settingsProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<SettingsForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_HSCROLL:
      form->trackBarScrolled(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) form->clicked(LOWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return form->controlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                  message == WM_CTLCOLORBTN);
    case DM_GETDEFID:
      return form->defaultButton();
    case WM_ACTIVATE:
      if (form->activated(LOWORD(wParam) != WA_INACTIVE)) return 0;
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_ACTIVATEAPP:
      form->timer().setActive(wParam != FALSE);
      return 0;
    case WM_DESTROY:
      form->destroyed();
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// DXDraw's window asks for a repaint: the last frame is shown again.
LRESULT CALLBACK dxDrawProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  auto* form = reinterpret_cast<SettingsForm*>(GetWindowLongPtrA(GetParent(window), GWLP_USERDATA));
  if (form) form->handle([form] { form->area().Repaint(); });
  return 0;
}

// Registers the form's and DXDraw's window classes.
bool registerClasses(HINSTANCE instance) {
  WNDCLASSEXA formClass{};
  formClass.cbSize = sizeof formClass;
  formClass.lpfnWndProc = settingsProcedure;
  formClass.hInstance = instance;
  formClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kApplicationIcon));
  formClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  formClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  formClass.lpszClassName = kSettingsDialogClass;
  WNDCLASSEXA dxDrawClass = formClass;
  dxDrawClass.lpfnWndProc = dxDrawProcedure;
  dxDrawClass.hIcon = nullptr;
  dxDrawClass.lpszClassName = kDXDrawClass;
  return RegisterClassExA(&formClass) && RegisterClassExA(&dxDrawClass);
}

}  // namespace

int runSettingsDialog(Fractals& fractals) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);

  if (!registerClasses(instance)) return 1;

  HWND window =
      CreateWindowExA(0, kSettingsDialogClass, kSettingsDialogCaption, kFormStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, 400, 420, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;

  auto form = std::make_unique<SettingsForm>(fractals, window);
  form->handle([&] { form->dialog().FormCreate(); });
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form.get()));
  form->showCentred();
  return runMessageLoop(&form->timer(), [&form](void* message) {
    return form->preDispatch(*static_cast<MSG*>(message));
  });
}

}  // namespace glimmerweave::win32
