#include "platform/png_codec.h"

#include <windows.h>
#include <wincodec.h>

#include "platform/win_text.h"

namespace r7k {
namespace {

// Releases a COM interface at the end of its scope.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T** operator&() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM for this thread while it is in use; the codec calls may come from any thread.
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

bool MakeFactory(IWICImagingFactory** factory) {
  return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(factory)));
}

}  // namespace

PngDecodeResult DecodePng(std::span<const uint8_t> bytes,
                          const std::function<bool(uint32_t width, uint32_t height)>& check_size) {
  PngDecodeResult result;
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IWICStream> stream;
  Com<IWICBitmapDecoder> decoder;
  Com<IWICBitmapFrameDecode> frame;
  HRESULT hr = MakeFactory(&factory) ? S_OK : E_FAIL;
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr))
    hr = stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), DWORD(bytes.size()));
  if (SUCCEEDED(hr))
    hr = factory->CreateDecoderFromStream(stream.get(), &GUID_ContainerFormatPng,
                                          WICDecodeMetadataCacheOnDemand, &decoder);
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
  UINT width = 0, height = 0;
  if (SUCCEEDED(hr)) hr = frame->GetSize(&width, &height);
  if (FAILED(hr)) {
    result.error = "not a PNG file the system can read (" + SystemErrorText(DWORD(hr)) + ")";
    return result;
  }
  if (!check_size(width, height)) {
    result.refused_size = true;
    return result;
  }
  // Transparent pixels are laid over white: decode with alpha into the pixel array itself
  // (BGRA in memory is 0xAARRGGBB), then blend in place.
  Com<IWICBitmapSource> bgra;
  hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), &bgra);
  PngPicture picture{width, height, std::vector<uint32_t>(size_t{width} * height)};
  if (SUCCEEDED(hr))
    hr = bgra->CopyPixels(nullptr, width * 4, UINT(picture.pixels.size() * 4),
                          reinterpret_cast<BYTE*>(picture.pixels.data()));
  if (FAILED(hr)) {
    result.error = SystemErrorText(DWORD(hr));
    return result;
  }
  for (uint32_t& p : picture.pixels) {
    const uint32_t alpha = p >> 24;
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
      out |= (((p >> shift & 0xFF) * alpha + 255 * (255 - alpha) + 127) / 255) << shift;
    p = out;
  }
  result.picture = std::move(picture);
  return result;
}

std::optional<std::vector<uint8_t>> EncodeIndexedPng(
    uint32_t width, uint32_t height, const std::array<std::array<uint8_t, 3>, 256>& palette,
    std::span<const uint8_t> rows_bottom_up, uint32_t stride) {
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || stride < width ||
      rows_bottom_up.size() < size_t{stride} * height)
    return std::nullopt;
  ComScope com;
  Com<IWICImagingFactory> factory;
  Com<IStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  Com<IWICPalette> colours;
  HRESULT hr = MakeFactory(&factory) ? S_OK : E_FAIL;
  if (SUCCEEDED(hr)) hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, nullptr);
  if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
  if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
  WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && format != GUID_WICPixelFormat8bppIndexed) hr = E_FAIL;
  WICColor colors[256];
  for (size_t i = 0; i < 256; ++i)
    colors[i] =
        0xFF000000u | uint32_t{palette[i][0]} << 16 | uint32_t{palette[i][1]} << 8 | palette[i][2];
  if (SUCCEEDED(hr)) hr = factory->CreatePalette(&colours);
  if (SUCCEEDED(hr)) hr = colours->InitializeCustom(colors, 256);
  if (SUCCEEDED(hr)) hr = frame->SetPalette(colours.get());
  // PNG rows go top-down.
  std::vector<uint8_t> top_down(size_t{width} * height);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = rows_bottom_up.data() + size_t{height - 1 - y} * stride;
    std::copy(row, row + width, top_down.begin() + ptrdiff_t(size_t{y} * width));
  }
  if (SUCCEEDED(hr)) hr = frame->WritePixels(height, width, UINT(top_down.size()), top_down.data());
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream.get(), &memory);
  STATSTG stat{};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return std::nullopt;
  const auto* data = static_cast<const uint8_t*>(GlobalLock(memory));
  if (!data) return std::nullopt;
  std::vector<uint8_t> out(data, data + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return out;
}

}  // namespace r7k
