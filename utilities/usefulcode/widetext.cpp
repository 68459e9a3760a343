#include "utilities/usefulcode/widetext.h"

#include "platform/kernel/text.h"

#include <cstdint>
#include <string_view>

namespace {

constexpr std::u16string_view kWordSeparators = u" .-(;,/";

// CharUpperW and CharLowerW take a single character in the low 16 bits of the pointer.
WCHAR UpperChar(WCHAR c) {
    const auto result = CharUpperW(reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(c)));
    return static_cast<WCHAR>(reinterpret_cast<std::uintptr_t>(result));
}

WCHAR LowerChar(WCHAR c) {
    const auto result = CharLowerW(reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(c)));
    return static_cast<WCHAR>(reinterpret_cast<std::uintptr_t>(result));
}

bool StartsWord(WCHAR previous) {
    return kWordSeparators.find(previous) != std::u16string_view::npos;
}

} // namespace

void TitleCaseName(WCHAR* text, const WCHAR* end) {
    if (text == nullptr) {
        return;
    }
    std::size_t length = 0;
    for (WCHAR* c = text; c != end && *c != 0; ++c, ++length) {
        *c = (c == text || StartsWord(c[-1])) ? UpperChar(*c) : LowerChar(*c);
    }
    // The length is checked first: a shorter text must not be read beyond its end.
    if (length >= 4 && text[0] == u'A' && text[2] == u' ' &&
        (text[1] == u'd' || text[1] == u'k' || text[1] == u's')) {
        text[1] = UpperChar(text[1]);
    }
}

std::u16string TitleCaseCopy(const WCHAR* text, const WCHAR* end) {
    if (text == nullptr) {
        return {};
    }
    std::u16string copy;
    for (const WCHAR* c = text; c != end && *c != 0; ++c) {
        copy.push_back(*c);
    }
    TitleCaseName(copy.data());
    return copy;
}

std::u16string AnsiToWide(const char* text) {
    if (text == nullptr) {
        return {};
    }
    // The count includes the terminating zero, which the string keeps implicitly.
    const int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (needed <= 1) {
        return {};
    }
    std::u16string wide(static_cast<std::size_t>(needed), u'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), needed);
    wide.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
    return wide;
}
