#include "testdata/screendescwriter.h"

#include "platform/kernel/codepage.h"

namespace testdata {

namespace {

std::u16string DecimalText(int value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

std::u16string Fields(std::initializer_list<int> values) {
    std::u16string joined;
    for (int value : values) {
        if (!joined.empty())
            joined += u',';
        joined += DecimalText(value);
    }
    return joined;
}

} // namespace

ScreenDescWriter& ScreenDescWriter::Section(const std::u16string& name) {
    lines_.push_back(u"[" + name + u"]");
    return *this;
}

ScreenDescWriter& ScreenDescWriter::Size(int width, int height) {
    return Entry(u"Size", Fields({width, height}));
}

ScreenDescWriter& ScreenDescWriter::Rect(const std::u16string& key, int left, int top, int right,
                                         int bottom) {
    return Entry(key, Fields({left, top, right, bottom}));
}

ScreenDescWriter& ScreenDescWriter::Item(const std::u16string& key, int left, int top, int right,
                                         int bottom, int flag) {
    return Entry(key, Fields({left, top, right, bottom, flag}));
}

ScreenDescWriter& ScreenDescWriter::Bitmap(const std::u16string& name) {
    return Entry(u"Bitmap", name);
}

ScreenDescWriter& ScreenDescWriter::Help(const std::u16string& name) {
    return Entry(u"Htp", name);
}

ScreenDescWriter& ScreenDescWriter::Entry(const std::u16string& key, const std::u16string& value) {
    lines_.push_back(key + u"=" + value);
    return *this;
}

ScreenDescWriter& ScreenDescWriter::Empty(const std::u16string& key) {
    return Entry(key, u"");
}

ScreenDescWriter& ScreenDescWriter::NonNumeric(const std::u16string& key, int left, int top,
                                               int right, int bottom) {
    return Entry(key,
                 DecimalText(left) + u",x" + DecimalText(top) + u"," + Fields({right, bottom}));
}

ScreenDescWriter& ScreenDescWriter::Sectionless(const std::u16string& key,
                                                const std::u16string& value) {
    preamble_.push_back(key + u"=" + value);
    return *this;
}

std::string ScreenDescWriter::Build() const {
    std::u16string text;
    for (const auto* part : {&preamble_, &lines_}) {
        for (const std::u16string& line : *part)
            text += line + u"\r\n";
    }
    if (text.empty())
        return {};
    const int count = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), count, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        (void)WideCharToMultiByte(CP_ACP, 0, text.c_str(), count, bytes.data(), size, nullptr,
                                  nullptr);
    }
    return bytes;
}

} // namespace testdata
