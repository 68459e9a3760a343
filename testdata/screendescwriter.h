#pragma once
// Writer of screen-description files ("ScreenDesc<Lang>CE.dat"): INI text whose sections name
// pages and dialogs and whose values are comma-separated integers ("Size", rectangles with an
// optional fifth field, the face kind) or names ("Bitmap", "Htp"). Knobs write the faults a
// reader must survive: an empty value, a non-numeric field, entries before any section.

#include <string>
#include <vector>

namespace testdata {

class ScreenDescWriter {
public:
    // Starts a section "[name]"; the entries that follow belong to it.
    ScreenDescWriter& Section(const std::u16string& name);
    // "Size=width,height".
    ScreenDescWriter& Size(int width, int height);
    // "key=left,top,right,bottom".
    ScreenDescWriter& Rect(const std::u16string& key, int left, int top, int right, int bottom);
    // "key=left,top,right,bottom,flag": flag 1 << (kind - 1) names face kind 1..8.
    ScreenDescWriter& Item(const std::u16string& key, int left, int top, int right, int bottom,
                           int flag);
    ScreenDescWriter& Bitmap(const std::u16string& name);
    ScreenDescWriter& Help(const std::u16string& name); // "Htp"
    // Any other key with its value as it stands.
    ScreenDescWriter& Entry(const std::u16string& key, const std::u16string& value);

    // Knobs. "key=" with nothing after it.
    ScreenDescWriter& Empty(const std::u16string& key);
    // "key=left,x<top>,right,bottom": the second field does not start with a digit.
    ScreenDescWriter& NonNumeric(const std::u16string& key, int left, int top, int right,
                                 int bottom);
    // An entry written before the first section header (readers see no section for it).
    ScreenDescWriter& Sectionless(const std::u16string& key, const std::u16string& value);

    // Code page 1252 text with CR LF line ends.
    [[nodiscard]] std::string Build() const;

private:
    std::vector<std::u16string> preamble_;
    std::vector<std::u16string> lines_;
};

} // namespace testdata
