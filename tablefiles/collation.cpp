#include "tablefiles/collation.h"

#include "platform/kernel/codepage.h"

namespace {

constexpr CollationTable MakeCodeOrder() {
    CollationTable weights{};
    for (std::uint32_t code = 0; code < 256; ++code) {
        weights[code] = 32 * code;
    }
    return weights;
}

constexpr void FoldAsciiLowerCase(CollationTable& weights) {
    for (std::uint32_t code = 'a'; code <= 'z'; ++code) {
        weights[code] = weights[code - 32];
    }
}

// Latin-1 letters 224-252 (except the division sign 247) take the weight of their upper case.
constexpr void FoldLatin1LowerCase(CollationTable& weights) {
    for (std::uint32_t code = 224; code <= 252; ++code) {
        if (code != 247) {
            weights[code] = weights[code - 32];
        }
    }
}

// Gives the codes [first, last] the weights base + 1, base + 2, ...
constexpr void PlaceAfter(CollationTable& weights, std::uint32_t first, std::uint32_t last,
                          std::uint32_t base, std::uint32_t startStep = 1) {
    for (std::uint32_t code = first; code <= last; ++code) {
        weights[code] = weights[base] + startStep + (code - first);
    }
}

constexpr CollationTable MakeCaseFoldOrder() {
    CollationTable weights = MakeCodeOrder();
    FoldAsciiLowerCase(weights);
    FoldLatin1LowerCase(weights);
    return weights;
}

constexpr CollationTable MakeGermanOrder() {
    CollationTable weights = MakeCodeOrder();
    weights[196] = weights['A'] + 1;
    weights[214] = weights['O'] + 1;
    weights[220] = weights['U'] + 1;
    weights[228] = weights['a'] + 1;
    weights[246] = weights['o'] + 1;
    weights[252] = weights['u'] + 1;
    weights[223] = weights['s'] + 1;
    return weights;
}

constexpr CollationTable MakeGermanCaseFoldOrder() {
    CollationTable weights = MakeCodeOrder();
    weights[196] = weights['A'] + 1;
    weights[214] = weights['O'] + 1;
    weights[220] = weights['U'] + 1;
    weights[223] = weights['s'] + 1; // before the lower case is folded: 3681
    FoldAsciiLowerCase(weights);
    FoldLatin1LowerCase(weights);
    return weights;
}

// The accented upper-case letters 192-221 and ß after their base letters.
constexpr void PlaceLatinUpperCase(CollationTable& weights) {
    PlaceAfter(weights, 192, 198, 'A');
    PlaceAfter(weights, 199, 199, 'C');
    PlaceAfter(weights, 200, 203, 'E');
    PlaceAfter(weights, 204, 207, 'I');
    PlaceAfter(weights, 209, 209, 'N');
    PlaceAfter(weights, 210, 214, 'O');
    PlaceAfter(weights, 216, 216, 'O', 6);
    PlaceAfter(weights, 217, 220, 'U');
    PlaceAfter(weights, 221, 221, 'Y');
    PlaceAfter(weights, 223, 223, 'S');
}

constexpr CollationTable MakeLatinOrder() {
    CollationTable weights = MakeCodeOrder();
    PlaceLatinUpperCase(weights);
    PlaceAfter(weights, 224, 230, 'a');
    PlaceAfter(weights, 231, 231, 'c');
    PlaceAfter(weights, 232, 235, 'e');
    PlaceAfter(weights, 236, 239, 'i');
    PlaceAfter(weights, 241, 241, 'n');
    PlaceAfter(weights, 242, 246, 'o');
    PlaceAfter(weights, 248, 248, 'o', 6);
    PlaceAfter(weights, 249, 252, 'u');
    PlaceAfter(weights, 253, 253, 'y');
    PlaceAfter(weights, 255, 255, 'y', 2);
    return weights;
}

constexpr CollationTable MakeLatinCaseFoldOrder() {
    CollationTable weights = MakeCodeOrder();
    FoldAsciiLowerCase(weights);
    PlaceLatinUpperCase(weights);
    for (std::uint32_t code = 224; code <= 253; ++code) {
        if (code != 240 && code != 247) { // eth and the division sign keep their own weights
            weights[code] = weights[code - 32];
        }
    }
    PlaceAfter(weights, 255, 255, 'Y', 2);
    return weights;
}

} // namespace

constinit const CollationTable CodeOrder = MakeCodeOrder();
constinit const CollationTable CaseFoldOrder = MakeCaseFoldOrder();
constinit const CollationTable GermanOrder = MakeGermanOrder();
constinit const CollationTable GermanCaseFoldOrder = MakeGermanCaseFoldOrder();
constinit const CollationTable LatinOrder = MakeLatinOrder();
constinit const CollationTable LatinCaseFoldOrder = MakeLatinCaseFoldOrder();

const CollationTable& CollationTableOf(CollationVariant variant) {
    switch (variant) {
    case CollationVariant::CaseFolded:
        return CaseFoldOrder;
    case CollationVariant::German:
        return GermanOrder;
    case CollationVariant::GermanCaseFolded:
        return GermanCaseFoldOrder;
    case CollationVariant::CodeOrder:
        break;
    }
    return CodeOrder;
}

namespace {

std::int32_t LatinCaseFoldWeight(WCHAR character) {
    unsigned char byte = 0;
    if (platform::WideCharToAnsi(character, byte)) {
        return static_cast<std::int32_t>(LatinCaseFoldOrder[byte]);
    }
    return 32 * static_cast<std::int32_t>(character);
}

} // namespace

int CompareByCollation(const WCHAR* a, const WCHAR* b) {
    const WCHAR* left = a != nullptr ? a : u"";
    const WCHAR* right = b != nullptr ? b : u"";
    for (; *left != 0 && *right != 0; ++left, ++right) {
        const std::int32_t difference = LatinCaseFoldWeight(*left) - LatinCaseFoldWeight(*right);
        if (difference != 0) {
            return difference;
        }
    }
    if (*left == 0 && *right == 0) {
        return 0;
    }
    return *left == 0 ? -1 : 1;
}
