// The control-panel preview's logic: its handle parameter, engine set-up,
// painted frame and repaint pace.
#include "windows_modes/preview.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "windows_modes/fake_timing_service.h"

namespace glimmerweave {
namespace {

TEST(ParamToHandle, ReadsDecimalAndHexadecimal) {
  EXPECT_EQ(ParamToHandle("1234"), 1234);
  EXPECT_EQ(ParamToHandle("   77"), 77);
  EXPECT_EQ(ParamToHandle("+5"), 5);
  EXPECT_EQ(ParamToHandle("-5"), -5);
  EXPECT_EQ(ParamToHandle("$1F"), 31);
  EXPECT_EQ(ParamToHandle("0x1f"), 31);
  EXPECT_EQ(ParamToHandle("0X10"), 16);
  EXPECT_EQ(ParamToHandle("x10"), 16);
  EXPECT_EQ(ParamToHandle("-$10"), -16);
  EXPECT_EQ(ParamToHandle("$FFFFFFFF"), -1);
  EXPECT_EQ(ParamToHandle("2147483647"), 2147483647);
  EXPECT_EQ(ParamToHandle("-2147483648"), INT32_MIN);
}

TEST(ParamToHandle, AnythingElseIsZero) {
  for (const char* text : {"", " ", "12a", "x", "$", "0x", "-", "1 2", "12 ", "2147483648",
                           "-2147483649", "$100000000", "99999999999999999999", "\t5"}) {
    EXPECT_EQ(ParamToHandle(text), 0) << "'" << text << "'";
  }
}

TEST(Preview, EngineRunsARandomAlgorithmAtSpeed5AndFullBrightness) {
  for (int run = 0; run < 20; ++run) {
    auto fractals = std::make_unique<Fractals>();
    fractals->settings.Brightness = 7;
    fractals->settings.Detail = 2;
    setUpPreviewEngine(*fractals);
    EXPECT_GE(fractals->settings.Algorithm, 0);
    EXPECT_LE(fractals->settings.Algorithm, 14);
    EXPECT_EQ(fractals->settings.Speed, 5);
    EXPECT_EQ(fractals->EngineBrightness, 100);
    EXPECT_EQ(fractals->settings.Brightness, 7) << "the settings are not touched";
    EXPECT_EQ(fractals->settings.Detail, 2);
    EXPECT_GE(fractals->state.StepA, 0.05L) << "the animation was started";
  }
}

TEST(Preview, FrameIsBoundedToThePlanes) {
  std::int32_t width = 0, height = 0;
  previewFrameSize(152, 112, width, height);
  EXPECT_EQ(width, 152);
  EXPECT_EQ(height, 112);
  previewFrameSize(1920, 1080, width, height);
  EXPECT_EQ(width, 801);
  EXPECT_EQ(height, 601);
  previewFrameSize(-4, 0, width, height);
  EXPECT_EQ(width, 0);
}

TEST(Preview, PaintHasAWhiteBorderAroundTheFrame) {
  auto fractals = std::make_unique<Fractals>();
  fractals->settings.Algorithm = 33;  // grey, never white at its centre
  fractals->EngineBrightness = 100;
  fractals->FrameWidth = 3;
  fractals->FrameHeight = 3;
  FrameImage image;
  paintPreviewFrame(*fractals, image);
  ASSERT_EQ(image.width(), 3);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const std::uint8_t* pixel = image.row(r) + c * 3;
      const bool white = pixel[0] == 0xFF && pixel[1] == 0xFF && pixel[2] == 0xFF;
      EXPECT_EQ(white, !(r == 1 && c == 1)) << r << "," << c;
    }

  fractals->FrameWidth = 2;
  const long double phase = fractals->state.PhaseA;
  fractals->state.StepA = 0.05L;
  fractals->settings.Speed = 5;
  paintPreviewFrame(*fractals, image);
  EXPECT_NE(fractals->state.PhaseA, phase);
  for (std::size_t i = 0; i < image.sizeInBytes(); ++i) ASSERT_EQ(image.data()[i], 0xFF);

  fractals->FrameWidth = 0;
  paintPreviewFrame(*fractals, image);
  EXPECT_EQ(image.sizeInBytes(), 0u);
}

// Records when each repaint was asked for, and quits after kRepaints.
class RecordedRepaints : public PreviewRepaintTarget {
 public:
  static constexpr std::size_t kRepaints = 50;
  explicit RecordedRepaints(TimingService& timing) : timing_(timing) {}
  void invalidate() override { times.push_back(timing_.now()); }
  bool quitRequested() override { return times.size() >= kRepaints; }
  std::vector<TimingService::Clock::time_point> times;

 private:
  TimingService& timing_;
};

TEST(Preview, RepaintsKeepTheGridWithoutFineTiming) {
  testing::FakeTimingService timing;
  RecordedRepaints repaints(timing);
  runPreviewRepaints(timing, repaints);
  ASSERT_EQ(repaints.times.size(), RecordedRepaints::kRepaints);
  for (std::size_t k = 0; k < repaints.times.size(); ++k) {
    // Waits that end on the timer's beat make single repaints late, never
    // all of them: 40 ms waits one after the other would drift 6.875 ms a time.
    const auto late =
        repaints.times[k] - repaints.times[0] - static_cast<int>(k) * kPreviewRepaintInterval;
    EXPECT_GE(late.count(), 0) << k;
    EXPECT_LT(late, testing::FakeTimingService::kBeat) << k;
  }
  EXPECT_EQ(timing.begins, 0) << "fine timing is never asked for";
}

}  // namespace
}  // namespace glimmerweave
