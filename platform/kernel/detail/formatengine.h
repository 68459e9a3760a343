#pragma once
// The formatting and scanning engines behind format.h, with their arguments behind interfaces
// so that they can be driven without a va_list (fuzzing, tests).

#include "platform/types.h"

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform::detail {

// A copy of a va_list, ended with its owner; its arguments are taken one by one.
class VaListCopy {
public:
    explicit VaListCopy(va_list args) { va_copy(m_args, args); }
    ~VaListCopy() { va_end(m_args); }
    VaListCopy(const VaListCopy&) = delete;
    VaListCopy& operator=(const VaListCopy&) = delete;

    // The next argument, read as a T (after the default argument promotions).
    template <typename T> T Next() { return va_arg(m_args, T); }

private:
    va_list m_args;
};

// Supplies the arguments of a format, one per call, in order.
class FormatArgs {
public:
    virtual ~FormatArgs() = default;
    // bytes is 4 (int, LONG) or 8 (64-bit and pointer-sized integers).
    virtual std::uint64_t NextInteger(int bytes) = 0;
    virtual double NextDouble() = 0;
    virtual const WCHAR* NextWideString() = 0;
    virtual const char* NextNarrowString() = 0;
    virtual const void* NextPointer() = 0;
};

// Appends the formatted text to out; false when the format is refused (out then holds the text
// up to the refused conversion).
[[nodiscard]] bool FormatTo(std::u16string& out, const WCHAR* format, FormatArgs& args);

// The digits of a finite magnitude >= 0 for conversion type f, F, e, E, g or G (precision -1:
// the default of 6), without sign or padding. Exact halves round away from zero.
[[nodiscard]] std::u16string FloatDigits(double magnitude, WCHAR type, int precision,
                                         bool isAlternate);

// Receives the fields a scan stores, one per call, in order.
class ScanTargets {
public:
    virtual ~ScanTargets() = default;
    // bytes is 1, 2, 4 or 8; the value is cut to that size.
    virtual void StoreInteger(int bytes, std::uint64_t value) = 0;
    virtual void StoreReal(bool isDouble, double value) = 0;
    // Stores a word (isTerminated: followed by a zero) as wide or code page 1252 text. With
    // hasSizes, reads the target's size first; false when the word does not fit.
    virtual bool StoreText(bool isNarrow, std::u16string_view text, bool isTerminated,
                           bool hasSizes) = 0;
};

// The scan; see swscanf.
[[nodiscard]] int ScanFrom(const WCHAR* text, const WCHAR* format, ScanTargets& targets,
                           bool hasSizes);

} // namespace platform::detail
