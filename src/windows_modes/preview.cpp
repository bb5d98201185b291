#include "windows_modes/preview.h"

#include <algorithm>

#include "presentation/tick_schedule.h"

namespace glimmerweave {

namespace {

int digitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return 99;
}

}  // namespace

std::int32_t ParamToHandle(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return 0;
  // Decimal numbers must fit the signed range; hexadecimal ones may use all
  // 32 bits and wrap, as handles written in hexadecimal do.
  const std::uint64_t limit =
      base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = digitValue(text[i]);
    if (digit >= base) return 0;
    value = value * std::uint64_t(base) + std::uint64_t(digit);
    if (value > limit) return 0;
  }
  const auto bits =
      static_cast<std::uint32_t>(negative ? 0u - std::uint32_t(value) : std::uint32_t(value));
  return static_cast<std::int32_t>(bits);
}

void setUpPreviewEngine(Fractals& fractals) {
  fractals.random.seedFromClock();
  fractals.settings.Algorithm = static_cast<std::int32_t>(fractals.random.Random(15));
  fractals.settings.Speed = 5;
  fractals.EngineBrightness = 100;
  StartAnimation(fractals);
}

void previewFrameSize(int windowWidth, int windowHeight, std::int32_t& width,
                      std::int32_t& height) {
  width = std::clamp(windowWidth, 0, ColorPlanes::kColumns);
  height = std::clamp(windowHeight, 0, ColorPlanes::kRows);
}

void paintPreviewFrame(Fractals& fractals, FrameImage& image) {
  // An arithmetic error leaves a partial frame, which is painted as it is.
  ComputeFrame(fractals);
  image = FrameImage();
  image.setSize(boundedFrameWidth(fractals.FrameWidth), boundedFrameHeight(fractals.FrameHeight));
  CopyPlanesToImage(fractals.planes, image, 1);
}

void runPreviewRepaints(TimingService& timing, PreviewRepaintTarget& target) {
  TickSchedule schedule(kPreviewRepaintInterval);
  schedule.start(timing.now());
  do {
    if (const auto now = timing.now(); schedule.isDue(now)) {
      schedule.tickStarted(now);
      target.invalidate();
    }
    timing.sleepFor(schedule.untilDue(timing.now()));
  } while (!target.quitRequested());
}

}  // namespace glimmerweave
