#include "render.h"

#include <memory>

#include "engine/engine.h"
#include "engine/frame_pool.h"
#include "glimmerweave/version.h"
#include "png_writer.h"
#include "ppm_writer.h"
#include "progress.h"

namespace glimmerweave {

namespace {

RgbImage frameImage(const Fractals& fractals) {
  RgbImage image;
  image.width = boundedFrameWidth(fractals.FrameWidth);
  image.height = boundedFrameHeight(fractals.FrameHeight);
  image.pixels.reserve(std::size_t(image.width) * std::size_t(image.height) * 3);
  for (int r = 0; r < image.height; ++r)
    for (int c = 0; c < image.width; ++c) {
      const auto cell = ColorPlanes::index(r, c);
      for (const auto* plane : {fractals.planes.red, fractals.planes.green, fractals.planes.blue})
        image.pixels.push_back(static_cast<std::uint8_t>(plane[cell] & 0xFF));
    }
  return image;
}

// Writes the frame in the format its file name asks for; `error` says "cannot write ...".
bool writeImage(const std::string& path, const RgbImage& image, std::string& error) {
  switch (imageFormatOf(path)) {
    case ImageFormat::Ppm:
      return writePpm(path, image, error);
    case ImageFormat::Png:
      break;
  }
  return writePng(path, image, error);
}

// Runs one tick; reports an arithmetic error and returns false on one.
bool tick(Fractals& fractals, int frame, long long tickNumber, std::ostream& log,
          ProgressReport& progress) {
  const FrameOutcome outcome = ComputeFrame(fractals);
  progress.advance();
  if (outcome.ok()) return true;
  progress.breakLine();
  log << "glimmerweave-render: frame " << frame << ", tick " << tickNumber << ": "
      << outcome.message() << " at column " << outcome.column << ", row " << outcome.row
      << "; the rest of the frame keeps its previous contents\n";
  return false;
}

}  // namespace

int render(const RenderOptions& options, std::ostream& log,
           const ProgressOptions& progressOptions) {
  // The engine holds three 801 x 601 planes: too large for the stack.
  auto fractals = std::make_unique<Fractals>();
  FramePool pool;
  fractals->pool = &pool;
  if (options.seed)
    fractals->random.seed(*options.seed);
  else
    fractals->random.seedFromClock();
  fractals->settings.Algorithm = options.algorithm;
  fractals->settings.Speed = options.speed;
  fractals->EngineBrightness = options.brightness;
  fractals->FrameWidth = options.width;
  fractals->FrameHeight = options.height;

  StartAnimation(*fractals);
  EngineState& state = fractals->state;
  if (options.phaseA) state.PhaseA = *options.phaseA;
  if (options.phaseB) state.PhaseB = *options.phaseB;
  if (options.stepA) state.StepA = *options.stepA;
  if (options.stepB) state.StepB = *options.stepB;
  if (options.z0) state.IterZ[0] = static_cast<double>(*options.z0);

  const bool empty = options.width == 0 || options.height == 0;
  bool clean = true;
  long long ticks = 0;
  // The ticks are the work: a frame's file takes a fraction of a tick's time.
  ProgressReport progress(log, "glimmerweave-render: ", "ticks",
                          static_cast<long long>(options.ticks) + options.frames - 1,
                          progressOptions);
  for (int frame = 0; frame < options.frames; ++frame) {
    const long long ticksBefore = frame == 0 ? options.ticks : 1;
    for (long long t = 0; t < ticksBefore; ++t)
      clean = tick(*fractals, frame, ++ticks, log, progress) && clean;

    if (!empty) {
      const std::string path =
          options.frames > 1 ? numberedFileName(options.output, frame) : options.output;
      std::string error;
      if (!writeImage(path, frameImage(*fractals), error)) {
        progress.breakLine();
        log << "glimmerweave-render: " << error << '\n';
        return kRenderBadUsage;
      }
    }
  }
  progress.finish();
  if (empty)
    log << "glimmerweave-render: the frame is " << options.width << " x " << options.height
        << " pixels, so no image was written\n";
  return clean ? kRenderOk : kRenderArithmeticError;
}

int renderMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& log,
               const ProgressOptions& progress) {
  const RenderCommand command = parseRenderCommand(arguments);
  switch (command.kind) {
    case RenderCommand::Kind::Help:
      out << renderUsage();
      return kRenderOk;
    case RenderCommand::Kind::Version:
      out << "glimmerweave-render " << kVersion << '\n';
      return kRenderOk;
    case RenderCommand::Kind::Error:
      log << "glimmerweave-render: " << command.error << '\n';
      return kRenderBadUsage;
    case RenderCommand::Kind::Render:
      break;
  }
  return render(command.options, log, progress);
}

}  // namespace glimmerweave
