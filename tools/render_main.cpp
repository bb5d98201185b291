// glimmerweave-render: renders frames of the animation to PNG or PPM files, for
// galleries, wallpapers and for checking the engine on any machine.
#include <iostream>
#include <string>
#include <vector>

#include "render.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return glimmerweave::renderMain(arguments, std::cout, std::cerr);
}
