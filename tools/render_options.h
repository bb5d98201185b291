// The command line of glimmerweave-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace glimmerweave {

struct RenderOptions {
  std::int32_t algorithm = 15;
  std::int32_t width = 800;
  std::int32_t height = 600;
  std::int32_t brightness = 100;
  std::int32_t speed = 5;
  std::optional<std::uint32_t> seed;  // none: seeded from the clock
  std::optional<long double> phaseA, phaseB, stepA, stepB, z0;
  std::int32_t ticks = 1;
  std::int32_t frames = 1;
  // The file to write, or with frames > 1 the name the numbered files are made from;
  // its extension picks PNG or PPM (see imageFormatOf).
  std::string output;
};

struct RenderCommand {
  enum class Kind { Render, Help, Version, Error } kind = Kind::Render;
  RenderOptions options;
  std::string error;  // for Kind::Error: what was wrong
};

// Reads the arguments after the program name.
RenderCommand parseRenderCommand(const std::vector<std::string>& arguments);

// The --help text.
const char* renderUsage();

// The file name of frame `index` of an animation: a four-digit number before the
// extension ("out.png" -> "out0007.png").
std::string numberedFileName(const std::string& path, int index);

// The kinds of file the renderer writes.
enum class ImageFormat { Png, Ppm };

// The kind of file a name asks for: binary PPM when its extension is .ppm in any case
// (".ppm", ".PPM", ".Ppm"), PNG for any other name. An extension is what follows the last
// dot after the name's first character, as for numberedFileName, so numbered frames
// keep their format and ".ppm" alone is a name without one.
ImageFormat imageFormatOf(const std::string& path);

}  // namespace glimmerweave
