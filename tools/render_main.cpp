// glimmerweave-render: renders frames of the animation to PNG or PPM files, for
// galleries, wallpapers and for checking the engine on any machine.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "render.h"

int main(int argc, char** argv) {
  // A program may be started with no arguments at all, not even its name.
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return glimmerweave::renderMain(arguments, std::cout, std::cerr,
                                  {glimmerweave::isTerminal(stderr)});
}
