#pragma once
// Skin pictures: what a button draws with (`SkinFace`), and `SkinBitmap`, a bitmap or metafile
// of the skin folder or a bitmap of the language library. Pictures load at their first draw.
// User-interface thread only.

#include "platform/gdi/gdi.h"

#include <memory>
#include <string>

class EmfPlayer;
class TransparentBitmap;

class SkinFace {
public:
    virtual ~SkinFace() = default;
    // Draws the face into rect; false when nothing could be drawn.
    virtual bool Draw(HDC dc, const RECT& rect, DWORD rop, bool isTransparent) = 0;
    // state: 0 normal, 1 on or pressed, 2 focused, 3 disabled. Faces without text draw
    // themselves.
    virtual bool DrawWithText(HDC dc, const RECT& rect, const std::u16string& text, int state);
    // (0, 0) when the face has no size of its own.
    [[nodiscard]] virtual SIZE GetSize() = 0;
    // false when nothing changed.
    virtual bool SetFile(const std::u16string& name);
};

// The language library's folder followed by "Bitmaps\", worked out on the first call.
[[nodiscard]] const std::u16string& GetSkinFolder();

// True when the text after the last '.' (the whole name without one) is "bmp" or "2bp" in any
// case; every other file is a metafile.
[[nodiscard]] bool IsSkinBitmapFileName(const std::u16string& name);

class SkinBitmap : public SkinFace {
public:
    // A file of the skin folder.
    explicit SkinBitmap(const std::u16string& fileName);
    // Bitmap id & 0xFFFF of the language library.
    explicit SkinBitmap(UINT resourceId);
    ~SkinBitmap() override;
    SkinBitmap(const SkinBitmap&) = delete;
    SkinBitmap& operator=(const SkinBitmap&) = delete;

    // Stretches the picture into rect. Transparent drawing keys out the colour of the bitmap's
    // top-left pixel; metafiles ignore rop and the flag.
    bool Draw(HDC dc, const RECT& rect, DWORD rop, bool isTransparent) override;
    // The bitmap's size (loading it); (0, 0) for a metafile or a missing bitmap.
    [[nodiscard]] SIZE GetSize() override;
    bool SetFile(const std::u16string& name) override;

    [[nodiscard]] bool IsBitmap() const { return isBitmap_; }

private:
    struct Loader;
    Loader* GetLoader();

    bool isBitmap_ = true;
    std::u16string fileName_;
    std::unique_ptr<EmfPlayer> player_;
    std::unique_ptr<Loader> loader_;
};

// Null when memory runs out.
[[nodiscard]] std::unique_ptr<SkinBitmap> CreateSkinBitmap(const std::u16string& fileName);
