// Numbers as the programs' options take them: written out in full, with nothing
// before or after them (no white space either), within their range. The program
// for X and the tools read their options with these.
#pragma once

#include <string>

namespace glimmerweave {

// A whole decimal number within low..high: an optional sign, then digits.
bool parseWholeNumber(const std::string& text, long long low, long long high, long long& value);

// A finite decimal number, read into long double with correct rounding.
bool parseDecimalNumber(const std::string& text, long double& value);

}  // namespace glimmerweave
