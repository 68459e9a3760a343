#include "basiccomp/retrievalengine/code/searchfold.h"

constinit const std::array<std::uint8_t, 256> NameFoldBytes = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, // 0-15
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, // 16-31
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, // 32-47
    48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 32, 32, 32, 32, 32, 32, // 48-63
    32, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, // 64-79
    80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 32, 32, 32, 32, 32, // 80-95
    32, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, // 96-111
    80, 81, 82, 83, 84, 85, 86, 87, 88, 89, 90, 32, 32, 32, 32, 32, // 112-127
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, // 128-143
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, // 144-159
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, // 160-175
    32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, 32, // 176-191
    65, 65, 65, 65, 65, 65, 65, 67, 69, 69, 69, 69, 73, 73, 73, 73, // 192-207
    32, 78, 79, 79, 79, 79, 79, 32, 79, 85, 85, 85, 85, 89, 32, 83, // 208-223
    65, 65, 65, 65, 65, 65, 65, 67, 69, 69, 69, 69, 73, 73, 73, 73, // 224-239
    32, 78, 79, 79, 79, 79, 79, 32, 79, 85, 85, 85, 85, 89, 32, 89, // 240-255
};

namespace {

char Fold(char character) {
    return static_cast<char>(SearchFoldTable[static_cast<unsigned char>(character)]);
}

} // namespace

char FoldSearchChar(const char*& position) {
    const char folded = Fold(*position);
    if (folded == ' ') {
        while (Fold(*position) == ' ') {
            ++position;
        }
        --position;
        return ' ';
    }
    static constexpr char kDigraphs[][2] = {{'A', 'E'}, {'O', 'E'}, {'U', 'E'}, {'S', 'S'}};
    for (const auto& digraph : kDigraphs) {
        if (folded == digraph[0] && Fold(position[1]) == digraph[1]) {
            ++position;
            return digraph[0];
        }
    }
    return folded;
}

std::string FoldSearchText(const char* text) {
    std::string result;
    if (text == nullptr) {
        return result;
    }
    for (const char* position = text; *position != 0; ++position) {
        result.push_back(FoldSearchChar(position));
    }
    if (result == " ") {
        result.clear();
    }
    return result;
}

char FoldNameChar(char16_t character) {
    return static_cast<char>(NameFoldBytes[character & 0xFF]);
}

bool IsDigraphTail(const char16_t* position) {
    const char tail = FoldNameChar(position[0]);
    const char head = FoldNameChar(position[-1]);
    return (tail == 'E' && (head == 'U' || head == 'O' || head == 'A')) ||
           (tail == 'S' && head == 'S');
}

bool MatchNamePrefix(const char16_t* name, const char16_t* pattern) {
    const char16_t* n = name;
    const char16_t* p = pattern;
    bool started = false;
    while (*p != 0 && *n != 0) {
        bool skipPattern = false;
        bool skipName = false;
        if (started) {
            // A digraph tail on one side is passed over alone: the other side stays put.
            skipPattern = IsDigraphTail(p);
            if (skipPattern) {
                --n;
            } else {
                skipName = IsDigraphTail(n);
                if (skipName) {
                    --p;
                }
            }
        }
        if (!started || (!skipPattern && !skipName)) {
            if (FoldNameChar(*p) != FoldNameChar(*n)) {
                return false;
            }
            started = true;
        }
        ++n;
        ++p;
    }
    return *p == 0;
}
