#include "ui/emfplayer.h"
#include "ui/skinface.h"
#include "ui/transparentbitmap.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/gdi/dib.h"
#include "platform/shell/resources.h"

#include <new>

bool SkinFace::DrawWithText(HDC dc, const RECT& rect, const std::u16string&, int) {
    return Draw(dc, rect, SRCCOPY, false);
}

bool SkinFace::SetFile(const std::u16string&) {
    return false;
}

const std::u16string& GetSkinFolder() {
    static const std::u16string folder = AppPaths::GetModuleDirectory() + u"Bitmaps\\";
    return folder;
}

bool IsSkinBitmapFileName(const std::u16string& name) {
    const std::size_t dot = name.rfind(u'.');
    const std::u16string extension = dot == std::u16string::npos ? name : name.substr(dot + 1);
    if (extension.size() != 3)
        return false;
    std::u16string lower = extension;
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower == u"bmp" || lower == u"2bp";
}

// The bitmap of a file or resource, loaded once at its first use.
struct SkinBitmap::Loader {
    std::u16string path; // empty for a resource
    UINT resourceId = 0;
    bool isLoadTried = false;
    HBITMAP bitmap{};
    int width = 0;
    int height = 0;
    std::unique_ptr<TransparentBitmap> transparent;

    ~Loader() {
        transparent.reset();
        if (bitmap != nullptr)
            DeleteObject(bitmap);
    }

    HBITMAP Bitmap() {
        if (!isLoadTried) {
            isLoadTried = true;
            if (path.empty()) {
                const auto name =
                    reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(resourceId & 0xFFFF));
                bitmap = LoadBitmapW(platform::ResourceInstance(), name);
            } else {
                bitmap = SHLoadDIBitmap(path.c_str());
            }
            BITMAP info{};
            if (bitmap != nullptr && GetObjectW(bitmap, sizeof(info), &info) != 0) {
                width = info.bmWidth;
                height = info.bmHeight;
            }
        }
        return bitmap;
    }
};

SkinBitmap::SkinBitmap(const std::u16string& fileName)
    : isBitmap_(IsSkinBitmapFileName(fileName))
    , fileName_(fileName) {}

SkinBitmap::SkinBitmap(UINT resourceId)
    : loader_(std::make_unique<Loader>()) {
    loader_->resourceId = resourceId;
}

SkinBitmap::~SkinBitmap() = default;

SkinBitmap::Loader* SkinBitmap::GetLoader() {
    if (loader_ == nullptr) {
        loader_ = std::make_unique<Loader>();
        loader_->path = GetSkinFolder() + fileName_;
    }
    return loader_.get();
}

bool SkinBitmap::Draw(HDC dc, const RECT& rect, DWORD rop, bool isTransparent) {
    if (!isBitmap_) {
        if (player_ == nullptr) {
            player_ = EmfPlayer::Create();
            if (player_ == nullptr)
                return false;
            (void)player_->Load((GetSkinFolder() + fileName_).c_str());
        }
        return player_->Play(dc, rect);
    }
    Loader* loader = GetLoader();
    HBITMAP bitmap = loader->Bitmap();
    if (bitmap == nullptr)
        return false;
    if (isTransparent) {
        if (loader->transparent == nullptr)
            loader->transparent = std::make_unique<TransparentBitmap>(bitmap, kKeyTopLeftPixel);
        loader->transparent->DrawStretched(dc, rect);
        return !loader->transparent->IsEmpty();
    }
    HDC source = CreateCompatibleDC(dc);
    if (source == nullptr)
        return false;
    HGDIOBJ old = SelectObject(source, bitmap);
    const BOOL isDrawn =
        StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source,
                   0, 0, loader->width, loader->height, rop);
    SelectObject(source, old);
    DeleteDC(source);
    return isDrawn != FALSE;
}

SIZE SkinBitmap::GetSize() {
    if (!isBitmap_)
        return SIZE{0, 0};
    Loader* loader = GetLoader();
    (void)loader->Bitmap();
    return SIZE{loader->width, loader->height};
}

bool SkinBitmap::SetFile(const std::u16string& name) {
    if (name == fileName_)
        return false;
    loader_.reset();
    player_.reset();
    fileName_ = name;
    isBitmap_ = IsSkinBitmapFileName(name);
    return true;
}

std::unique_ptr<SkinBitmap> CreateSkinBitmap(const std::u16string& fileName) {
    return std::unique_ptr<SkinBitmap>(new (std::nothrow) SkinBitmap(fileName));
}
