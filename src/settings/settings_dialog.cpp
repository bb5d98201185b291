#include "settings/settings_dialog.h"

#include <algorithm>

#include "settings/settings_dialog_layout.h"
#include "settings/settings_store.h"

namespace glimmerweave {

SettingsDialog::SettingsDialog(Fractals& fractals, SettingsRegistry& registry, DrawingArea& area,
                               SettingsDialogHost& host)
    : fractals_(fractals), registry_(registry), area_(area), host_(host) {
  sliders_[kSpeedSlider] = Slider{0, 10, 1};
  sliders_[kBrightnessSlider] = Slider{1, 100, 1};
  sliders_[kAlgorithmSlider] = Slider{0, 31, 5};
  sliders_[kDetailSlider] = Slider{0, 10, 1};
  area_.Options = doAllowReboot | doStretch | doDirectX7Mode | doHardware | doSelectDriver;
  area_.Display.fixedBitCount = false;
  area_.Display.fixedRatio = true;
  area_.Display.fixedSize = false;
}

void SettingsDialog::FormCreate() {
  FractalSettings& settings = fractals_.settings;
  const std::string loadError = loadSettingsForStartUp(settings, registry_);
  if (!loadError.empty()) host_.reportError(loadError);
  fractals_.random.seedFromClock();
  if (!settings.RandomAlgorithm) {
    checkBox_ = false;
    host_.showCheckBox(false);
  } else {
    checkBox_ = true;
    host_.showCheckBox(true);
    CheckBox1Click(true);
    ApplyRandomAlgorithm(settings, fractals_.random);
  }
  setSliderPosition(kSpeedSlider, settings.Speed);
  setSliderPosition(kBrightnessSlider, settings.Brightness);
  setSliderPosition(kAlgorithmSlider, settings.Algorithm);
  setSliderPosition(kDetailSlider, settings.Detail);
  const int bitCount = host_.desktopBitCount();
  host_.setClientSize(kSettingsDialogClientWidth, kSettingsDialogClientHeight);

  // A drawing area that cannot be set up leaves the dialog usable: the preview
  // stays empty, and everything after the set-up still happens.
  std::string areaError;
  try {
    area_.ShutDown();
    area_.Display.width = 400;
    area_.Display.height = 300;
    area_.SurfaceWidth = 400;
    area_.SurfaceHeight = 300;
    area_.setBitCount(bitCount);
    area_.SetUp();
  } catch (const DrawingAreaError& error) {
    areaError = error.what();
  }
  fractals_.EngineBrightness = settings.Brightness;
  StartAnimation(fractals_);
  frameSizeForDetail(settings.Detail, 400, 300, fractals_.FrameWidth, fractals_.FrameHeight);
  image_.setSize(fractals_.FrameWidth, fractals_.FrameHeight);
  if (!areaError.empty()) host_.reportError(areaError);
}

void SettingsDialog::DXTimerTimer() {
  frameSizeForDetail(fractals_.settings.Detail, 400, 300, fractals_.FrameWidth,
                     fractals_.FrameHeight);
  image_.setSize(fractals_.FrameWidth, fractals_.FrameHeight);
  // An arithmetic error leaves a partial frame, which is shown as it is.
  ComputeFrame(fractals_);
  PresentFrame(area_, image_, fractals_.planes);
}

void SettingsDialog::setSliderPosition(SliderIndex index, int value) {
  Slider& slider = sliders_[index];
  const int clamped = std::clamp(value, slider.minimum, slider.maximum);
  if (clamped == slider.position) return;
  host_.showSliderPosition(index, clamped);
  sliderChanged(index, clamped);
}

void SettingsDialog::sliderChanged(SliderIndex index, int position) {
  sliders_[index].position = position;
  FractalSettings& settings = fractals_.settings;
  switch (index) {
    case kSpeedSlider:
      settings.Speed = position;
      break;
    case kBrightnessSlider:
      settings.Brightness = position;
      fractals_.EngineBrightness = settings.Brightness;
      break;
    case kAlgorithmSlider:
      settings.Algorithm = position;
      break;
    case kDetailSlider:
      settings.Detail = position;
      break;
  }
}

void SettingsDialog::TrackBar1Change(int position) {
  sliderChanged(kSpeedSlider, position);
}
void SettingsDialog::TrackBar2Change(int position) {
  sliderChanged(kBrightnessSlider, position);
}
void SettingsDialog::TrackBar3Change(int position) {
  sliderChanged(kAlgorithmSlider, position);
}
void SettingsDialog::TrackBar4Change(int position) {
  sliderChanged(kDetailSlider, position);
}

void SettingsDialog::CheckBox1Click(bool ticked) {
  checkBox_ = ticked;
  fractals_.settings.RandomAlgorithm = ticked;
}

void SettingsDialog::Button1Click() {
  WriteSettings(fractals_.settings, registry_);
}

void SettingsDialog::Button4Click() {
  host_.close();
}

void SettingsDialog::FormKeyDown(int key) {
  if (key == kEscapeKey) host_.close();
}

}  // namespace glimmerweave
