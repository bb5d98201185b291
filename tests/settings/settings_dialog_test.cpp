// The settings dialog's logic with a fake window and drawing area.
#include "settings/settings_dialog.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "settings/settings_dialog_layout.h"
#include "settings/settings_store.h"
#include "support/fake_drawing_area.h"
#include "support/registry_test_support.h"

namespace glimmerweave {
namespace {

using testing::FakeDrawingArea;

class FakeDialogHost : public SettingsDialogHost {
 public:
  std::array<int, 4> shown = {-1, -1, -1, -1};
  int checkBoxShown = -1;
  int clientWidth = 0, clientHeight = 0;
  bool closed = false;
  int bitCount = 32;
  std::vector<std::string> errors;

  void showSliderPosition(SliderIndex slider, int position) override { shown[slider] = position; }
  void showCheckBox(bool ticked) override { checkBoxShown = ticked; }
  int desktopBitCount() override { return bitCount; }
  void setClientSize(int width, int height) override {
    clientWidth = width;
    clientHeight = height;
  }
  void close() override { closed = true; }
  void reportError(const std::string& message) override { errors.push_back(message); }
};

class Dialog : public ::testing::Test {
 protected:
  void store(std::uint32_t speed, std::uint32_t brightness, std::uint32_t algorithm,
             std::uint32_t detail, std::uint32_t rands) {
    testing::storeSettings(registry, speed, brightness, algorithm, detail, rands);
  }

  std::unique_ptr<Fractals> fractals = std::make_unique<Fractals>();
  MemoryRegistry registry;
  FakeDrawingArea area;
  FakeDialogHost host;
  SettingsDialog dialog{*fractals, registry, area, host};
};

TEST_F(Dialog, FirstStartShowsTheDefaults) {
  dialog.FormCreate();
  EXPECT_EQ(dialog.slider(kSpeedSlider).position, 3);
  EXPECT_EQ(dialog.slider(kBrightnessSlider).position, 100);
  EXPECT_EQ(dialog.slider(kAlgorithmSlider).position, 15);
  EXPECT_EQ(dialog.slider(kDetailSlider).position, 5);
  EXPECT_FALSE(dialog.checkBox());
  EXPECT_EQ(host.checkBoxShown, 0);
  EXPECT_EQ(fractals->FrameWidth, 267);
  EXPECT_EQ(fractals->FrameHeight, 200);
  EXPECT_EQ(dialog.image().width(), 267);
  EXPECT_EQ(host.clientWidth, 400);
  EXPECT_EQ(host.clientHeight, 420);
  EXPECT_TRUE(area.setUp);
  EXPECT_EQ(area.Options & doFullScreen, 0u) << "windowed";
  EXPECT_EQ(area.SurfaceWidth, 400);
  EXPECT_EQ(area.Display.bitCount, 32);
  EXPECT_EQ(registry.dword("Algoritm"), 15u) << "the first-run defaults were written";
}

TEST_F(Dialog, SlidersClampAndRunTheirHandlerOnlyWhenTheyMove) {
  store(static_cast<std::uint32_t>(-3), 0, 33, 15, 0);
  dialog.FormCreate();
  EXPECT_EQ(dialog.slider(kSpeedSlider).position, 0);
  EXPECT_EQ(fractals->settings.Speed, 0);
  EXPECT_EQ(host.shown[kSpeedSlider], 0);
  EXPECT_EQ(dialog.slider(kAlgorithmSlider).position, 31);
  EXPECT_EQ(fractals->settings.Algorithm, 31);
  EXPECT_EQ(dialog.slider(kDetailSlider).position, 10);
  EXPECT_EQ(fractals->settings.Detail, 10);
  EXPECT_EQ(fractals->FrameWidth, 400);
  // Brightness 0 clamps to 1, the slider's start position: no handler runs.
  EXPECT_EQ(dialog.slider(kBrightnessSlider).position, 1);
  EXPECT_EQ(host.shown[kBrightnessSlider], -1);
  EXPECT_EQ(fractals->settings.Brightness, 0);
  EXPECT_EQ(fractals->EngineBrightness, 0);
}

TEST_F(Dialog, RandomAlgorithmTicksTheBoxAndPicksFrom0To14) {
  store(3, 100, 31, 5, 1);
  dialog.FormCreate();
  EXPECT_TRUE(dialog.checkBox());
  EXPECT_EQ(host.checkBoxShown, 1);
  EXPECT_GE(fractals->settings.Algorithm, 0);
  EXPECT_LE(fractals->settings.Algorithm, 14);
  EXPECT_EQ(dialog.slider(kAlgorithmSlider).position, fractals->settings.Algorithm);
  dialog.Button1Click();
  EXPECT_EQ(registry.dword("Algoritm"), std::uint32_t(fractals->settings.Algorithm));
  EXPECT_EQ(registry.dword("Rands"), 1u);

  dialog.CheckBox1Click(false);
  EXPECT_FALSE(fractals->settings.RandomAlgorithm);
  EXPECT_LE(fractals->settings.Algorithm, 14) << "unticking keeps the algorithm";
}

TEST_F(Dialog, TicksFollowTheDetailSliderAndPresent) {
  dialog.FormCreate();
  for (auto [detail, width, height] :
       {std::tuple{10, 400, 300}, std::tuple{0, 133, 100}, std::tuple{5, 267, 200}}) {
    dialog.TrackBar4Change(detail);
    area.calls.clear();
    dialog.DXTimerTimer();
    EXPECT_EQ(fractals->FrameWidth, width);
    EXPECT_EQ(fractals->FrameHeight, height);
    EXPECT_EQ(area.loadedWidth, width);
    EXPECT_EQ(area.loadedHeight, height);
    EXPECT_EQ(area.calls.back(), "ShowSurface");
  }
}

TEST_F(Dialog, SlidersChangeTheSettingsAtOnce) {
  dialog.FormCreate();
  const long double phase = fractals->state.PhaseA;
  dialog.TrackBar1Change(7);
  dialog.TrackBar2Change(42);
  dialog.TrackBar3Change(28);
  EXPECT_EQ(fractals->settings.Speed, 7);
  EXPECT_EQ(fractals->settings.Brightness, 42);
  EXPECT_EQ(fractals->EngineBrightness, 42);
  EXPECT_EQ(fractals->settings.Algorithm, 28);
  EXPECT_EQ(fractals->state.PhaseA, phase) << "no handler restarts the animation";
  EXPECT_EQ(registry.dword("Speed"), 3u) << "nothing is saved before Save settings";
}

TEST_F(Dialog, SaveWritesCloseAndEscapeEndWithoutSaving) {
  dialog.FormCreate();
  dialog.TrackBar1Change(9);
  dialog.Button1Click();
  EXPECT_EQ(registry.dword("Speed"), 9u);
  EXPECT_FALSE(host.closed);

  dialog.TrackBar1Change(2);
  dialog.FormKeyDown('A');
  EXPECT_FALSE(host.closed);
  dialog.FormKeyDown(kEscapeKey);
  EXPECT_TRUE(host.closed);
  EXPECT_EQ(registry.dword("Speed"), 9u);

  host.closed = false;
  dialog.Button4Click();
  EXPECT_TRUE(host.closed);
}

TEST_F(Dialog, SaveFailureIsReportedAndTheDialogStaysOpen) {
  dialog.FormCreate();
  registry.writesBeforeFailure = 1;
  EXPECT_THROW(dialog.Button1Click(), RegistryError);
  EXPECT_FALSE(host.closed);
}

TEST_F(Dialog, AnAreaThatCannotBeSetUpLeavesTheDialogUsable) {
  host.bitCount = 4;
  dialog.FormCreate();
  EXPECT_EQ(host.errors, (std::vector<std::string>{"It should be either of 8 or 16 or 24 or 32"}));
  EXPECT_FALSE(area.setUp);
  EXPECT_EQ(dialog.image().width(), 267) << "the image and the animation are in place";
  EXPECT_GE(fractals->state.StepA, 0.05L);
  area.calls.clear();
  dialog.DXTimerTimer();
  EXPECT_EQ(area.calls, (std::vector<std::string>{"IsReady"}));
}

}  // namespace
}  // namespace glimmerweave

// ---------------------------------------------------------------------------
// The layout at other DPIs

namespace glimmerweave {
namespace {

TEST(SettingsDialogLayout, At96DpiIsTheDesignedLayout) {
  const SettingsDialogLayout layout = settingsDialogLayout(96);
  EXPECT_EQ(layout.clientWidth, 400);
  EXPECT_EQ(layout.clientHeight, 420);
  EXPECT_EQ(layout.DXDraw, (ControlPlace{0, 0, 400, 300}));
  EXPECT_EQ(layout.CheckBox1, (ControlPlace{10, 304, 263, 17}));
  EXPECT_EQ(layout.StaticTexts[3], (ControlPlace{207, 358, 57, 20}));
  EXPECT_EQ(layout.TrackBars[0], (ControlPlace{3, 340, 170, 10}));
  EXPECT_EQ(layout.TrackBars[3], (ControlPlace{200, 375, 170, 10}));
  EXPECT_EQ(layout.Button1, (ControlPlace{11, 395, 94, 17}));
  EXPECT_EQ(layout.Button4, (ControlPlace{318, 395, 74, 17}));
  EXPECT_EQ(layout.fontHeight, 13);
  // A DPI that could not be read lays the dialog out as at 96.
  EXPECT_EQ(settingsDialogLayout(0).Button4, layout.Button4);
  EXPECT_EQ(settingsDialogLayout(-120).clientWidth, 400);
}

TEST(SettingsDialogLayout, ScalesEveryPlaceAndTheFontByDpiOver96) {
  const SettingsDialogLayout at144 = settingsDialogLayout(144);
  EXPECT_EQ(at144.clientWidth, 600);
  EXPECT_EQ(at144.clientHeight, 630);
  EXPECT_EQ(at144.DXDraw, (ControlPlace{0, 0, 600, 450}));
  // 17 x 1.5 = 25.5 and 263 x 1.5 = 394.5 round away from zero, as MulDiv does.
  EXPECT_EQ(at144.CheckBox1, (ControlPlace{15, 456, 395, 26}));
  EXPECT_EQ(at144.TrackBars[3], (ControlPlace{300, 563, 255, 15}));
  EXPECT_EQ(at144.Button4, (ControlPlace{477, 593, 111, 26}));
  EXPECT_EQ(at144.fontHeight, 20);

  const SettingsDialogLayout at192 = settingsDialogLayout(192);
  EXPECT_EQ(at192.clientWidth, 800);
  EXPECT_EQ(at192.clientHeight, 840);
  EXPECT_EQ(at192.DXDraw, (ControlPlace{0, 0, 800, 600}));
  EXPECT_EQ(at192.StaticTexts[1], (ControlPlace{20, 716, 140, 40}));
  EXPECT_EQ(at192.fontHeight, 26);

  // 125 %: 13 x 1.25 = 16.25 and 395 x 1.25 = 493.75.
  const SettingsDialogLayout at120 = settingsDialogLayout(120);
  EXPECT_EQ(at120.fontHeight, 16);
  EXPECT_EQ(at120.Button1, (ControlPlace{14, 494, 118, 21}));
}

TEST(SettingsDialogLayout, ScalingRoundsHalvesAwayFromZeroWithoutOverflow) {
  EXPECT_EQ(scaleForDpi(1, 144), 2);    // 1.5
  EXPECT_EQ(scaleForDpi(-1, 144), -2);  // -1.5
  EXPECT_EQ(scaleForDpi(3, 112), 4);    // 3.5
  EXPECT_EQ(scaleForDpi(5, 91), 5);     // 4.74
  EXPECT_EQ(scaleForDpi(0, 480), 0);
  // Past the int range the result saturates rather than wrapping.
  EXPECT_EQ(scaleForDpi(2'000'000'000, 192), std::numeric_limits<int>::max());
  EXPECT_EQ(scaleForDpi(-2'000'000'000, 192), std::numeric_limits<int>::min());
}

}  // namespace
}  // namespace glimmerweave
