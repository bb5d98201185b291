// The math backends this build has, for typed tests: the x87 one on x86 and
// the portable one everywhere.
#pragma once

#include <gtest/gtest.h>

#include "engine/extended_math.h"

namespace glimmerweave::testing {

#if GLIMMERWEAVE_HAS_X87
using MathBackends = ::testing::Types<X87Math, PortableMath>;
#else
using MathBackends = ::testing::Types<PortableMath>;
#endif

}  // namespace glimmerweave::testing
