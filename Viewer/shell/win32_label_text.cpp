// GDI text into a DIB section, copied out as the shared label bitmap.
#include "win32_label_text.h"

#include <cstring>
#include <string>
#include <string_view>

#include "win32_system.h"

namespace orvalis::viewer::win32 {
namespace {

constexpr wchar_t kFaceName[] = L"Segoe UI";

std::wstring widen(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

// A memory DC compatible with the screen's, with the style's font
// selected; everything is put back and released when it goes.
class TextContext {
public:
    explicit TextContext(const LabelStyle& style) {
        screen_ = ::GetDC(nullptr);
        if (screen_ == nullptr)
            return;
        memory_ = ::CreateCompatibleDC(screen_);
        if (memory_ == nullptr)
            return;
        font_ = ::CreateFontW(-style.pixelHeight, 0, 0, 0, style.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, VARIABLE_PITCH | FF_SWISS,
                              kFaceName);
        HGDIOBJ font = font_ != nullptr ? static_cast<HGDIOBJ>(font_) : ::GetStockObject(DEFAULT_GUI_FONT);
        if (font != nullptr)
            oldFont_ = ::SelectObject(memory_, font);
    }

    ~TextContext() {
        if (memory_ != nullptr) {
            if (oldFont_ != nullptr)
                ::SelectObject(memory_, oldFont_);
            if (oldBitmap_ != nullptr)
                ::SelectObject(memory_, oldBitmap_);
            ::DeleteDC(memory_);
        }
        if (font_ != nullptr)
            ::DeleteObject(font_);
        if (dib_ != nullptr)
            ::DeleteObject(dib_);
        if (screen_ != nullptr)
            ::ReleaseDC(nullptr, screen_);
    }

    TextContext(const TextContext&) = delete;
    TextContext& operator=(const TextContext&) = delete;

    HDC dc() const noexcept { return memory_; }

    // Selects a cleared width x height top-down 32-bit DIB section; its
    // bits, or null.
    void* selectBitmap(int width, int height) {
        if (memory_ == nullptr)
            return nullptr;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dib_ = ::CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dib_ == nullptr || bits == nullptr)
            return nullptr;
        oldBitmap_ = ::SelectObject(memory_, dib_);
        std::memset(bits, 0, static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        return bits;
    }

private:
    HDC screen_ = nullptr;
    HDC memory_ = nullptr;
    HFONT font_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

class GdiLabelRasterizer final : public LabelRasterizer {
public:
    bool draw(std::string_view text, const LabelStyle& style, LabelBitmap& bitmap) override {
        const std::size_t bytes = static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height) * 4;
        if (bitmap.width < 1 || bitmap.height < 1 || bitmap.bgra.size() != bytes || style.pixelHeight < 1)
            return false;
        TextContext context(style);
        void* bits = context.selectBitmap(bitmap.width, bitmap.height);
        if (bits == nullptr)
            return false;
        ::SetBkMode(context.dc(), TRANSPARENT);
        ::SetTextColor(context.dc(), RGB(style.red, style.green, style.blue));
        const std::wstring wide = widen(text);
        RECT rect{0, 0, bitmap.width, bitmap.height};
        UINT format = DT_SINGLELINE | DT_VCENTER;
        if (style.centreHorizontally)
            format |= DT_CENTER;
        if (::DrawTextW(context.dc(), wide.c_str(), -1, &rect, format) == 0)
            return false;
        ::GdiFlush();
        std::memcpy(bitmap.bgra.data(), bits, bytes);
        return true;
    }

    void measure(std::string_view text, const LabelStyle& style, int& width, int& height) override {
        width = 0;
        height = 0;
        if (style.pixelHeight < 1)
            return;
        TextContext context(style);
        if (context.dc() == nullptr)
            return;
        const std::wstring wide = widen(text);
        SIZE size{};
        if (::GetTextExtentPoint32W(context.dc(), wide.c_str(), static_cast<int>(wide.size()), &size)) {
            width = size.cx;
            height = size.cy;
        }
    }
};

}  // namespace

std::unique_ptr<LabelRasterizer> makeGdiLabelRasterizer() { return std::make_unique<GdiLabelRasterizer>(); }

}  // namespace orvalis::viewer::win32
