#include "advisor/encodeproperties.h"

#include "platform/files/stdio.h"
#include "platform/kernel/text.h"

#include <array>

namespace {

constexpr int kLineBufferCharacters = 512;

} // namespace

bool EncodeProperties::Load(const std::u16string& path) {
    if (m_isLoaded) {
        return true;
    }
    NavFile* stream = _wfopen(path.c_str(), u"r");
    if (stream == nullptr) {
        return false;
    }
    std::array<WCHAR, kLineBufferCharacters> buffer{};
    while (fgetws(buffer.data(), kLineBufferCharacters, stream) != nullptr) {
        std::u16string line(buffer.data());
        const std::size_t lineEnd = line.find(u'\n');
        if (lineEnd != std::u16string::npos) {
            line.erase(lineEnd);
        }
        const std::size_t equals = line.find(u'=');
        if (line.empty() || line.find(u'#') != std::u16string::npos ||
            equals == std::u16string::npos) {
            continue;
        }
        m_codes.emplace(line.substr(0, equals), _wtol(line.c_str() + equals + 1));
    }
    fclose(stream);
    m_isLoaded = true;
    return true;
}
