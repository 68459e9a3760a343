#include "utilities/usefulcode/screendesc.h"

#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/text.h"

#include <vector>

namespace {

constexpr INT kKindOfEmptyValue = 9;

std::u16string Value(LPCWSTR section, LPCWSTR key) {
    return IniProfile::GetString(section, key, AppPaths::GetScreenDescFilePath().c_str(), u"");
}

// The comma-separated fields of a value, at most maxFields (the last one keeps any commas).
std::vector<std::u16string> Fields(const std::u16string& value, std::size_t maxFields) {
    std::vector<std::u16string> fields;
    std::size_t start = 0;
    while (fields.size() + 1 < maxFields) {
        const std::size_t comma = value.find(u',', start);
        if (comma == std::u16string::npos) {
            break;
        }
        fields.push_back(value.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(value.substr(start));
    return fields;
}

INT FieldValue(const std::vector<std::u16string>& fields, std::size_t index) {
    return index < fields.size() ? static_cast<INT>(_wtol(fields[index].c_str())) : 0;
}

// Single bits 1..128 of the low byte give kinds 1..8; anything else 0.
INT KindOf(INT fifth) {
    const unsigned lowByte = static_cast<unsigned>(fifth) & 0xFFu;
    for (INT kind = 1; kind <= 8; ++kind) {
        if (lowByte == (1u << (kind - 1))) {
            return kind;
        }
    }
    return 0;
}

ScreenDescRect ParseRect(const std::u16string& value) {
    const auto fields = Fields(value, 4);
    return ScreenDescRect{FieldValue(fields, 0), FieldValue(fields, 1), FieldValue(fields, 2),
                          FieldValue(fields, 3)};
}

} // namespace

ScreenDescSize ScreenDesc::ParseSize(const std::u16string& value) {
    const auto fields = Fields(value, 2);
    return ScreenDescSize{FieldValue(fields, 0), FieldValue(fields, 1)};
}

ScreenDescItem ScreenDesc::ParseRectAndFlag(const std::u16string& value) {
    if (value.empty()) {
        return ScreenDescItem{ScreenDescRect{}, kKindOfEmptyValue};
    }
    const auto fields = Fields(value, 5);
    ScreenDescItem item;
    item.rect = ScreenDescRect{FieldValue(fields, 0), FieldValue(fields, 1), FieldValue(fields, 2),
                               FieldValue(fields, 3)};
    item.kind = fields.size() == 5 ? KindOf(FieldValue(fields, 4)) : 0;
    return item;
}

ScreenDescSize ScreenDesc::GetSize(LPCWSTR section, LPCWSTR key) {
    return ParseSize(Value(section, key));
}

ScreenDescRect ScreenDesc::GetRect(LPCWSTR section, LPCWSTR key) {
    return ParseRect(Value(section, key));
}

ScreenDescItem ScreenDesc::GetRectAndFlag(LPCWSTR section, LPCWSTR key) {
    return ParseRectAndFlag(Value(section, key));
}

std::u16string ScreenDesc::GetBitmapName(LPCWSTR section) {
    return Value(section, u"Bitmap");
}

std::u16string ScreenDesc::GetHelpFile(LPCWSTR section) {
    return IniProfile::GetString(section, u"Htp", AppPaths::GetScreenDescFilePath().c_str(),
                                 u"ZU_Deridivira.htc");
}
