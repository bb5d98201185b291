#include "option_numbers/number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace glimmerweave {

bool parseWholeNumber(const std::string& text, long long low, long long high, long long& value) {
  if (text.empty() || text.size() > 20) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  // strtoll skips leading white space of any kind; a number starts with a sign or a digit.
  const bool startsAsANumber =
      text[0] == '-' || text[0] == '+' || (text[0] >= '0' && text[0] <= '9');
  if (!startsAsANumber || errno != 0 || end != text.c_str() + text.size()) return false;
  if (parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool parseDecimalNumber(const std::string& text, long double& value) {
  if (text.empty()) return false;
  for (const char ch : text)
    if (!((ch >= '0' && ch <= '9') || ch == '.' || ch == '-' || ch == '+' || ch == 'e' ||
          ch == 'E'))
      return false;
  errno = 0;
  char* end = nullptr;
  const long double parsed = std::strtold(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(parsed)) return false;
  if (errno == ERANGE && parsed != 0) return false;
  value = parsed;
  return true;
}

}  // namespace glimmerweave
