// The parts of the tools' file writing that both backends share: the form of the error
// message and the names of the temporary files.
#include "safe_file.h"

namespace glimmerweave {

namespace {

// The longest part of the target's own name that goes into a temporary name: with the
// dot and the suffix it stays well under the 255 characters a name may have.
constexpr std::size_t kKeptNameLength = 200;

// temporaryFileName for narrow and wide names alike.
template <typename Text>
Text temporaryName(const Text& path, unsigned long process, unsigned attempt) {
  using Char = typename Text::value_type;
  const Char separators[] = {Char('/'), Char('\\'), Char(':'), Char(0)};
  const auto slash = path.find_last_of(separators);
  const std::size_t nameStart = slash == Text::npos ? 0 : slash + 1;

  const std::string suffix = ".tmp-" + std::to_string(process) + "-" + std::to_string(attempt);
  Text name = path.substr(0, nameStart);
  name += Char('.');
  name += path.substr(nameStart, kKeptNameLength);
  for (const char ch : suffix) name += Char(ch);
  return name;
}

}  // namespace

std::string cannotWrite(const std::string& path, const std::string& reason) {
  return "cannot write '" + path + "': " + reason;
}

std::string temporaryFileName(const std::string& path, unsigned long process, unsigned attempt) {
  return temporaryName(path, process, attempt);
}

std::wstring temporaryFileName(const std::wstring& path, unsigned long process, unsigned attempt) {
  return temporaryName(path, process, attempt);
}

}  // namespace glimmerweave
