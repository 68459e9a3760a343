// Filling the contact destination page from 2,000 contacts with three addresses each: the
// contact session made anew (the store reading and parsing "Contacts.vcf" at logon), every
// contact copied and the list lines and address entries built. The baseline in the same run
// parses the same vCard file with the vCard library alone. "vs_baseline" is how many times
// longer the page takes.
#include "app/contacts/extcontactdlg.h"
#include "testdata/tempdir.h"
#include "testdata/vcardwriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <glib-object.h>
#include <libebook-contacts/libebook-contacts.h>
#include <string>
#include <vector>

namespace {

constexpr int kContacts = 2000;

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
    }
    return contacts;
}

// The library alone: every card of the text parsed into its attributes.
std::size_t ParseWithLibrary(const std::string& text) {
    std::size_t attributes = 0;
    std::size_t start = 0;
    while ((start = text.find("BEGIN:VCARD", start)) != std::string::npos) {
        std::size_t end = text.find("END:VCARD", start);
        if (end == std::string::npos) {
            break;
        }
        end += 9;
        const std::string card = text.substr(start, end - start);
        EVCard* parsed = e_vcard_new_from_string(card.c_str());
        attributes += g_list_length(e_vcard_get_attributes(parsed));
        g_object_unref(parsed);
        start = end;
    }
    return attributes;
}

class NoMode final : public ContactPageOwner {
public:
    void OnPageCommand(int, HWND) override {}
    void RefreshMainPage() override {}
};

void BM_ContactPageFilledAgainstLibraryParse(benchmark::State& state) {
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
        benchmark::DoNotOptimize(bytes ? ParseWithLibrary(*bytes) : 0);
        baselineSeconds += ElapsedSeconds(start);
    }
    ContactSession::ReleaseInstance();
    if (lines != 3 * kContacts) {
        state.SkipWithError("the page does not list every address");
    }
    const double count = static_cast<double>(rounds);
    state.counters["rounds_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_ContactPageFilledAgainstLibraryParse)->Iterations(10)->UseRealTime();
BENCHMARK_MAIN();
