// The frame's PNG files in the Windows build, through the Windows Imaging Component
// (WIC), which comes with Windows, so the renderer carries no PNG library of its own.
// The native build writes with libpng instead (libpng_png_writer.cpp).
//
// The encoder writes into a stream in memory, and writeFileSafely (safe_file.h) puts its
// bytes into a temporary file beside the target and moves that over it, so a failed
// write leaves what the name named as it was. Each call starts COM for the calling
// thread and ends it again, so the renderer needs no set-up of its own; a thread whose
// COM someone else started in the other threading model is used as it is. Errors of the
// encoder name the step that failed and its HRESULT in hex, with the system's own text;
// every error says "cannot write 'PATH': ..." as the native writer's do.
#include "png_writer.h"

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "safe_file.h"
#include "win32_system_text.h"

namespace glimmerweave {

namespace {

using Microsoft::WRL::ComPtr;

// ---------------------------------------------------------------------------
// Errors

// "HRESULT 0x88982F80 (The component cannot be found)"
std::string describe(HRESULT result) {
  const auto code = static_cast<unsigned long>(result);
  char number[16];
  std::snprintf(number, sizeof number, "0x%08lX", code);
  return std::string("HRESULT ") + number + " (" + systemMessage(code) + ")";
}

// True when `result` succeeded; otherwise says in `error` that `step` failed, and how.
bool succeeded(HRESULT result, const char* step, std::string& error) {
  if (SUCCEEDED(result)) return true;
  error = std::string(step) + " failed: " + describe(result);
  return false;
}

// ---------------------------------------------------------------------------
// COM

// COM on the calling thread for the lifetime of the object. It must outlive every COM
// object the call makes, so it is made before them and destroyed after them.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    // S_FALSE (COM was already started in this model) must be balanced as well.
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  // RPC_E_CHANGED_MODE: someone else started the thread's COM in the apartment model.
  // WIC works there too; ending it is theirs to do.
  bool usable(std::string& error) const {
    if (SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE) return true;
    return succeeded(result_, "starting COM (CoInitializeEx)", error);
  }

 private:
  HRESULT result_;
};

// The WIC factory, or none with `error` saying why.
ComPtr<IWICImagingFactory> makeFactory(std::string& error) {
  ComPtr<IWICImagingFactory> factory;
  const HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_PPV_ARGS(factory.GetAddressOf()));
  if (!succeeded(result, "creating the WIC imaging factory", error)) factory.Reset();
  return factory;
}

// ---------------------------------------------------------------------------
// Writing

// Encodes the image as a PNG file's bytes in `bytes`. Every COM object is released on
// return.
bool encodePng(const RgbImage& image, std::string& bytes, std::string& error) {
  const ComPtr<IWICImagingFactory> factory = makeFactory(error);
  if (!factory) return false;

  ComPtr<IStream> stream;
  if (!succeeded(CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()),
                 "creating a stream in memory", error))
    return false;

  ComPtr<IWICBitmapEncoder> encoder;
  if (!succeeded(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.GetAddressOf()),
                 "creating the PNG encoder", error) ||
      !succeeded(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache),
                 "starting the PNG encoder", error))
    return false;

  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> frameOptions;
  if (!succeeded(encoder->CreateNewFrame(frame.GetAddressOf(), frameOptions.GetAddressOf()),
                 "creating the PNG frame", error) ||
      !succeeded(frame->Initialize(frameOptions.Get()), "starting the PNG frame", error) ||
      !succeeded(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)),
                 "setting the frame's size", error))
    return false;

  // The encoder answers with the format nearest to the one asked for; the pixels below
  // are 24-bit BGR and nothing else.
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (!succeeded(frame->SetPixelFormat(&format), "setting the pixel format", error)) return false;
  if (!IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
    error = "the PNG encoder does not take 24-bit BGR pixels";
    return false;
  }

  std::vector<BYTE> bgr(image.pixels.size());
  for (std::size_t i = 0; i < bgr.size(); i += 3) {
    bgr[i] = image.pixels[i + 2];
    bgr[i + 1] = image.pixels[i + 1];
    bgr[i + 2] = image.pixels[i];
  }
  const UINT stride = static_cast<UINT>(image.width) * 3;
  if (!succeeded(frame->WritePixels(static_cast<UINT>(image.height), stride,
                                    static_cast<UINT>(bgr.size()), bgr.data()),
                 "writing the pixels", error) ||
      !succeeded(frame->Commit(), "finishing the PNG frame", error) ||
      !succeeded(encoder->Commit(), "finishing the PNG file", error))
    return false;

  // The stream's own size, not its memory block's, which may be larger.
  STATSTG status{};
  HGLOBAL memory = nullptr;
  if (!succeeded(stream->Stat(&status, STATFLAG_NONAME), "measuring the PNG file", error) ||
      !succeeded(GetHGlobalFromStream(stream.Get(), &memory), "reading the PNG file", error))
    return false;
  const void* data = GlobalLock(memory);
  if (data == nullptr) {
    error = "reading the PNG file failed: " + systemMessage(GetLastError());
    return false;
  }
  bytes.assign(static_cast<const char*>(data), static_cast<std::size_t>(status.cbSize.QuadPart));
  GlobalUnlock(memory);
  return true;
}

// ---------------------------------------------------------------------------
// Reading

// Decodes the PNG file `path` into 8-bit RGB. Every COM object is released on return.
bool decodePng(const std::wstring& path, RgbImage& image, std::string& error) {
  const ComPtr<IWICImagingFactory> factory = makeFactory(error);
  if (!factory) return false;

  ComPtr<IWICBitmapDecoder> decoder;
  if (!succeeded(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand,
                                                    decoder.GetAddressOf()),
                 "opening the file as an image", error))
    return false;
  GUID container{};
  if (!succeeded(decoder->GetContainerFormat(&container), "reading the image's format", error))
    return false;
  if (!IsEqualGUID(container, GUID_ContainerFormatPng)) {
    error = "the file is an image, but not a PNG one";
    return false;
  }

  ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  if (!succeeded(decoder->GetFrame(0, frame.GetAddressOf()), "reading the PNG frame", error) ||
      !succeeded(frame->GetSize(&width, &height), "reading the frame's size", error))
    return false;
  const std::uint64_t size = std::uint64_t(width) * height * 3;
  if (size > std::numeric_limits<UINT>::max() ||
      width > static_cast<UINT>(std::numeric_limits<int>::max())) {
    error = "the image is too large";
    return false;
  }

  ComPtr<IWICFormatConverter> converter;
  if (!succeeded(factory->CreateFormatConverter(converter.GetAddressOf()),
                 "creating a pixel format converter", error) ||
      !succeeded(
          converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone,
                                nullptr, 0.0, WICBitmapPaletteTypeCustom),
          "converting the pixels to 24-bit BGR", error))
    return false;
  std::vector<BYTE> bgr(static_cast<std::size_t>(size));
  if (!succeeded(converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(size), bgr.data()),
                 "reading the pixels", error))
    return false;

  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.resize(bgr.size());
  for (std::size_t i = 0; i < bgr.size(); i += 3) {
    image.pixels[i] = bgr[i + 2];
    image.pixels[i + 1] = bgr[i + 1];
    image.pixels[i + 2] = bgr[i];
  }
  return true;
}

}  // namespace

bool writePng(const std::string& path, const RgbImage& image, std::string& error) {
  if (const std::string fault = imageShapeFault(image, "PNG"); !fault.empty()) {
    error = cannotWrite(path, fault);
    return false;
  }
  std::string bytes;
  std::string reason;
  {
    const ComScope com;
    if (!com.usable(reason) || !encodePng(image, bytes, reason)) {
      error = cannotWrite(path, reason);
      return false;
    }
  }
  return writeFileSafely(path, bytes, error);
}

bool readPng(const std::string& path, RgbImage& image, std::string& error) {
  std::wstring widePath;
  if (!widenFileName(path, widePath, error)) return false;
  const ComScope com;
  return com.usable(error) && decodePng(widePath, image, error);
}

}  // namespace glimmerweave
