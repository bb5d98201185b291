#include "native_program/native_main.h"

#include "glimmerweave/version.h"

namespace glimmerweave {

namespace {

const char* nameOf(DisplaySystem system) {
  return system == DisplaySystem::Wayland ? "Wayland" : "X";
}

// The option that made `system` the only one to try, or empty.
std::string chooserOf(const HackOptions& options, DisplaySystem system) {
  const bool wayland = system == DisplaySystem::Wayland;
  if (options.system == system) return wayland ? "-wayland" : "-x11";
  return wayland ? options.waylandOption : options.xOption;
}

// Writes what a run that reached its display has to say (its -fps figures, then
// its error) to `err` as "glimmerweave: ..." lines.
void reportOutcome(const FrontEndOutcome& outcome, std::ostream& err) {
  if (!outcome.figures.empty()) err << "glimmerweave: " << outcome.figures << '\n';
  if (!outcome.error.empty()) err << "glimmerweave: " << outcome.error << '\n';
}

}  // namespace

int nativeProgramMain(const std::vector<std::string>& arguments,
                      const DisplayEnvironment& environment, const FrontEnds& frontEnds,
                      std::ostream& out, std::ostream& err) {
  const HackCommand command = parseHackCommand(arguments);
  switch (command.kind) {
    case HackCommand::Kind::Help:
      out << hackUsage();
      return kExitOk;
    case HackCommand::Kind::Version:
      out << "glimmerweave " << kVersion << '\n';
      return kExitOk;
    case HackCommand::Kind::Error:
      err << "glimmerweave: " << command.error << '\n';
      return kExitBadOption;
    case HackCommand::Kind::Run:
      break;
  }

  // Each display system that could not be reached, and why, for the one message
  // that ends the program when none could.
  std::string tried;
  for (const DisplaySystem system : chooseDisplaySystems(command.options, environment)) {
    const FrontEnd& frontEnd = system == DisplaySystem::Wayland ? frontEnds.wayland : frontEnds.x11;
    const FrontEndOutcome outcome = frontEnd(command.options);
    if (outcome.reached) {
      reportOutcome(outcome, err);
      return outcome.status;
    }
    tried += tried.empty() ? "" : "; ";
    tried += nameOf(system);
    // Why the other was not tried, where an option ruled it out.
    const std::string chooser = chooserOf(command.options, system);
    if (!chooser.empty()) tried += ", which " + chooser + " asks for";
    tried += ": " + outcome.error;
  }
  err << "glimmerweave: no display could be reached (" << tried << ")\n";
  return kExitCannotDraw;
}

}  // namespace glimmerweave
