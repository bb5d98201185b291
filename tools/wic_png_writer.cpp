// The frame's PNG files in the Windows build, through the Windows Imaging Component
// (WIC), which comes with Windows, so the renderer carries no PNG library of its own.
// The native build writes with libpng instead (libpng_png_writer.cpp).
//
// Each call starts COM for the calling thread and ends it again, so the renderer needs
// no set-up of its own; a thread whose COM someone else started in the other threading
// model is used as it is. Errors name the step that failed and its HRESULT in hex, with
// the system's own text when it has one; the caller adds the file's name.
#include "png_writer.h"

#include <wincodec.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace glimmerweave {

namespace {

using Microsoft::WRL::ComPtr;

// ---------------------------------------------------------------------------
// Errors

// "HRESULT 0x80070003 (The system cannot find the path specified)"
std::string describe(HRESULT result) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  std::string text = std::string("HRESULT ") + code;

  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<char*>(&message), 0, nullptr);
  if (length > 0 && message != nullptr) {
    std::string system(message, length);
    while (!system.empty() && (system.back() == '\n' || system.back() == '\r' ||
                               system.back() == ' ' || system.back() == '.'))
      system.pop_back();
    if (!system.empty()) text += " (" + system + ")";
  }
  if (message != nullptr) LocalFree(message);
  return text;
}

// True when `result` succeeded; otherwise says in `error` that `step` failed, and how.
bool succeeded(HRESULT result, const char* step, std::string& error) {
  if (SUCCEEDED(result)) return true;
  error = std::string(step) + " failed: " + describe(result);
  return false;
}

// ---------------------------------------------------------------------------
// COM and file names

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

// The file name as Windows takes it: main's arguments arrive in the ANSI code page.
bool widen(const std::string& path, std::wstring& wide, std::string& error) {
  if (path.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    error = "the file name is too long";
    return false;
  }
  const int size = static_cast<int>(path.size());
  const int length =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
  if (length <= 0) {
    error = "the file name is not valid in the ANSI code page";
    return false;
  }
  wide.assign(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), length);
  return true;
}

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

// Encodes the image into the file `path`; `created` tells whether the file was made,
// so that a failure can remove what was begun. Every COM object is released on return.
bool encodePng(const std::wstring& path, const RgbImage& image, bool& created, std::string& error) {
  const ComPtr<IWICImagingFactory> factory = makeFactory(error);
  if (!factory) return false;

  ComPtr<IWICStream> stream;
  if (!succeeded(factory->CreateStream(stream.GetAddressOf()), "creating a WIC stream", error))
    return false;
  if (!succeeded(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE),
                 "creating the file (IWICStream::InitializeFromFilename)", error))
    return false;
  created = true;

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
  return succeeded(frame->WritePixels(static_cast<UINT>(image.height), stride,
                                      static_cast<UINT>(bgr.size()), bgr.data()),
                   "writing the pixels", error) &&
         succeeded(frame->Commit(), "finishing the PNG frame", error) &&
         succeeded(encoder->Commit(), "finishing the PNG file", error);
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
  if (image.width <= 0 || image.height <= 0) {
    error = "a PNG image needs at least one pixel, not " + std::to_string(image.width) + " x " +
            std::to_string(image.height);
    return false;
  }
  if (image.pixels.size() != std::size_t(image.width) * std::size_t(image.height) * 3) {
    error = "the image's pixels do not fill its " + std::to_string(image.width) + " x " +
            std::to_string(image.height) + " frame";
    return false;
  }
  std::wstring widePath;
  if (!widen(path, widePath, error)) return false;

  const ComScope com;
  if (!com.usable(error)) return false;
  bool created = false;
  const bool written = encodePng(widePath, image, created, error);
  // encodePng has released the stream, which held the file open.
  if (!written && created) DeleteFileW(widePath.c_str());
  return written;
}

bool readPng(const std::string& path, RgbImage& image, std::string& error) {
  std::wstring widePath;
  if (!widen(path, widePath, error)) return false;
  const ComScope com;
  return com.usable(error) && decodePng(widePath, image, error);
}

}  // namespace glimmerweave
