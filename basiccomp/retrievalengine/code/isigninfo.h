#pragma once
// What the engine tells of an element's signs: the entries of its signposts, and the sign
// information of its ADAS record with the text entries it carries. Results belong to the thread
// that asked for them.

#include "six/refcntptr.h"

#include <cstdint>
#include <string>
#include <vector>

// One signpost entry of an element.
struct Signpost {
    std::uint32_t value = 0;
    std::string code; // at most 6 characters
    std::u16string text;

    friend bool operator==(const Signpost&, const Signpost&) = default;
};

struct SignNote {
    std::uint32_t kind = 0; // 1..3; 0 is no note
    bool flag = false;
    std::u16string text; // the sign text, when the note carries it
};

struct SignTextEntry {
    std::uint32_t kind = 0;
    std::uint32_t value = 0;
    std::uint32_t entryClass = 0;
    std::u16string text;
};

class ISignTextIterator {
public:
    virtual ~ISignTextIterator() = default;
    virtual void Next() = 0;
    [[nodiscard]] virtual SignTextEntry GetCurrent() = 0;
    [[nodiscard]] virtual bool IsValid() = 0;
};
using SignTextIteratorPtr = six::RefCntPtr<ISignTextIterator>;

class ISignInfo {
public:
    virtual ~ISignInfo() = default;
    virtual std::uint32_t GetValue1() = 0;
    virtual std::uint32_t GetValue2() = 0;
    virtual std::uint32_t GetValue3() = 0;
    virtual std::uint32_t GetValue4() = 0;
    virtual bool HasSignedValue() = 0;
    // 0 without the signed-value flag.
    virtual std::int32_t GetSignedValue() = 0;
    // Appends the note (when there is one) and returns the list.
    virtual std::vector<SignNote>& GetNotes(std::vector<SignNote>& notes) = 0;
    virtual void GetTextEntries(SignTextIteratorPtr& entries) = 0;
};
using SignInfoPtr = six::RefCntPtr<ISignInfo>;
