#pragma once
// Wide text helpers for names: conversion from the system code page and the title case that the
// address data, the map overlay and the receiver's station texts use. Safe from any thread.

#include "platform/types.h"

#include <string>

// Converts in place, up to end (exclusive, when given) or the terminating zero, whichever comes
// first: the first character and every character after one of " .-(;,/" become upper case, all
// others lower case. Then a text of at least 4 characters that starts with 'A', 'd'/'k'/'s' and a
// blank gets its second character in upper case ("AS Nord"). A null text is left alone.
void TitleCaseName(WCHAR* text, const WCHAR* end = nullptr);

// A title-cased copy of the text up to end (exclusive, when given) or its terminating zero. A
// null text gives an empty string.
[[nodiscard]] std::u16string TitleCaseCopy(const WCHAR* text, const WCHAR* end = nullptr);

// The zero-terminated narrow text in the system code page (1252) as wide text. A null text gives
// an empty string.
[[nodiscard]] std::u16string AnsiToWide(const char* text);
