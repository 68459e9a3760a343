#include "testdata/heapuse.h"
#include "testdata/vcardwriter.h"

#include "platform/contacts/vcardreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

// What the reader holds beside its contacts while it reads: the line being read and the card
// being collected.
constexpr std::size_t kReaderWorkingBytes = 64 << 10;
constexpr std::size_t kKeptMemoryBound = 1 << 20;

// Cards whose names, street and locality are texts of this many characters (CJK letters of
// three UTF-8 bytes each, or ASCII letters); none: names of one letter and no address, so that
// the records are all that is kept.
std::vector<testdata::VCardContact> CardsOfText(std::size_t count, std::size_t characters,
                                                bool cjk) {
    const auto text = [&](char letter, std::size_t i) {
        std::string out;
        for (std::size_t k = 0; k < characters; ++k) {
            out += cjk ? std::string("\xE5\xB1") + static_cast<char>(0x80 + (i + k) % 64)
                       : std::string(1, static_cast<char>(letter + (i + k) % 20));
        }
        return out;
    };
    std::vector<testdata::VCardContact> cards;
    for (std::size_t i = 0; i < count; ++i) {
        if (characters == 0) {
            cards.push_back({"A", "B", "", {}});
            continue;
        }
        cards.push_back(
            {text('a', i), text('b', i), "", {{{"home"}, text('c', i), "9490", text('d', i), ""}}});
    }
    return cards;
}

struct KeptMemory {
    bool passedBound = false;
    std::size_t cards = 0;
    std::size_t kept = 0; // as the reader counts it at the end
    std::size_t held = 0; // heap bytes held at the end, the reader's own working ones included
    std::size_t peak = 0; // the most heap bytes held while reading
};

// Reads the file in pieces of 64 KiB, as the contact store does, counting the heap on the way.
KeptMemory ReadCounting(std::string_view file, std::size_t bound) {
    KeptMemory memory;
    const std::size_t before = testdata::HeapBytesInUse();
    testdata::ResetHeapPeak();
    {
        platform::VCardReader reader(bound);
        for (std::size_t at = 0; at < file.size(); at += 64 << 10) {
            reader.Read(file.substr(at, 64 << 10));
        }
        reader.Finish();
        memory.passedBound = reader.PassedBound();
        memory.cards = reader.Contacts().size();
        memory.kept = reader.KeptBytes();
        memory.held = testdata::HeapBytesInUse() - before;
    }
    memory.peak = testdata::HeapBytesPeak() - before;
    return memory;
}

// The reader counts what its contacts really hold on the heap, whatever their texts (a CJK
// letter is three bytes of the file and one unit of text), the list's spare records included;
// and while it reads, the list's growth included, the heap never holds more than the bound
// beside the reader's own working bytes.
TEST(VCardReaderMemory, CountsWhatItKeepsAndHoldsNoMoreThanTheBound) {
    const struct {
        const char* name;
        std::size_t characters;
        bool cjk;
    } cases[] = {
        {"CJK texts", 40, true},
        {"ASCII texts", 40, false},
        {"records alone", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each card keeps its record and five texts of this many units (or none).
        const std::size_t cardBytes =
            sizeof(platform::ContactFields) + 5 * c.characters * sizeof(char16_t);
        const std::string fitting = testdata::WriteVCards(
            CardsOfText(kKeptMemoryBound / 2 / cardBytes, c.characters, c.cjk),
            testdata::VCardVersion::V30);
        const KeptMemory fits = ReadCounting(fitting, kKeptMemoryBound);
        ASSERT_FALSE(fits.passedBound);
        EXPECT_EQ(fits.cards, kKeptMemoryBound / 2 / cardBytes);
        EXPECT_LE(fits.kept, kKeptMemoryBound);
        EXPECT_LE(fits.held, fits.kept + kReaderWorkingBytes); // nothing held uncounted
        EXPECT_LE(fits.kept, fits.held + fits.held / 4);       // nor counted far above
        EXPECT_LE(fits.peak, kKeptMemoryBound + kReaderWorkingBytes);

        const std::string passing = testdata::WriteVCards(
            CardsOfText(3 * kKeptMemoryBound / 2 / cardBytes, c.characters, c.cjk),
            testdata::VCardVersion::V30);
        const KeptMemory passes = ReadCounting(passing, kKeptMemoryBound);
        EXPECT_TRUE(passes.passedBound);
        EXPECT_EQ(passes.cards, 0u);
        EXPECT_LE(passes.peak, kKeptMemoryBound + kReaderWorkingBytes);
    }
}

} // namespace
