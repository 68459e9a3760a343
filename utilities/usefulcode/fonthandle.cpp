#include "utilities/usefulcode/fonthandle.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"

#include <algorithm>
#include <climits>

HFONT FontHandle::Create(LPCWSTR faceName, INT height, bool isBold, bool isItalic,
                         bool isAntialiased) {
    Delete();
    LOGFONTW description{};
    description.lfHeight = height;
    description.lfWeight = isBold ? FW_BOLD : 0;
    description.lfItalic = isItalic ? 1 : 0;
    description.lfQuality = isAntialiased ? ANTIALIASED_QUALITY : DEFAULT_QUALITY;
    if (faceName != nullptr) {
        for (int i = 0; i < LF_FACESIZE - 1 && faceName[i] != u'\0'; ++i)
            description.lfFaceName[i] = faceName[i];
    }
    m_font = CreateFontIndirectW(&description);
    return m_font;
}

INT FontHandle::HeightBetween(LONG top, LONG bottom) {
    const long long height = static_cast<long long>(top) - bottom;
    return static_cast<INT>(std::clamp<long long>(height, INT_MIN, INT_MAX));
}

void FontHandle::Delete() {
    if (m_font != nullptr)
        DeleteObject(m_font);
    m_font = nullptr;
}
