#include "platform/wayland/wayland_buffers.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>

namespace glimmerweave::wayland {

namespace {

void release(void* data, wl_buffer* /*buffer*/) {
  static_cast<ShmBuffer*>(data)->busy = false;
}

const wl_buffer_listener kBufferListener = {release};

void destroy(ShmBuffer& buffer) {
  if (buffer.buffer) wl_buffer_destroy(buffer.buffer);
  if (buffer.data) munmap(buffer.data, buffer.size);
  buffer.buffer = nullptr;
  buffer.data = nullptr;
}

// Makes a width x height XRGB8888 buffer; false with `error` set on failure.
bool make(wl_shm* shm, int width, int height, ShmBuffer& buffer, std::string& error) {
  buffer.width = width;
  buffer.height = height;
  buffer.stride = static_cast<std::size_t>(width) * 4;
  buffer.size = buffer.stride * static_cast<std::size_t>(height);
  const int fd = memfd_create("glimmerweave-frame", MFD_CLOEXEC);
  if (fd < 0) {
    error = std::string("memfd_create: ") + std::strerror(errno);
    return false;
  }
  if (ftruncate(fd, static_cast<off_t>(buffer.size)) != 0) {
    error = std::string("cannot size a frame buffer: ") + std::strerror(errno);
    close(fd);
    return false;
  }
  void* data = mmap(nullptr, buffer.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (data == MAP_FAILED) {
    error = std::string("cannot map a frame buffer: ") + std::strerror(errno);
    close(fd);
    return false;
  }
  buffer.data = static_cast<std::uint8_t*>(data);
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(buffer.size));
  buffer.buffer = wl_shm_pool_create_buffer(
      pool, 0, width, height, static_cast<std::int32_t>(buffer.stride), WL_SHM_FORMAT_XRGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  wl_buffer_add_listener(buffer.buffer, &kBufferListener, &buffer);
  return true;
}

}  // namespace

ShmBuffers::~ShmBuffers() {
  for (auto& buffer : buffers_) destroy(*buffer);
}

ShmBuffer* ShmBuffers::free(int width, int height, std::string& error) {
  // Released buffers of another size are of no more use.
  for (auto it = buffers_.begin(); it != buffers_.end();) {
    if (!(*it)->busy && ((*it)->width != width || (*it)->height != height)) {
      destroy(**it);
      it = buffers_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& buffer : buffers_)
    if (!buffer->busy && buffer->width == width && buffer->height == height) return buffer.get();
  if (buffers_.size() >= kMostBuffers) return nullptr;
  auto buffer = std::make_unique<ShmBuffer>();
  if (!make(shm_, width, height, *buffer, error)) {
    destroy(*buffer);
    return nullptr;
  }
  buffers_.push_back(std::move(buffer));
  return buffers_.back().get();
}

}  // namespace glimmerweave::wayland
