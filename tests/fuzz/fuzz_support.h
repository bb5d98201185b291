// What the fuzz targets share: reading the fuzzer's bytes as the values a target
// needs, splitting them into command-line arguments, and stopping at the first
// broken promise so that libFuzzer keeps the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerweave::fuzz {

// Prints what failed and where, and aborts: libFuzzer reports a crash and saves the input.
[[noreturn]] inline void checkFailed(const char* condition, const char* file, int line,
                                     const std::string& detail) {
  std::fprintf(stderr, "%s:%d: check failed: %s%s%s\n", file, line, condition,
               detail.empty() ? "" : ": ", detail.c_str());
  std::fflush(stderr);
  std::abort();
}

// FUZZ_CHECK(condition) or FUZZ_CHECK(condition, detail): a promise of the code under test.
#define FUZZ_CHECK(condition, ...)                                                      \
  do {                                                                                  \
    if (!(condition))                                                                   \
      ::glimmerweave::fuzz::checkFailed(#condition, __FILE__, __LINE__,                 \
                                        ::glimmerweave::fuzz::detailText(__VA_ARGS__)); \
  } while (false)

inline std::string detailText() {
  return {};
}
inline std::string detailText(const std::string& detail) {
  return detail;
}

// Reads little-endian values from the front of the fuzzer's bytes. Past the end every
// read gives zeros, so that every input, however short, is a whole one.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }

  std::uint32_t u32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{byte()} << (8 * i);
    return value;
  }

  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

  double f64() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= std::uint64_t{byte()} << (8 * i);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  // An 80-bit extended value from its ten bytes as they lie in memory (mantissa first),
  // any pattern at all: also the unnormals and pseudo-infinities no arithmetic makes.
  long double f80() {
    unsigned char bytes[sizeof(long double)] = {};
    for (std::size_t i = 0; i < 10 && i < sizeof bytes; ++i) bytes[i] = byte();
    long double value = 0;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }

  std::vector<std::uint8_t> bytes(std::size_t count) {
    std::vector<std::uint8_t> result(count);
    for (auto& b : result) b = byte();
    return result;
  }

  // Everything not read yet.
  std::string_view rest() {
    const std::size_t start = position_ < size_ ? position_ : size_;
    position_ = size_;
    return {reinterpret_cast<const char*>(data_) + start, size_ - start};
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Command-line arguments from bytes: each ends at a NUL byte or at the end of the input
// (a NUL as the input's last byte ends the last argument and starts no other), so no
// argument holds a NUL, as none that a program receives does.
inline std::vector<std::string> splitArguments(std::string_view bytes) {
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\0', start);
    if (end == std::string_view::npos) end = bytes.size();
    arguments.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

// Reads the fuzzer's bytes as a tool's arguments with `parse` and checks what every
// reading promises: an error says what is wrong; a run (kind `run`) says nothing
// and its options keep the promises `checkAccepted` checks; help and the version
// come only from an argument that asks for them.
template <class Parse, class Kind, class CheckAccepted>
void checkOptionsReading(std::string_view bytes, Parse parse, Kind run,
                         CheckAccepted checkAccepted) {
  const std::vector<std::string> arguments = splitArguments(bytes);
  const auto command = parse(arguments);
  if (command.kind == Kind::Error) {
    FUZZ_CHECK(!command.error.empty());
  } else if (command.kind == run) {
    FUZZ_CHECK(command.error.empty());
    checkAccepted(command.options);
  } else {
    FUZZ_CHECK(!arguments.empty(), "help or the version without an argument");
  }
}

}  // namespace glimmerweave::fuzz
