// The contact destination page opened over 5,000 contacts with three addresses each, 500 of them
// with a 20 KB photo (about 14 MB of vCard 3.0): the contact session made anew (the store reading
// "Contacts.vcf" at logon), every contact copied and the list lines and address entries built.
// With the packaged vCard library this took 120-155 ms. And one card whose ADR line holds
// 100,000 or 200,000 components (200 or 400 KB), which the library took 16 and 114 s for; the
// reader's work is linear in the line.
// The baseline in the same run is one plain pass over the same bytes: the file read and every
// byte widened to UTF-16. "vs_baseline" is how many times longer the page (or the reading) takes;
// "ms" the milliseconds of one round.
// The store's memory, over files whose contacts come near its bound of 64 MiB: 7,000 cards whose
// twelve texts (names, organisation, three addresses) are CJK texts of 340 characters (three bytes
// each in the file, one UTF-16 unit each kept), and 140,000 short cards whose records are all that
// is kept.
// Each is read as the store reads it, in pieces of 64 KiB. The baseline in the same run is what
// the reader counts as kept ("kept_MB"); "peak_MB" is the most the heap held while it read (every
// block as the allocator holds it, counted by testdata/heapuse.h, which this program links: its
// count costs each allocation of the other cases a little too); "peak_vs_kept" their ratio and
// "peak_vs_bound" the peak against the 64 MiB.
#include "app/contacts/extcontactdlg.h"
#include "testdata/heapuse.h"
#include "testdata/tempdir.h"
#include "testdata/vcardwriter.h"

#include "platform/contacts/vcardreader.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kContacts = 5000;
constexpr int kEveryPhoto = 10; // every tenth contact has a photo
constexpr std::size_t kPhotoBytes = 20 << 10;

double ElapsedSeconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<testdata::VCardContact> ManyContacts() {
    const char* const cities[] = {"Vaduz", "Schaan", "Triesen", "Balzers", "Eschen"};
    std::vector<testdata::VCardContact> contacts;
    for (int i = 0; i < kContacts; ++i) {
        const std::string n = std::to_string(i);
        contacts.push_back({"Family" + n,
                            "Given" + n,
                            "Organisation " + n,
                            {{{"work"}, "Landstrasse " + n, "9490", cities[i % 5], "Liechtenstein"},
                             {{"home"}, "Hauptstr. " + n, "9494", cities[(i + 1) % 5], ""},
                             {{"postal"}, "Postfach " + n, "9495", cities[(i + 2) % 5], ""}}});
        if (i % kEveryPhoto == 0) {
            contacts.back().photoBytes = kPhotoBytes;
        }
        contacts.back().otherLines = {"TEL;TYPE=CELL:+423 000 " + n, "EMAIL:a" + n + "@b.li"};
    }
    return contacts;
}

// The plain pass: every byte widened, the sum kept.
std::size_t WidenAll(const std::string& bytes) {
    std::u16string wide(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        wide[i] = static_cast<unsigned char>(bytes[i]);
    }
    std::size_t sum = 0;
    for (std::size_t i = 0; i < wide.size(); i += 4096) {
        sum += wide[i];
    }
    return sum;
}

class NoMode final : public ContactPageOwner {
public:
    void OnPageCommand(int, HWND) override {}
    void RefreshMainPage() override {}
};

void Report(benchmark::State& state, benchmark::IterationCount rounds, double seconds,
            double baselineSeconds) {
    const double count = static_cast<double>(rounds);
    state.counters["ms"] = count > 0 ? 1000.0 * seconds / count : 0.0;
    state.counters["baseline_ms"] = count > 0 ? 1000.0 * baselineSeconds / count : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

void BM_ContactPageOpenedAgainstOnePass(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    const std::string text = testdata::WriteVCards(ManyContacts(), testdata::VCardVersion::V30);
    if (!root.InstallModule(u"pimstore.dll") ||
        !root.WriteFile(platform::kContactsFilePath, text)) {
        state.SkipWithError("cannot write the contacts file");
        return;
    }
    NoMode mode;
    DestinationDescription destination;
    benchmark::IterationCount rounds = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    std::size_t lines = 0;
    for (auto _ : state) {
        ++rounds;
        auto start = std::chrono::steady_clock::now();
        ContactSession::ReleaseInstance(); // the next session logs on and reads the file again
        auto page = CreateContactPage({}, mode, destination, 420);
        page->FillList();
        lines = page->GetLines().size();
        seconds += ElapsedSeconds(start);

        start = std::chrono::steady_clock::now();
        const std::optional<std::string> bytes =
            testdata::ReadHostFile(root.HostPathOf(platform::kContactsFilePath));
        benchmark::DoNotOptimize(bytes ? WidenAll(*bytes) : 0);
        baselineSeconds += ElapsedSeconds(start);
    }
    ContactSession::ReleaseInstance();
    if (lines != 3 * kContacts) {
        state.SkipWithError("the page does not list every address");
    }
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
    Report(state, rounds, seconds, baselineSeconds);
}

void BM_LongAddressLineAgainstOnePass(benchmark::State& state) {
    testdata::VCardContact contact{"Beck", "Anna", "", {}};
    std::string line = "ADR;TYPE=WORK:;;Landstrasse 5;Vaduz;;9490;LI";
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        line += "x;";
    }
    contact.otherLines = {line};
    const std::string text = testdata::WriteVCards({contact}, testdata::VCardVersion::V30);
    benchmark::IterationCount rounds = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    std::size_t cards = 0;
    for (auto _ : state) {
        ++rounds;
        auto start = std::chrono::steady_clock::now();
        cards = platform::ReadVCardContacts(text).size();
        seconds += ElapsedSeconds(start);

        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(WidenAll(text));
        baselineSeconds += ElapsedSeconds(start);
    }
    if (cards != 1) {
        state.SkipWithError("the card is not read");
    }
    state.counters["card_KB"] = static_cast<double>(text.size()) / 1e3;
    Report(state, rounds, seconds, baselineSeconds);
}

// Cards of CJK texts, or short ones keeping nothing but their records.
std::vector<testdata::VCardContact> MemoryCards(bool cjk) {
    std::vector<testdata::VCardContact> cards;
    if (!cjk) {
        cards.assign(140000, {"Ng", "Li", "", {}});
        return cards;
    }
    std::string text;
    for (std::size_t k = 0; k < 340; ++k) {
        text += std::string("\xE5\xB1") + static_cast<char>(0x80 + k % 64);
    }
    cards.assign(7000, {text,
                        text,
                        text,
                        {{{"work"}, text, text, text, ""},
                         {{"home"}, text, text, text, ""},
                         {{"postal"}, text, text, text, ""}}});
    return cards;
}

void BM_ContactStorePeakAgainstKept(benchmark::State& state) {
    const bool cjk = state.range(0) != 0;
    const std::vector<testdata::VCardContact> cards = MemoryCards(cjk);
    const std::string text = testdata::WriteVCards(cards, testdata::VCardVersion::V30);
    constexpr std::size_t kPiece = 64 << 10;
    std::size_t peak = 0;
    std::size_t kept = 0;
    std::size_t read = 0;
    for (auto _ : state) {
        const std::size_t before = testdata::HeapBytesInUse();
        testdata::ResetHeapPeak();
        platform::VCardReader reader;
        for (std::size_t at = 0; at < text.size(); at += kPiece) {
            reader.Read(std::string_view(text).substr(at, kPiece));
        }
        reader.Finish();
        peak = testdata::HeapBytesPeak() - before;
        kept = reader.KeptBytes();
        read = reader.Contacts().size();
    }
    if (read != cards.size()) {
        state.SkipWithError("the store does not keep every card within its bound");
    }
    state.counters["cards"] = static_cast<double>(read);
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["kept_MB"] = static_cast<double>(kept) / 1e6;
    state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
    state.counters["peak_vs_kept"] =
        kept > 0 ? static_cast<double>(peak) / static_cast<double>(kept) : 0.0;
    state.counters["peak_vs_bound"] =
        static_cast<double>(peak) / static_cast<double>(platform::kMaxKeptContactBytes);
}

} // namespace

BENCHMARK(BM_ContactPageOpenedAgainstOnePass)->Iterations(10)->UseRealTime();
BENCHMARK(BM_LongAddressLineAgainstOnePass)
    ->Arg(100000)
    ->Arg(200000)
    ->Iterations(20)
    ->UseRealTime();
BENCHMARK(BM_ContactStorePeakAgainstKept)
    ->ArgName("cjk")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_MAIN();
