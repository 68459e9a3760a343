// The contact destination page opened over 5,000 contacts with three addresses each, 500 of them
// with a 20 KB photo (about 14 MB of vCard 3.0): the contact session made anew (the store reading
// "Contacts.vcf" at logon), every contact copied and the list lines and address entries built.
// With the packaged vCard library this took 120-155 ms. And one card whose ADR line holds
// 100,000 or 200,000 components (200 or 400 KB), which the library took 16 and 114 s for; the
// reader's work is linear in the line.
// The baseline in the same run is one plain pass over the same bytes: the file read and every
// byte widened to UTF-16. "vs_baseline" is how many times longer the page (or the reading) takes;
// "ms" the milliseconds of one round.
#include "app/contacts/extcontactdlg.h"
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

} // namespace

BENCHMARK(BM_ContactPageOpenedAgainstOnePass)->Iterations(10)->UseRealTime();
BENCHMARK(BM_LongAddressLineAgainstOnePass)
    ->Arg(100000)
    ->Arg(200000)
    ->Iterations(20)
    ->UseRealTime();
BENCHMARK_MAIN();
