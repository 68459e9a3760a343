#pragma once
// Character weights of the text columns: six tables of 256 weights indexed by a code page 1252
// byte. Text compares by weight, never through locale calls. The tables are constants
// (initialised at compile time) and safe to read from any thread.

#include "tablefiles/columntype.h"

#include "platform/types.h"

#include <array>
#include <cstdint>

using CollationTable = std::array<std::uint32_t, 256>;

// Every table starts from weight 32 x code.
extern const CollationTable CodeOrder;
// Letters compare without case (a-z and the Latin-1 letters 224-252, except 247).
extern const CollationTable CaseFoldOrder;
// Ä Ö Ü ä ö ü right after A O U a o u, ß right after s; case significant.
extern const CollationTable GermanOrder;
// GermanOrder without case; ß keeps its weight after every letter.
extern const CollationTable GermanCaseFoldOrder;
// Every accented Latin-1 letter right after its base letter; case significant.
extern const CollationTable LatinOrder;
// LatinOrder without case.
extern const CollationTable LatinCaseFoldOrder;

// The table of a table file's collation variant (0 to 3); CodeOrder for any other value.
const CollationTable& CollationTableOf(CollationVariant variant);

// Compares two zero-terminated wide texts by LatinCaseFoldOrder: the first difference of weights
// (negative: a first), else negative when only a ended, positive when only b ended, 0 when both
// did. A character of code page 1252 weighs as its byte; any other weighs 32 x its code, after
// every byte. Null counts as empty.
int CompareByCollation(const WCHAR* a, const WCHAR* b);
