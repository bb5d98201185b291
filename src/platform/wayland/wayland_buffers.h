// The pixel buffers of one surface: wl_shm buffers in anonymous memory (memfd),
// XRGB8888, reused only after the compositor has released them. Nothing of them
// outlives the process: the memory has no name, and its descriptor is closed as
// soon as the compositor has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_buffer;
struct wl_shm;

namespace glimmerweave::wayland {

struct ShmBuffer {
  wl_buffer* buffer = nullptr;
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  bool busy = false;  // attached and committed, not yet released by the compositor
};

class ShmBuffers {
 public:
  // At most this many per surface: two to draw into in turn, and one more while
  // the compositor holds on to both.
  static constexpr std::size_t kMostBuffers = 3;

  explicit ShmBuffers(wl_shm* shm) : shm_(shm) {}
  ~ShmBuffers();
  ShmBuffers(const ShmBuffers&) = delete;
  ShmBuffers& operator=(const ShmBuffers&) = delete;

  // A buffer of width x height that the compositor does not hold, made when
  // needed; buffers of another size are dropped once released. Null when all are
  // busy, or with `error` set when no memory could be had.
  ShmBuffer* free(int width, int height, std::string& error);

 private:
  wl_shm* shm_;
  std::vector<std::unique_ptr<ShmBuffer>> buffers_;
};

}  // namespace glimmerweave::wayland
