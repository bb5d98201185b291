// glimmerweave-render's work: a fresh engine, the requested ticks, PNG or PPM files.
#pragma once

#include <ostream>

#include "progress.h"
#include "render_options.h"

namespace glimmerweave {

// Exit statuses of the renderer.
inline constexpr int kRenderOk = 0;
inline constexpr int kRenderBadUsage = 2;
inline constexpr int kRenderArithmeticError = 3;

// Renders as the options say, reporting progress (as `progressOptions` say; see
// progress.h) and problems on `log`; returns the exit status. A file that cannot be written is
// reported as "glimmerweave-render: cannot write 'NAME': REASON" and ends the run; what
// NAME named before is left as it was (safe_file.h).
int render(const RenderOptions& options, std::ostream& log,
           const ProgressOptions& progressOptions = {});

// Parses the arguments after the program name and renders; returns the exit status.
int renderMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& log,
               const ProgressOptions& progress = {});

}  // namespace glimmerweave
