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
#include "platform/win32/win32_diagnostics.h"
#include "platform/win32/win32_direct_draw.h"
#include "platform/win32/win32_frame_timer.h"
#include "platform/win32/win32_registry.h"
#include "settings/settings_dialog.h"
#include "settings/settings_dialog_layout.h"

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

constexpr std::array<const char*, 4> kStaticTextCaptions{"Speed", "Brightness", "Algorithm",
                                                         "Detailed"};
constexpr const char* kDXDrawClass = "TDXDraw";

// The drawing area fills its own window.
AreaPlacement dxDrawPlacement(const SettingsDialogLayout& layout) {
  return AreaPlacement{0, 0, layout.DXDraw.width, layout.DXDraw.height, false};
}

// DXDraw's window: the preview is drawn into a child window of its own, so
// that the drawing never reaches the controls below it.
HWND createDXDrawWindow(HWND form, const ControlPlace& place) {
  return CreateWindowExA(0, kDXDrawClass, "", WS_CHILD | WS_VISIBLE, place.left, place.top,
                         place.width, place.height, form, nullptr, GetModuleHandleA(nullptr),
                         nullptr);
}

// The form's text font (Arial, bold, Cyrillic) at a character height in pixels.
HFONT createFormFont(int height) {
  return CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, "Arial");
}

void placeWindow(HWND window, const ControlPlace& place) {
  SetWindowPos(window, nullptr, place.left, place.top, place.width, place.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The form: its window, its controls and the dialog they drive.
class SettingsForm : public SettingsDialogHost {
 public:
  // The layout follows the DPI of the window's monitor: at 96 the designed one,
  // elsewhere every place and the font scaled by dpi / 96.
  SettingsForm(Fractals& fractals, HWND window)
      : window_(window),
        dpi_(windowDpi(reinterpret_cast<std::uintptr_t>(window))),
        layout_(settingsDialogLayout(dpi_)),
        dxDraw_(createDXDrawWindow(window, layout_.DXDraw)),
        area_(reinterpret_cast<std::uintptr_t>(dxDraw_), dxDrawPlacement(layout_)),
        dialog_(fractals, registry_, area_, *this),
        font_(createFormFont(layout_.fontHeight)),
        black_(static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))) {
    timer_.Interval = 40;
    timer_.OnTimer = [this] {
      handle([this] { dialog_.DXTimerTimer(); });
      countFrame();
    };
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

  // The form was moved to a monitor of another DPI: it takes the size and place
  // the system suggests, and every control, the font and the preview are laid
  // out again for the new DPI.
  void dpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    layout_ = settingsDialogLayout(dpi_);
    const HFONT previous = font_;
    font_ = createFormFont(layout_.fontHeight);
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    setClientSize(kSettingsDialogClientWidth, kSettingsDialogClientHeight);
    placeWindow(dxDraw_, layout_.DXDraw);
    area_.setPlacement(dxDrawPlacement(layout_));
    for (int index = 0; index < 4; ++index) {
      const auto slot = static_cast<std::size_t>(index);
      placeControl(trackBars_[slot], layout_.TrackBars[slot]);
      placeControl(staticTexts_[slot], layout_.StaticTexts[slot]);
    }
    placeControl(checkBox1_, layout_.CheckBox1);
    placeControl(button1_, layout_.Button1);
    placeControl(button4_, layout_.Button4);
    if (previous) DeleteObject(previous);
    InvalidateRect(window_, nullptr, TRUE);
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
  // The size is given at 96 DPI, as the whole layout is.
  void setClientSize(int width, int height) override {
    int outerWidth = scaleForDpi(width, dpi_);
    int outerHeight = scaleForDpi(height, dpi_);
    outerSizeForClient(reinterpret_cast<std::uintptr_t>(window_), outerWidth, outerHeight);
    SetWindowPos(window_, nullptr, 0, 0, outerWidth, outerHeight,
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

  // Moves a control to its place and gives it the form's current font.
  void placeControl(HWND control, const ControlPlace& place) {
    if (!control) return;
    placeWindow(control, place);
    if (font_) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }

  // Makes a slider with the dialog's range and start position for it.
  HWND createTrackBar(int index) {
    const auto slot = static_cast<std::size_t>(index);
    HWND control =
        createControl(TRACKBAR_CLASSA, "", WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM,
                      layout_.TrackBars[slot], kTrackBar1Id + index);
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
    button1_ = createControl("BUTTON", "Save settings", WS_TABSTOP | BS_PUSHBUTTON, layout_.Button1,
                             kButton1Id);
    button4_ =
        createControl("BUTTON", "Close", WS_TABSTOP | BS_PUSHBUTTON, layout_.Button4, kButton4Id);
    createTrackBar(kBrightnessSlider);
    createTrackBar(kAlgorithmSlider);
    createTrackBar(kDetailSlider);
    checkBox1_ = createControl("BUTTON", "Casual Algorithm", WS_TABSTOP | BS_AUTOCHECKBOX,
                               layout_.CheckBox1, kCheckBox1Id);
    // A themed check box draws its caption in the theme's colour, which would
    // be black on the black form.
    if (checkBox1_) SetWindowTheme(checkBox1_, L"", L"");
    for (std::size_t slot = 0; slot < staticTexts_.size(); ++slot)
      staticTexts_[slot] =
          createControl("STATIC", kStaticTextCaptions[slot], SS_LEFT, layout_.StaticTexts[slot], 0);
  }

  HWND window_;
  int dpi_;
  SettingsDialogLayout layout_;
  HWND dxDraw_;
  Win32SettingsRegistry registry_;
  DirectDrawArea area_;
  SettingsDialog dialog_;
  FrameTimer timer_;
  HFONT font_;
  HBRUSH black_;
  std::array<HWND, 4> trackBars_{};
  std::array<HWND, 4> staticTexts_{};
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
    case WM_DPICHANGED:
      form->dpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
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

  HWND window = CreateWindowExA(0, kSettingsDialogClass, kSettingsDialogCaption, kFormStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, kSettingsDialogClientWidth,
                                kSettingsDialogClientHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;

  auto form = std::make_unique<SettingsForm>(fractals, window);
  form->handle([&] { form->dialog().FormCreate(); });
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form.get()));
  form->showCentred();
  SystemTiming timing;
  return runMessageLoop(
      &form->timer(),
      [&form](void* message) { return form->preDispatch(*static_cast<MSG*>(message)); }, &timing);
}

}  // namespace glimmerweave::win32
