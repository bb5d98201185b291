// The settings dialog's logic: four sliders and a check box over the settings
// record, a 400 x 300 live preview that follows every change at the next tick,
// "Save settings" (writes the store, the dialog stays open) and "Close" or
// Escape (ends without saving). The Win32 layer owns the window and controls
// and forwards their events here.
#pragma once

#include <array>
#include <cstdint>

#include "engine/engine.h"
#include "presentation/drawing_area.h"
#include "presentation/frame_image.h"
#include "settings/registry.h"

namespace glimmerweave {

// A slider's range and position. The program setting a position clamps it into
// the range; the change handler runs only when the position moves.
struct Slider {
  int minimum = 0;
  int maximum = 0;
  int position = 0;
};

enum SliderIndex { kSpeedSlider = 0, kBrightnessSlider, kAlgorithmSlider, kDetailSlider };

// What the dialog asks of its window and controls.
class SettingsDialogHost {
 public:
  virtual ~SettingsDialogHost() = default;
  virtual void showSliderPosition(SliderIndex slider, int position) = 0;
  virtual void showCheckBox(bool ticked) = 0;
  virtual int desktopBitCount() = 0;
  virtual void setClientSize(int width, int height) = 0;
  virtual void close() = 0;
  virtual void reportError(const std::string& message) = 0;
};

inline constexpr int kEscapeKey = 27;

class SettingsDialog {
 public:
  SettingsDialog(Fractals& fractals, SettingsRegistry& registry, DrawingArea& area,
                 SettingsDialogHost& host);

  void FormCreate();
  void DXTimerTimer();
  void TrackBar1Change(int position);
  void TrackBar2Change(int position);
  void TrackBar3Change(int position);
  void TrackBar4Change(int position);
  void CheckBox1Click(bool ticked);
  void Button1Click();
  void Button4Click();
  void FormKeyDown(int key);

  const Slider& slider(SliderIndex index) const { return sliders_[index]; }
  bool checkBox() const { return checkBox_; }
  const FrameImage& image() const { return image_; }

 private:
  // Sets a slider from the program: clamps, and runs its handler if it moved.
  void setSliderPosition(SliderIndex index, int value);
  void sliderChanged(SliderIndex index, int position);

  Fractals& fractals_;
  SettingsRegistry& registry_;
  DrawingArea& area_;
  SettingsDialogHost& host_;
  FrameImage image_;
  std::array<Slider, 4> sliders_;
  bool checkBox_ = false;
};

}  // namespace glimmerweave
