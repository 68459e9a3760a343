// fuzzseeds: writes the seed inputs of every fuzz target's corpus, built with the test-data
// writers and laid out as each target reads its input.
//
//   fuzzseeds SOURCE_ROOT      (re)writes SOURCE_ROOT/<folder>/fuzz/corpus/<target>/seed-*
//
// Inputs that once found a fault sit next to the seeds and are left alone.
// Exit status: 0 done, 1 a file could not be written, 2 wrong usage.

#include "testdata/addressindexwriter.h"
#include "testdata/advisorwriter.h"
#include "testdata/alertcencoder.h"
#include "testdata/archivewriter.h"
#include "testdata/areatreewriter.h"
#include "testdata/bitmapwriter.h"
#include "testdata/cityindexwriter.h"
#include "testdata/datasetfolderwriter.h"
#include "testdata/destinationwriter.h"
#include "testdata/drawingfilewriter.h"
#include "testdata/emfwriter.h"
#include "testdata/fieldtablefilewriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/gpssettingswriter.h"
#include "testdata/junctionmodelinput.h"
#include "testdata/levelfilewriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/matcherdrives.h"
#include "testdata/matcherstatewriter.h"
#include "testdata/namefilewriter.h"
#include "testdata/nmeawriter.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/screendescwriter.h"
#include "testdata/stylesheetwriter.h"
#include "testdata/tablefilewriter.h"
#include "testdata/tmctableswriter.h"
#include "testdata/townsketch.h"
#include "testdata/vcardwriter.h"
#include "testdata/wavewriter.h"
#include "tools/install/installedfiles.h"

#include "platform/shell/resourcebundle.h"
#include "platform/window/dialog.h"
#include "platform/window/instancechannel.h"
#include "platform/window/windowtypes.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Seed {
    const char* corpus; // folder under the source root
    std::string name;
    Bytes bytes;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

Bytes Utf16(std::u16string_view text) {
    Bytes out;
    for (const char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}

Bytes U32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// The formatting target: a count of format characters, the format, then arguments (or the text
// to scan); an empty format leaves the bytes to the text decoders.
std::vector<Seed> FormatSeeds() {
    const char* corpus = "platform/kernel/fuzz/corpus/platform_format_fuzz";
    const std::u16string print = u"%d|%5.2f|%s|%ls|%08X|%c|%%";
    const std::u16string scan = u"%d %s %f %c";
    return {
        {corpus, "seed-format",
         Concat(
             {{static_cast<std::uint8_t>(print.size())},
              Utf16(print),
              {0, 0, 0, 42, 0x40, 0x0A, 0, 0, 0, 0, 0, 0, 1, 1, 0xDE, 0xAD, 0xBE, 0xEF, 0, 'x'}})},
        {corpus, "seed-scan",
         Concat({{static_cast<std::uint8_t>(scan.size())}, Utf16(scan), Utf16(u"42 word 2.5 x")})},
        {corpus, "seed-text",
         Concat({{0},
                 Text("Stra\xC3\x9F"
                      "e \xE2\x82\xAC \xC3( \xA4")})},
    };
}

// The archive reader: archives as they are, or (first byte with the top bit set) patches and
// member data for an archive the target builds itself.
std::vector<Seed> ArchiveSeeds() {
    const char* corpus = "platform/sfs/fuzz/corpus/sfs_fuzz";
    testdata::ArchiveWriter writer;
    (void)writer.AddMember("General.properties", "key=value\n");
    (void)writer.AddMember("b.bin", "0123");
    return {
        {corpus, "seed-archive", writer.Build()},
        {corpus, "seed-member-past-end", writer.Build(testdata::ArchiveFault::MemberPastEnd)},
        {corpus, "seed-patched", {0x82, 8, 0, 2, 12, 0, 1, 'a', 'b', 'c', 'd', 'e', 'f'}},
    };
}

std::vector<Seed> BundleSeeds() {
    const char* corpus = "platform/shell/fuzz/corpus/resourcebundle_fuzz";
    platform::ResourceBundle bundle;
    bundle.strings[1] = u"Navigator";
    bundle.strings[2] = u"Stra\u00DFe\tline\nbreak";
    bundle.accelerators[225] = {
        {platform::kAcceleratorVirtualKey | platform::kAcceleratorControl, 'D', 585},
        {platform::kAcceleratorVirtualKey, 0x71, 450}};
    bundle.accelerators[226] = {
        {platform::kAcceleratorVirtualKey | platform::kAcceleratorShift | platform::kAcceleratorAlt,
         '7', 1}};
    bundle.menuBars = {101, 102};
    platform::ResourceBundle pictures;
    pictures.strings[1] = u"Navigator";
    pictures.bitmaps[1184] = {'B', 'M', 0, 0};
    pictures.icons[1] = {'B', 'M', 1};
    return {
        {corpus, "seed-bundle", testdata::WriteResourceBundle(bundle)},
        {corpus, "seed-source",
         Text("; texts\n[strings]\n1\tNavigator\n2  tab\\there\\nand \\\\\n3\n")},
        {corpus, "seed-keys",
         Text("[accelerators]\n225\t585\tCtrl+D\n225  450  F2\n226\t1\tAlt+Shift+7\n"
              "[menus]\n101\n")},
        {corpus, "seed-pictures", testdata::WriteResourceBundle(pictures)},
        {corpus, "seed-picture-source",
         Text("[icons]\n1\ticon.bmp\n[bitmaps]\n1\ticon.bmp\n1184 logo.bmp\n")},
    };
}

std::vector<Seed> SettingsSeeds() {
    const char* corpus = "utilities/usefulcode/fuzz/corpus/iniprofile_fuzz";
    return {
        {corpus, "seed-settings", Text("[A]\r\nk=old\r\nd=2.5\r\n\r\n[B]\r\nk=other\r\n")},
        {corpus, "seed-loose", Text("; comment\nx=before\n[a]\nK = 12\nline\n[ A ]\nk=\n")},
        // The UTF-8 mark over code page 1252 lines: bytes that are no UTF-8.
        {corpus, "seed-mark-over-codepage",
         Text(testdata::WriteListSection("Recent", {u"2|9.52|47.14|Vaduz|\u00C4ulestrasse|    |"},
                                         "[A]\r\nk=old\r\n[B]\r\nk=\xC4\r\n",
                                         testdata::ListSectionFault::Utf8MarkOverCodePage))},
    };
}

// The table readers: an odd first byte and a whole file, or an even one and patches to the
// target's own valid file (offset low, offset high, value; two last bytes cut the file).
std::vector<Seed> TableSeeds() {
    testdata::TableFileWriter table({ColumnType::UInt32, ColumnType::Text16, ColumnType::Int16});
    table.SetScrambled(true);
    for (std::int64_t i = 0; i < 12; ++i) {
        table.AddRow({i / 3, std::string(1, static_cast<char>('A' + i)), -i});
    }
    testdata::FieldTableFileWriter fields({ColumnType::UInt32, ColumnType::UInt32});
    fields.SetBlockSize(256);
    for (std::int64_t i = 0; i < 12; ++i) {
        fields.AddRow({i / 4, i}, std::string(static_cast<std::size_t>(i * 3), 't'));
    }
    const Bytes patches = {0, 0x00, 0x05, 0x41, 0x40, 0x06, 0x00}; // inside the data
    const char* fsr = "tablefiles/fuzz/corpus/tablefiles_fsr_fuzz";
    const char* fsx = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_fsx_fuzz";
    return {
        {fsr, "seed-table", Concat({{1}, table.Build()})},
        {fsr, "seed-patches", patches},
        {fsx, "seed-table", Concat({{1}, fields.Build()})},
        {fsx, "seed-patches", patches},
    };
}

// The name file reader: a name offset to read, where to lay the rest over the target's own name
// file, a flag byte (odd: cut the file there), then the bytes to lay over it.
std::vector<Seed> NameSeeds() {
    const char* corpus = "tablefiles/fuzz/corpus/tablefiles_names_fuzz";
    testdata::NameFileWriter names;
    names.SetPadLastBlock(false);
    (void)names.Add("Berlin", 1, {{"Alt", 3}});
    const std::uint32_t second = names.Add("Hamburg", -2, {{"HH", 4}, {"Other", -4}});
    return {
        {corpus, "seed-names", Concat({U32(0), U32(0), {0}, names.Build()})},
        {corpus, "seed-cut", Concat({U32(second), U32(second + 3), {1}, Text("Ha")})},
    };
}

// Patch-style targets read a mode byte first: odd gives the rest as the whole file.
Bytes Whole(const Bytes& file) {
    return Concat({{1}, file});
}

std::vector<Seed> WaveSeeds() {
    const char* corpus = "platform/sound/fuzz/corpus/wave_fuzz";
    testdata::WaveWriter writer;
    writer.SetTone(440, 5);
    return {
        {corpus, "seed-tone", Whole(writer.Build())},
        {corpus, "seed-no-data", Whole(writer.Build(testdata::WaveFault::NoDataChunk))},
        {corpus, "seed-patches", {0, 22, 0, 2, 34, 0, 8}}, // two channels, 8 bits
    };
}

std::vector<Seed> DialogSeeds() {
    const char* corpus = "platform/window/fuzz/corpus/dialogtemplate_fuzz";
    return {
        {corpus, "seed-popup", platform::MakeDialogTemplate(WS_POPUP | WS_VISIBLE, 0, 0, 100, 50)},
        {corpus, "seed-child", platform::MakeDialogTemplate(WS_CHILD, 8, 8, 40, 20)},
    };
}

// The instance channel's requests: a whole one, and one whose title runs past the data.
std::vector<Seed> InstanceRequestSeeds() {
    const char* corpus = "platform/window/fuzz/corpus/instancerequest_fuzz";
    const platform::InstanceRequest request{platform::InstanceRequestKind::ActivateWindow,
                                            u"Navigator"};
    Bytes cut = platform::EncodeInstanceRequest(request);
    cut.resize(cut.size() - 3);
    return {
        {corpus, "seed-activate", platform::EncodeInstanceRequest(request)},
        {corpus, "seed-cut", cut},
    };
}

// The layout target: a first byte choosing the run (bit 0 a dialog instead of a page, bit 1 a
// 240 x 320 screen instead of 480 x 640, bit 2 painted instead of only laid out), then the screen
// description. The pages name the buttons, the input fields and label, or the logo and the
// indicators (with a text height at the int range's end); pages and the dialog are laid out at
// both screen sizes and painted at the smaller one, which paints a quarter of the pixels, as is
// a page without "Size" nor "Bitmap".
std::vector<Seed> ScreenDescSeeds() {
    const char* corpus = "ui/fuzz/corpus/screendesc_layout_fuzz";
    constexpr std::uint8_t dialog = 1;
    constexpr std::uint8_t small = 2;
    constexpr std::uint8_t painted = 4;
    auto page = [] {
        testdata::ScreenDescWriter writer;
        writer.Section(u"Page")
            .Size(240, 320)
            .Rect(u"Status", 10, 5, 230, 30)
            .Rect(u"Area", 0, 0, 240, 320)
            .Bitmap(u"page.bmp")
            .Help(u"x.htc");
        return writer;
    };
    testdata::ScreenDescWriter buttons = page();
    buttons.Rect(u"A", 10, 40, 110, 60)
        .Item(u"B", 120, 40, 230, 60, 1)
        .Item(u"E", 10, 100, 110, 120, 16)
        .Item(u"F", 1, 2, 3, 4, 24)
        .Item(u"G", -5, -6, std::numeric_limits<int>::max(), std::numeric_limits<int>::min(), 128)
        .Empty(u"H");
    testdata::ScreenDescWriter inputs = page();
    inputs.Item(u"C", 10, 70, 110, 90, 8)
        .Item(u"D", 120, 70, 230, 90, 32)
        .Rect(u"L", 10, 130, 230, 150);
    testdata::ScreenDescWriter indicators = page();
    indicators.Rect(u"RealGPS", 80, 280, 150, 310)
        .Rect(u"RealTMC", 160, 280, 230, 310)
        .Rect(u"RealLOGO", 10, 280, 70, 310)
        .Section(u"Screen")
        .Rect(u"RealGPS", 0, 0, 50, 14)
        .Rect(u"RealTMC", 0, 0, 50, -2000000000);
    testdata::ScreenDescWriter box;
    box.Section(u"Dlg")
        .Size(200, 100)
        .Rect(u"T", 10, 10, 190, 50)
        .Item(u"B", 150, 75, 190, 95, 2)
        .Bitmap(u"dlg.bmp");
    testdata::ScreenDescWriter noSize;
    noSize.Section(u"Page").Size(0, 0).Rect(u"A", 1, 1, 1, 1);
    auto run = [](std::uint8_t mode, const testdata::ScreenDescWriter& writer) {
        return Concat({{mode}, Text(writer.Build())});
    };
    return {
        {corpus, "seed-page-buttons", run(0, buttons)},
        {corpus, "seed-page-buttons-small-painted", run(small | painted, buttons)},
        {corpus, "seed-page-inputs-small", run(small, inputs)},
        {corpus, "seed-page-inputs-small-painted", run(small | painted, inputs)},
        {corpus, "seed-page-indicators", run(0, indicators)},
        {corpus, "seed-page-indicators-small-painted", run(small | painted, indicators)},
        {corpus, "seed-page-no-size-small-painted", run(small | painted, noSize)},
        {corpus, "seed-dialog", run(dialog, box)},
        {corpus, "seed-dialog-small", run(dialog | small, box)},
        {corpus, "seed-dialog-small-painted", run(dialog | small | painted, box)},
    };
}

std::vector<Seed> BitmapSeeds() {
    const char* corpus = "platform/gdi/fuzz/corpus/dib_fuzz";
    testdata::BitmapSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.bitCount = 8;
    spec.palette = {0x000000, 0xFF0000, 0x00FF00};
    spec.pixels = {0, 1, 2, 2, 1, 0};
    testdata::BitmapSpec twoBits = spec;
    twoBits.bitCount = 2;
    testdata::BitmapSpec trueColour = spec;
    trueColour.bitCount = 24;
    trueColour.palette.clear();
    trueColour.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF, 0x808080};
    return {
        {corpus, "seed-file-8", Whole(testdata::WriteBitmapFile(spec))},
        {corpus, "seed-file-2", Whole(testdata::WriteBitmapFile(twoBits))},
        {corpus, "seed-packed-24", Whole(testdata::WritePackedDib(trueColour))},
        {corpus, "seed-patches", {0, 28, 0, 8, 46, 0, 200}}, // bit count 8, a long colour table
    };
}

std::vector<Seed> StyleSheetSeeds() {
    const char* corpus = "mapdisplay/fuzz/corpus/mapstylefile_fuzz";
    testdata::StyleSheetWriter old = testdata::DefaultStyleSheet(true);
    old.version = 4;
    return {
        {corpus, "seed-day-6", Whole(testdata::DefaultStyleSheet(false).Write())},
        {corpus, "seed-night-4", Whole(old.Write())},
        {corpus, "seed-patches", {0, 4, 0, '1', 20, 0, 200}}, // version 1, a long face name
    };
}

std::vector<Seed> EmfSeeds() {
    const char* corpus = "ui/fuzz/corpus/emfplayer_fuzz";
    const testdata::EmfWriter picture = testdata::SampleSkinPicture();
    return {
        {corpus, "seed-skin", Whole(picture.Build())},
        {corpus, "seed-no-end", Whole(picture.Build(testdata::EmfFault::NoEndRecord))},
        {corpus, "seed-patches", {0, 92, 0, 0}}, // the first record's size cut to 0
    };
}

std::vector<Seed> AdvisorSeeds() {
    const char* config = "advisor/fuzz/corpus/advisor_config_fuzz";
    const char* encode = "advisor/fuzz/corpus/encode_properties_fuzz";
    const char* phrases = "advisor/fuzz/corpus/advice_text_fuzz";
    const char* decoding = "advisor/fuzz/corpus/advice_decoding_fuzz";
    testdata::EncodedAdvice advice;
    advice.code = 1;
    advice.fromStreet = "Landstrasse";
    advice.toStreet = "St\xE4"
                      "dtle";
    advice.state = 22;
    advice.nextDirection = "Right";
    advice.roadClass = "Bt";
    advice.element = 4096;
    testdata::EncodedAdvice arrival;
    arrival.code = 2;
    arrival.isDestination = true;
    testdata::ConfigTextWriter tables;
    tables.Comment(" decision tables")
        .Module("T_Street", {"Relative_Direction_Of_TS"})
        .Value({"Left"}, "TurnLeft")
        .Value({"Right"}, "TurnRight")
        .Blank()
        .Module("Bifurcation", {"Side", "Class"})
        .Value({"Left", "*"}, "KeepLeft")
        .EndMark();
    testdata::ConfigTextWriter properties;
    properties.Line("Speed=3").Line("Name = value with blanks").Comment(" note").Line("Empty=");
    return {
        {config, "seed-decision-tables", Text(tables.Build())},
        {config, "seed-properties", Text(properties.Build())},
        {encode, "seed-encode", Text("# codes\n\xC4nderung=12\nStreet=3 # trailing\nBad line\n")},
        // Flag byte (bit 0 miles, distance / 10 above it), the phrase text, variables, "!"
        // phrase-table entries.
        {phrases, "seed-announcement",
         Text("\x9e[In] {in <distance1>} [Turn]<DI> #A 27# (250) $1500*0.001$\n"
              "DI= [Onto] #<RN>#\nRN=B 3\n!800m=[Metres800]\n!Turn.A2b=[Then] [Turn]")},
        {decoding, "seed-two-advices", testdata::WriteEncodedAdvices({advice, arrival})},
        {decoding, "seed-cut",
         testdata::WriteEncodedAdvices({advice, arrival},
                                       testdata::EncodedAdviceFault::LastCutShort)},
        {decoding, "seed-long-text",
         testdata::WriteEncodedAdvices({advice}, testdata::EncodedAdviceFault::LongFirstText)},
        {phrases, "seed-malformed", Text("\x01#B3 (25 {in 300 $5 <self> \xA7 @\nself=x<self>")},
    };
}

std::vector<Seed> DatasetSeeds() {
    const char* corpus = "tablefiles/fuzz/corpus/tablefiles_datasets_fuzz";
    testdata::DatasetFolderWriter writer;
    writer.AddArea({7, "SCHWABING", 10, {1, 2, 3, 4}})
        .AddCity({"MUENCHEN", 20, 7, 49, 3, 500})
        .AddStreet({500, "BERGSTR", 1005, "80331", {7, 7, 7}, {9001}})
        .AddElement({9001, {{1, 1}, {2, 2}}, testdata::DatasetHouseNumbers{2, "2-20", "1-9"}})
        .AddPostalCode({"80331", 1, {1, 2, 3, 4}});
    return {
        {corpus, "seed-streets", Whole(writer.BuildTable(testdata::DatasetFile::XoI))},
        {corpus, "seed-cities", Whole(writer.BuildTable(testdata::DatasetFile::AllCitiesByName))},
        // An even mode byte patches the table the last byte chooses.
        {corpus, "seed-patches", {0, 0x00, 0x05, 0x41, 0x40, 0x06, 0x00, 3}},
    };
}

std::vector<Seed> MapDataSeeds() {
    const char* corpus = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_mapdata_fuzz";
    testdata::MapSetWriter writer;
    testdata::GridSketch sketch;
    sketch.rows = {"a..b", "c..d"};
    sketch.roads = {{"Ringstrasse", "abdc"}, {"Querweg", "ad"}};
    (void)writer.AddSketch(sketch);
    const testdata::MapSetFiles files = writer.SetDepth(2).SetVersion(2).Build();
    // First byte: the top bit picks ".dat", else ".rid"; then the patch-style input.
    return {
        {corpus, "seed-rid", Concat({{0x00, 1}, files.rid})},
        {corpus, "seed-dat", Concat({{0x80, 1}, files.dat})},
        {corpus, "seed-patches", {0x00, 0, 0x10, 0x00, 0xFF, 0x20, 0x00, 0x07}},
    };
}

std::vector<Seed> SearchSeeds() {
    const char* corpus = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_search_fuzz";
    testdata::MapSetWriter writer;
    for (const testdata::ElementDescription& element : testdata::town::TownElements()) {
        (void)writer.Add(element);
    }
    testdata::RidHeaderFields header;
    header.mapDataValue = 15;
    const testdata::MapSetFiles files = writer.SetHeader(header).Build();
    // First byte: bits 0-1 pick ".rid", ".dat" or ".nam", bit 2 the map data value 15 (else
    // 14); second byte: the search (0-6); then the patch-style input.
    std::vector<Seed> seeds = {
        {corpus, "seed-rid", Concat({{0x04, 6, 1}, files.rid})},
        {corpus, "seed-dat", Concat({{0x01, 3, 1}, files.dat})},
        {corpus, "seed-nam", Concat({{0x02, 1, 1}, files.nam})},
        {corpus, "seed-patches", {0x04, 6, 0, 0x30, 0x00, 0xFF, 0x44, 0x00, 0x01}},
    };
    for (std::uint8_t search = 0; search < 7; ++search) {
        for (const std::uint8_t value : {0x00, 0x04}) {
            seeds.push_back({corpus,
                             "seed-town-" + std::to_string(value == 0 ? 14 : 15) + "-search-" +
                                 std::to_string(search),
                             {value, search, 0}});
        }
    }
    return seeds;
}

// The level-file target reads the whole input as the file.
std::vector<Seed> LevelFileSeeds() {
    const char* corpus =
        "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_leveltextfile_fuzz";
    const char* display = "mapdisplay/fuzz/corpus/levellines_fuzz";
    const testdata::LevelFileWriter usable = testdata::LevelFileWriter()
                                                 .SetCrLf(true)
                                                 .AddIsoLine("Other.rid")
                                                 .AddBlankLine()
                                                 .AddMapLine("Europe.rid", "Europe", 3, "x");
    return {
        {corpus, "seed-usable", Text(usable.Build())},
        {corpus, "seed-long-line",
         Text(testdata::LevelFileWriter().AddLine(std::string(300, 'a')).Build())},
        {corpus, "seed-no-usable-line",
         Text(testdata::LevelFileWriter().AddBlankLine().AddIsoLine("Europe.rid").Build())},
        {display, "seed-levels",
         Text(testdata::LevelFileWriter()
                  .AddMapLine("Map.rid", "day.mpl", 20, "night.mpl")
                  .AddMapLine("Overview.rid", "day.mpl", 100000)
                  .AddIsoLine("Map.rid")
                  .Build())},
        {display, "seed-long-line",
         Text(testdata::LevelFileWriter().AddLine(std::string(300, 'a') + " b 1").Build())},
    };
}

// Road networks: crossing record pages (page size byte (size - 12) / 4, flags byte with bit 0
// for separated maps, then the pages), a page index, and a description after four bytes of
// page-file and position-file sizes.
std::vector<Seed> RoadNetworkSeeds() {
    const char* records = "routing/fuzz/corpus/routing_crossingrecord_fuzz";
    const char* index = "routing/fuzz/corpus/routing_pagetree_fuzz";
    const char* description = "routing/fuzz/corpus/routing_networkdescription_fuzz";
    testdata::RoadNetworkOptions options;
    options.maps = 2;
    options.pageSize = 256;
    options.separated = {false, true, false};
    options.hasAdditionalAttributes = true;
    testdata::CrossingExtras& extras = options.extras[0][5];
    extras.prohibitedTurns = {{0, 1}, {1, 2}, {2, 3}, {3, 0}};
    extras.list1 = {{0, 2, {1}}};
    extras.list2 = {{15, 1, {0, 3, -7, 2, 1, 0}}};
    extras.list3 = {{1, 1, 0, 2, true}};
    extras.list4 = {{2, 3, 4, 2, true}, {0, 1, 0, 0, false}};
    testdata::RoadNetworkWriter writer(testdata::RoadWorld::Grid(12, 12, 400, {0, 0}, 2), options);
    auto files = writer.Build();
    if (!files) {
        return {};
    }
    return {
        {records, "seed-pages", Concat({{61, 0}, files->at("Net0.pag")})},
        {records, "seed-separated-pages", Concat({{61, 1}, files->at("Net1.pag")})},
        {index, "seed-index", files->at("Net0.idx")},
        {description, "seed-description", Concat({{0x01, 0, 0x01, 0}, files->at("Net.rd")})},
    };
}

// Optimised link chains: an id, then the chain's O2S rows (seven words each) as the writer
// lays them out for a level that merges chains.
std::vector<Seed> OptimisedChainSeeds() {
    const char* corpus = "routing/fuzz/corpus/routing_o2schain_fuzz";
    testdata::RoadNetworkOptions options;
    options.maps = 2;
    options.optimisationStarts = {-1, 1000000};
    testdata::RoadNetworkWriter writer(testdata::RoadWorld::Grid(15, 15, 400, {0, 0}, 2), options);
    if (!writer.Build() || writer.GetLayout()[1].chains.empty()) {
        return {};
    }
    const std::vector<ColumnType> columns = {
        ColumnType::UInt32, ColumnType::UInt32,  ColumnType::Float32, ColumnType::Float32,
        ColumnType::UInt32, ColumnType::Float32, ColumnType::UInt32};
    const testdata::RoadWorld& world = writer.GetWorld();
    std::vector<Seed> seeds;
    for (std::size_t c = 0; c < 2 && c < writer.GetLayout()[1].chains.size(); ++c) {
        const testdata::OptimisedChain& chain = writer.GetLayout()[1].chains[c];
        Bytes input = U32(chain.id + static_cast<std::uint32_t>(c));
        for (std::size_t k = 0; k <= chain.links.size(); ++k) {
            const bool isEnd = k == chain.links.size();
            const testdata::WorldLink& link = world.links[chain.links[isEnd ? k - 1 : k]];
            const Bytes row = testdata::EncodeRow(
                columns,
                testdata::O2SRow(columns.size(), chain.id, isEnd ? 0 : link.elementId,
                                 world.Position(chain.nodes[k]), isEnd ? 0 : link.lengthUnits * 5));
            input.insert(input.end(), row.begin(), row.end());
        }
        seeds.push_back({corpus, c == 0 ? "seed-chain" : "seed-reverse-chain", input});
    }
    return seeds;
}

// An install's list of its own files: whole, with CR LF line ends, cut in a line, cut right after
// a line, naming a path outside the root, and one of the installer before (no format line, no end
// line).
std::vector<Seed> InstalledFilesSeeds() {
    const char* corpus = "tools/fuzz/corpus/installedfiles_fuzz";
    demoinstall::Digest program;
    program.Add("#!/bin/sh\n");
    demoinstall::Digest settings;
    settings.Add("[Zudav]\r\nSimulation=1\r\n");
    const std::string lines = "# The files laid out here.\n" +
                              demoinstall::ManifestLine(program, "navigator") +
                              demoinstall::ManifestLine(settings, "PK.ini") +
                              demoinstall::ManifestLine({}, "My Documents/Contacts.vcf");
    const std::string body = demoinstall::kManifestFormat + lines;
    const std::string list = body + demoinstall::kManifestEnd;
    std::string crlf;
    for (const char c : list)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::string outside =
        body + demoinstall::ManifestLine(program, "../elsewhere") + demoinstall::kManifestEnd;
    return {
        {corpus, "seed-list", Text(list)},
        {corpus, "seed-crlf", Text(crlf)},
        {corpus, "seed-cut", Text(list.substr(0, list.size() - 9))},
        {corpus, "seed-cut-at-line-end", Text(body)},
        {corpus, "seed-outside", Text(outside)},
        {corpus, "seed-previous-format", Text(lines)},
    };
}

} // namespace

// The city index reader: whole files (mode byte 1) of both kinds, and patches over its own.
std::vector<Seed> CityIndexSeeds() {
    const char* corpus = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_cities_fuzz";
    testdata::CityIndexWriter writer;
    writer.Add({"Bad Homburg", 1, false, 10, 49})
        .Add({"Wiesbaden", 4, true, std::nullopt, 49})
        .Add({"Baden bei Wien", 6, false, 60, 43});
    return {
        {corpus, "seed-by-name", Whole(writer.BuildByName())},
        {corpus, "seed-by-country", Whole(writer.BuildByCountry())},
        {corpus, "seed-six-groups",
         Whole(writer.BuildByCountry(testdata::CityIndexFault::SixGroupNumber))},
        {corpus, "seed-patches", {0, 1, 0, '|', 6, 0, 0x40}},
    };
}

// The area tree and list-file readers: whole files (mode byte 1), broken ones, and patches over
// their own.
std::vector<Seed> AreaSeeds() {
    const char* tree = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_areatree_fuzz";
    const char* list = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_arealist_fuzz";
    testdata::AreaTreeWriter writer;
    const std::int32_t country = writer.Add({"7", 10, -1, 70, {-1.0f, 40.0f, 2.0f, 50.0f}});
    writer.Add({"Nord", 8, country, 80, {0.0f, 45.0f, 2.0f, 50.0f}});
    writer.Add({"Bonn", 4, 1, 41, {}});
    const std::vector<testdata::AreaListEntry> entries{{1, {2, 3}}, {2, {1}}, {3, {}}};
    return {
        {tree, "seed-tree", Whole(writer.Build())},
        {tree, "seed-cycle", Whole(writer.Build(testdata::AreaTreeFault::ParentCycle))},
        {tree, "seed-crossing", Whole(writer.Build(testdata::AreaTreeFault::NodeCrossesBlock))},
        {tree, "seed-patches", {0, 31, 0, 0xFF, 32, 0, 0x7F}},
        {list, "seed-list", Whole(testdata::WriteAreaList(entries))},
        {list, "seed-count-past-end",
         Whole(testdata::WriteAreaList(entries, testdata::AreaListFault::CountPastEnd))},
        {list, "seed-patches", {0, 4, 0, 0xFF}},
    };
}

// The sign-table reader reads the input as its three files; sign information reads it as an ADAS
// record (mode byte 1: whole record; else patches over its own).
std::vector<Seed> SignSeeds() {
    const char* tables =
        "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_signtables_fuzz";
    const char* info = "basiccomp/retrievalengine/code/fuzz/corpus/retrievalengine_signinfo_fuzz";
    const testdata::AdasRecord record{3,
                                      (2u << 28) | (1u << 31) | (1u << 19),
                                      {{0x1234, "A1", true, {}}, {5, "", false, {}}},
                                      {}};
    testdata::AdasRecord broken = record;
    broken.entries.push_back({9, "x", true, std::int16_t{-2}});
    return {
        {tables, "seed-lines", Text(testdata::SignTableText({{"12", "7"}, {"7", "Stop"}}, true))},
        {tables, "seed-no-tab", Text("12 7\n\t\n3\tend")},
        {info, "seed-record", Whole(testdata::EncodeAdasRecord(5, record))},
        {info, "seed-negative-length", Whole(testdata::EncodeAdasRecord(5, broken))},
        {info, "seed-patches", {0, 12, 0, 0xFF, 13, 0, 0x7F}},
    };
}

// The receiver stand-in: its scenario text for the INI-style reader; for the replay readers a
// mode byte (even: RDS groups, odd: NMEA) and the file.
// The matcher's state file: an empty history, and a wrapped one with a matched record.
std::vector<Seed> MatcherStateSeeds() {
    const char* corpus = "positioning/fuzz/corpus/positioning_matcherstate_fuzz";
    testdata::MatcherStateFields matched;
    matched.raw = {9.5f, 47.0f};
    matched.snapped = {9.5f, 47.0001f};
    matched.street = 12;
    matched.speed = 40;
    matched.flags = 3;
    matched.index = 383;
    matched.wrapped = 1;
    return {
        {corpus, "seed-empty", testdata::MatcherStateWriter().Build()},
        {corpus, "seed-wrapped", testdata::MatcherStateWriter().SetFields(matched).Build()},
    };
}

// The matcher's fix batches: a drive east along a street with a turn, a tunnel and a jump, in
// simple and full mode.
std::vector<Seed> MatcherUpdateSeeds() {
    const char* corpus = "positioning/fuzz/corpus/positioning_matcherupdate_fuzz";
    std::vector<testdata::EncodedFix> drive;
    for (std::int16_t i = 0; i < 12; ++i) {
        testdata::EncodedFix fix;
        fix.east = static_cast<std::int16_t>(8 * i);
        fix.north = static_cast<std::int16_t>(i % 3 - 1);
        fix.course = 90;
        fix.speed = 30;
        drive.push_back(fix);
    }
    std::vector<testdata::EncodedFix> eventful = drive;
    eventful[4].satellites = 2;
    eventful[5].satellites = 2;
    eventful[6].endsBatch = false;
    eventful[8].east = 600;
    eventful[9].speed = 2;
    eventful[10].delayMs = 900;
    eventful[11].course = 0;
    eventful[11].north = 20;
    eventful[11].seconds = 0;
    return {
        {corpus, "seed-simple", testdata::EncodeFixes(true, drive)},
        {corpus, "seed-full", testdata::EncodeFixes(false, drive)},
        {corpus, "seed-eventful", testdata::EncodeFixes(false, eventful)},
    };
}

std::vector<Seed> ReceiverSeeds() {
    const char* ini = "platform/receiver/fuzz/corpus/receiver_ini_fuzz";
    const char* replay = "platform/receiver/fuzz/corpus/receiver_replay_fuzz";
    testdata::ScenarioStation station;
    station.programmeId = 0xD3C2;
    station.name = "TMC";
    station.radiotext = "Traffic";
    station.alternativeFrequencies = {1017, 1042, 880};
    station.groups = "groups.txt";
    testdata::ReceiverScenarioWriter scenario;
    scenario.SetReplay("\\gps\\track.nmea", 2).SetNotifyAfter(500).AddStation(station);
    testdata::RdsGroupFileWriter groups;
    groups.Add({0xD3C2, 0x8408, 0xC852, 0x2550}).Add({0xD3C2, 0x8408, 0x4123, 0x0000});
    testdata::RdsGroupFileWriter shortGroups;
    shortGroups.SetShortForm(true).SetLowerCase(true).SetCrLf(true).Add({0, 0x8408, 0xC852, 1});
    testdata::NmeaFixValues fix;
    testdata::NmeaWriter nmea;
    nmea.AddCycle(fix).AddSentence("GPGSV,1,1,00");
    fix.second = 1;
    nmea.AddCycle(fix);
    return {
        {ini, "seed-scenario", Text(scenario.Build())},
        {ini, "seed-bad-number", Text(scenario.Build(testdata::ReceiverScenarioFault::BadNumber))},
        {ini, "seed-duplicate",
         Text(scenario.Build(testdata::ReceiverScenarioFault::DuplicateStation))},
        {replay, "seed-groups",
         Concat({{0}, Text(groups.Build(testdata::RdsGroupFault::GarbageLine))})},
        {replay, "seed-short-groups",
         Concat({{2}, Text(shortGroups.Build(testdata::RdsGroupFault::TornLastLine))})},
        {replay, "seed-nmea", Concat({{1}, Text(nmea.Build())})},
        {replay, "seed-nmea-bare", Concat({{3}, Text("$GPVTG,090.0,T,,M\n$GPGGA,1\r\n")})},
    };
}

// The RDS-TMC decoder: a byte choosing the piece size, then group text.
std::vector<Seed> TmcSeeds() {
    const char* decoder = "traffic/fuzz/corpus/tmc_decoder_fuzz";
    testdata::AlertCMessage single;
    single.event = 101;
    single.location = 12345;
    testdata::AlertCMessage multi = single;
    multi.labels = {{1, 3}, {9, 803}, {8, 0xF4}, {9, 513}, {9, 100}, {9, 7}, {9, 1}};
    testdata::AlertCEncoder encoder;
    encoder.AddTable(0xD301, 58).AddMessage(single).AddMessage(multi);
    // As stations send them: each group three times with RT+ announced in groups 3A between,
    // the programme type changing in the middle of the multi-group message's repeats.
    testdata::RdsGroupFileWriter station;
    for (const testdata::AlertCEncoder::Group& group : encoder.Groups()) {
        station.Add(group);
    }
    station.SetCopies(3).SetFiller(testdata::RdsGroupFiller::RadioTextPlus);
    station.SetProgrammeTypeFrom(3, 1, 9, true);
    // A message without its last group, then again without its second.
    testdata::AlertCEncoder missed;
    missed.AddTable(0xD301, 58, testdata::kTmcSecondApplicationId);
    missed.AddMessage(multi, testdata::AlertCFault::MissingLastGroup);
    missed.AddMessage(multi, testdata::AlertCFault::MissingSecondGroup).AddMessage(single);
    // A recorder's log: the time of reception after each group, joined and with the blocks apart.
    testdata::RdsGroupFileWriter recorded;
    for (const testdata::AlertCEncoder::Group& group : encoder.Groups()) {
        recorded.Add(group);
    }
    const std::string stamped =
        recorded.SetLayout(testdata::RdsGroupLayout::StampedDigits).Build() +
        recorded.SetLayout(testdata::RdsGroupLayout::StampedBlocks).Build();
    return {
        {decoder, "seed-messages", Concat({{7}, Text(encoder.Build())})},
        {decoder, "seed-repeated",
         Concat({{16}, Text(encoder.Build(testdata::AlertCFault::RepeatedGroup))})},
        {decoder, "seed-short-form",
         Concat({{0}, Text(encoder.Build(testdata::AlertCFault::ShortForm))})},
        {decoder, "seed-station-log", Concat({{31}, Text(station.Build())})},
        {decoder, "seed-missed-groups", Concat({{16}, Text(missed.Build())})},
        {decoder, "seed-recorder-log", Concat({{8}, Text(stamped)})},
    };
}

// The TMC tables: a slot byte, then the table file input (odd mode: the file itself; even: patches
// over the sample table of that slot). A seed for each slot's own table, and one giving the events
// slot another table's columns. The TMC message: one 28-byte record.
std::vector<Seed> TmcDataSeeds() {
    const char* tables = "traffic/fuzz/corpus/tmc_tables_fuzz";
    const char* messages = "traffic/fuzz/corpus/tmc_message_fuzz";
    const auto files = testdata::TmcTablesWriter(testdata::TmcSampleTables()).BuildTables();
    const Bytes single = {0xD3, 0x01, 0x04, 0x0D, 0x40, 101, 0, 103, 0, 0, 0, 0, 0, 0,
                          0,    0,    0,    0,    0,    0,   0, 0,   0, 0, 0, 0, 0, 0};
    // Multi-group, extent 2, labels 1 (control code 3), 9 (event 401), 0 (duration 4).
    const Bytes multi = {0xD3, 0x01, 0x04, 0x00, 0x50, 101,  0,    101, 0x10, 0x79,
                         0x19, 0x08, 0x80, 0,    0,    0,    0,    0,   0,    0,
                         0,    0,    0,    0,    0x60, 0x2E, 0x00, 0x00};
    // In slot order.
    const std::pair<const char*, const char*> slots[] = {
        {"seed-cookie", "Loc2Cookie.fsr"},      {"seed-events", "Events.fsr"},
        {"seed-area", "Loc2Area.fsr"},          {"seed-chain", "Loc2Chain.fsr"},
        {"seed-first", "Loc2First.fsr"},        {"seed-line", "Loc2Line.fsr"},
        {"seed-road-name", "Loc2RoadName.fsr"}, {"seed-road-number", "Loc2RoadNum.fsr"},
        {"seed-type", "Loc2Type.fsr"},          {"seed-second", "Loc2Second.fsr"},
        {"seed-sign-names", "EUC2SFN.fsr"},
    };
    std::vector<Seed> seeds;
    for (std::uint8_t slot = 0; slot < std::size(slots); ++slot) {
        seeds.push_back(
            {tables, slots[slot].first, Concat({{slot, 1}, files.at(slots[slot].second)})});
    }
    seeds.push_back({tables, "seed-other-columns", Concat({{1, 1}, files.at("Loc2Chain.fsr")})});
    seeds.push_back({tables, "seed-patches", {4, 0, 0x04, 0x10, 0x41, 0x04, 0x20, 0x42}});
    seeds.push_back({messages, "seed-single", single});
    seeds.push_back({messages, "seed-multi", multi});
    return seeds;
}

// The sentence parser: receiver output for the feed target (clean, faulty, GN, the sentence mixes
// of other receivers with a restart and a void cycle), and settings
// texts for the definition loader.
std::vector<Seed> SentenceSeeds() {
    const char* feed = "positioning/fuzz/corpus/sentence_feed_fuzz";
    const char* load = "positioning/fuzz/corpus/sentence_load_fuzz";
    testdata::NmeaFixValues fix;
    std::vector<Seed> seeds;
    for (const auto& [name, fault] :
         {std::pair{"seed-cycles", testdata::NmeaFault::None},
          std::pair{"seed-no-checksum", testdata::NmeaFault::NoChecksumDelimiter},
          std::pair{"seed-cut-short", testdata::NmeaFault::CutShort},
          std::pair{"seed-overlong", testdata::NmeaFault::OverlongLine},
          std::pair{"seed-garbage", testdata::NmeaFault::GarbageBetween}}) {
        testdata::NmeaWriter nmea;
        nmea.SetFault(fault).AddCycle(fix);
        fix.latitude = -fix.latitude;
        nmea.SetFault(testdata::NmeaFault::None).AddCycle(fix);
        seeds.push_back({feed, name, Text(nmea.Build())});
    }
    for (const auto& [name, mix] : {std::pair{"seed-gsa-rmc", testdata::NmeaMix::GsaRmc},
                                    std::pair{"seed-rmc-rmb-gga", testdata::NmeaMix::RmcRmbGga}}) {
        testdata::NmeaWriter nmea;
        testdata::NmeaFixValues values = fix;
        nmea.SetMix(mix).SetTimeFraction(".041").AddCycle(values);
        values.quality = 0;
        nmea.AddRestart().AddCycle(values);
        seeds.push_back({feed, name, Text(nmea.Build())});
    }
    testdata::GpsProtocolSection nmea = testdata::NmeaProtocol();
    nmea.endDelimiter = "^0D^0A";
    nmea.inits = {"PSRF100,1,4800"};
    nmea.multipliers = {{"speed", "0.5"}};
    nmea.offsets = {{"course", "-3"}};
    seeds.push_back(
        {load, "seed-nmea",
         Text(testdata::GpsSettingsWriter().SetDefault("NMEA").AddProtocol(nmea).Build())});
    // The scenario's drive file: a track of two fixes, with the car at the first and without.
    const char* drive = "app/fuzz/corpus/scenario_drive_fuzz";
    testdata::NmeaWriter track;
    testdata::NmeaFixValues second = fix;
    second.longitude += 0.0002;
    second.second = 1;
    track.SetRmc(false).SetTimeFraction("").AddCycle(fix).AddCycle(second);
    const auto longitude = static_cast<float>(fix.longitude);
    const auto latitude = static_cast<float>(fix.latitude);
    Bytes car(2 * sizeof(float));
    std::memcpy(car.data(), &longitude, sizeof(float));
    std::memcpy(car.data() + sizeof(float), &latitude, sizeof(float));
    seeds.push_back({drive, "seed-car", Concat({{4 | 2}, car, Text(track.Build())})});
    seeds.push_back({drive, "seed-no-car", Concat({{1}, Bytes(8), Text(track.Build())})});
    seeds.push_back({load, "seed-odd-delimiters",
                     Text("[NMEA]\nStartDelimiter=^24^\nChecksumDelimiter=^^\nFieldDelimiter=^2\n"
                          "Input1=GPGGA,,,latitude,latitude,,\nInput2=GPGGA,x\n"
                          "Input3=GPVTG\nhdopMultiplier=0\n")});
    return seeds;
}

// The highway drawings: the drawing numbered 16 alone, two joined, a roundabout with a reversed
// arc, and a file with CR LF line ends and a long field.
std::vector<Seed> JunctionDrawingSeeds() {
    const char* corpus = "junctionview/fuzz/corpus/junction_drawing_fuzz";
    const std::vector<testdata::DrawingLine> file16 = {{0, 0, 10, 0, 1}, {10, 0, 10, 5, 2}};
    const std::string first =
        testdata::WriteDrawingFile({{50, 100, 50, 50, 1}, {50, 50, 80, 0, 0}});
    const std::string second =
        testdata::WriteDrawingFile({{50, 100, 50, 0, 1}, {50, 50, 20, 0, 0}});
    testdata::DrawingFuzzHeader roundabout;
    roundabout.flags = 3;
    return {
        {corpus, "seed-drawing-16",
         testdata::WriteDrawingFuzzInput({}, testdata::WriteDrawingFile(file16))},
        {corpus, "seed-joined", testdata::WriteDrawingFuzzInput({}, first, &second)},
        {corpus, "seed-roundabout", testdata::WriteDrawingFuzzInput(roundabout, first)},
        {corpus, "seed-crlf-long-field",
         testdata::WriteDrawingFuzzInput(
             {}, testdata::WriteDrawingFile(file16, testdata::DrawingKnob::CrLf) +
                     testdata::WriteDrawingFile(file16, testdata::DrawingKnob::LongField))},
    };
}

// The junction model's scripted route and map: a T junction and a roundabout.
std::vector<Seed> JunctionModelSeeds() {
    const char* corpus = "junctionview/fuzz/corpus/junction_model_fuzz";
    auto second = testdata::JunctionInputTJunction();
    second.secondDistance = 150;
    second.radiusFactor = 20;
    return {
        {corpus, "seed-t-junction",
         testdata::EncodeJunctionModelInput(testdata::JunctionInputTJunction())},
        {corpus, "seed-roundabout",
         testdata::EncodeJunctionModelInput(testdata::JunctionInputRoundabout())},
        {corpus, "seed-second-junction", testdata::EncodeJunctionModelInput(second)},
    };
}

// The TMC line formatting: a location and an event with every rule's pattern, a line long
// enough to be broken, and patterns at the start and at the end of the text.
std::vector<Seed> TmcTextSeeds() {
    const char* corpus = "ui/fuzz/corpus/tmcmonitor_text_fuzz";
    return {
        {corpus, "seed-message",
         testdata::WriteFuzzTexts({u"Liechtenstein, A 13 Vaduz-Nord - Vaduz-S\u00fcd",
                                   u"Stau, 3 km; Unfall: <-> Richtung ->Feldkirch"})},
        {corpus, "seed-long-lines",
         testdata::WriteFuzzTexts({u"Vaduz", u"a fairly long event text that breaks, twice over, "
                                             u"and once more, at 28 characters"})},
        {corpus, "seed-edges", testdata::WriteFuzzTexts({u",:;<", u"x;", u"y<", u">"})},
    };
}

// The TMC message list: pairs of location and event on roads of both groups and others, with
// equal road numbers, and texts without a second line.
std::vector<Seed> TmcListSeeds() {
    const char* corpus = "app/fuzz/corpus/tmc_list_fuzz";
    return {
        {corpus, "seed-roads",
         testdata::WriteFuzzTexts({u"Liechtenstein, B 3 Vaduz", u"Stau", u"Liechtenstein, A 66",
                                   u"Unfall", u"Liechtenstein, A 3 Balzers", u"Glatteis",
                                   u"Liechtenstein, L 1", u"Nebel"})},
        {corpus, "seed-equal-roads",
         testdata::WriteFuzzTexts(
             {u"FL, A 13 Schaan", u"a", u"FL, A 13 Vaduz", u"b", u"Vaduz", u"ohne Strasse"})},
    };
}

// The destination records: a street with its number, a user-defined point, short records and a
// name with its number in the middle; the category file as plain text and enciphered; a list
// file, whole and with zeroed sectors.
std::vector<Seed> DestinationSeeds() {
    const char* records = "app/fuzz/corpus/uddrecord_fuzz";
    const char* categories = "app/fuzz/corpus/poicategory_fuzz";
    const char* lists = "app/fuzz/corpus/storedlist_fuzz";
    const std::vector<testdata::PoiCategorySource> sources = {
        {"Streets", 1005, 1090}, {"All", -1, -1}, {"Zoo", 7, 8}, {"airport", 1, 2}};
    const std::string plain = testdata::PoiCategoryText(sources);
    return {
        {records, "seed-records",
         testdata::WriteFuzzTexts(
             {testdata::UddRecordText({8.40365f, 49.00937f, u"Karlsruhe", u"Kaiserstrasse 12", u"",
                                       u"", u"", u"", false}),
              testdata::UddRecordText(
                  {-3.25f, -0.5f, u"", u"Tankstelle", u"Baden", u"", u"Mitte", u"", true}),
              u"2|1|2", u"Zone 5 Nord"})},
        {categories, "seed-plain", Bytes(plain.begin(), plain.end())},
        {categories, "seed-enciphered", Text(testdata::WritePoiCategoryFile(sources))},
        {lists, "seed-list",
         Text(testdata::WriteListSection(
             "Recent",
             {testdata::UddRecordText({8.40365f, 49.00937f, u"Karlsruhe", u"Kaiserstrasse 12", u"",
                                       u"", u"", u"", false}),
              u"2|1|2|Vaduz||"},
             "[Preferences]\r\nLastKnownCountry=3\r\n"))},
        {lists, "seed-zeroed",
         Text(testdata::WriteListSection("Recent", {u"2|1|2|Vaduz||"}, "",
                                         testdata::ListSectionFault::ZeroedTail))},
    };
}

// The contact store's vCard reading and the contact session over the file: the demo contacts
// in the versions and shapes exports have (2.1 quoted-printable with soft breaks and a photo,
// Windows-1252, CR-only lines folded inside characters, groups with quoted type lists and a
// byte-order mark), a cut file, a line of many components, and the zero bytes after a folded
// value ending in a backslash that once made the reader run past the card.
std::vector<Seed> ContactSeeds() {
    const char* corpus = "platform/contacts/fuzz/corpus/contacts_vcard_fuzz";
    const char* session = "app/fuzz/corpus/contacts_fuzz";
    const std::vector<testdata::VCardContact> demo = testdata::DemoContacts();
    const std::string v3 = testdata::WriteVCards(demo, testdata::VCardVersion::V30);
    const std::string v4 = testdata::WriteVCards(demo, testdata::VCardVersion::V40, 20);
    std::vector<testdata::VCardContact> withPhoto = demo;
    withPhoto[1].photoBytes = 300;
    testdata::VCardStyle android;
    android.version = testdata::VCardVersion::V21;
    android.text = testdata::VCardText::QuotedPrintable;
    const std::string v21 = testdata::WriteVCards(withPhoto, android);
    testdata::VCardStyle outlook;
    outlook.version = testdata::VCardVersion::V21;
    outlook.text = testdata::VCardText::Windows1252;
    testdata::VCardStyle crFolded;
    crFolded.lineEnd = testdata::VCardLineEnd::Cr;
    crFolded.foldAt = 7;
    crFolded.foldInsideCharacters = true;
    testdata::VCardStyle grouped;
    grouped.version = testdata::VCardVersion::V40;
    grouped.groups = true;
    grouped.types = testdata::VCardTypes::QuotedList;
    grouped.byteOrderMark = true;
    testdata::VCardContact manyComponents = demo[1];
    manyComponents.otherLines = {"ADR;TYPE=WORK:;;Street 1;Vaduz;;9490;LI" + std::string(300, ';')};
    testdata::VCardContact zeroBytes = demo[0];
    zeroBytes.otherLines = {"NOTE:" + std::string(80, 'x') + "\\" + std::string("\0\0end", 5)};
    const std::string fault =
        testdata::WriteVCards({zeroBytes, demo[1]}, testdata::VCardVersion::V30);
    return {
        {corpus, "seed-v3", Text(v3)},
        {corpus, "seed-v4-folded", Text(v4)},
        {corpus, "seed-cut", Text(v3.substr(0, v3.size() / 2))},
        {corpus, "seed-group-without-value",
         Text("BEGIN:VCARD\r\nA.B\r\nN:A..:x\r\nA..:x\r\nEND:VCARD\r\n")},
        {corpus, "seed-v21-quoted-printable", Text(v21)},
        {corpus, "seed-v21-windows-1252", Text(testdata::WriteVCards(demo, outlook))},
        {corpus, "seed-cr-folded-inside-characters", Text(testdata::WriteVCards(demo, crFolded))},
        {corpus, "seed-v4-groups-quoted-types", Text(testdata::WriteVCards(demo, grouped))},
        {corpus, "seed-many-components",
         Text(testdata::WriteVCards({manyComponents}, testdata::VCardVersion::V30))},
        {corpus, "fault-zero-bytes-after-folded-backslash", Text(fault)},
        {session, "seed-v3", Text(v3)},
        {session, "seed-v4-folded", Text(v4)},
        {session, "seed-v21-quoted-printable", Text(v21)},
        {session, "fault-zero-bytes-after-folded-backslash", Text(fault)},
    };
}

// The logbook replaced in place: a trip with a status line, a file shorter than the scan's start,
// lines of bare line feeds and a file without any line feed.
std::vector<Seed> LogbookSeeds() {
    const char* corpus = "app/fuzz/corpus/logbook_replace_fuzz";
    const std::string trip =
        "\r\nMarke\tZweck\r\nStart\tKunde\t\t\t08.12.2026\t11:00:00\t00:00:00\t"
        "00:00:00\t0,0\t0,0\r\nStatus\t\t\t\t08.12.2026\t11:01:00\t00:01:00\t"
        "00:01:00\t1,1\t1,1\r\n";
    const std::string shortFile = "Status\t\t\t\t0,0\r\n";
    const std::string bareLines = "a\nb\n\n\ncdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ\n";
    const std::string noLineFeed(60, 'x');
    return {
        {corpus, "seed-trip", Bytes(trip.begin(), trip.end())},
        {corpus, "seed-short", Bytes(shortFile.begin(), shortFile.end())},
        {corpus, "seed-bare-lines", Bytes(bareLines.begin(), bareLines.end())},
        {corpus, "seed-no-line-feed", Bytes(noLineFeed.begin(), noLineFeed.end())},
    };
}

int main(int argc, char** argv) {
    if (argc != 2) {
        (void)std::fprintf(stderr, "usage: fuzzseeds SOURCE_ROOT\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    int status = 0;
    for (const auto& group : {FormatSeeds(),
                              ArchiveSeeds(),
                              BundleSeeds(),
                              SettingsSeeds(),
                              TableSeeds(),
                              NameSeeds(),
                              WaveSeeds(),
                              DialogSeeds(),
                              BitmapSeeds(),
                              AdvisorSeeds(),
                              DatasetSeeds(),
                              MapDataSeeds(),
                              SearchSeeds(),
                              CityIndexSeeds(),
                              LevelFileSeeds(),
                              RoadNetworkSeeds(),
                              AreaSeeds(),
                              SignSeeds(),
                              OptimisedChainSeeds(),
                              ReceiverSeeds(),
                              TmcSeeds(),
                              MatcherStateSeeds(),
                              SentenceSeeds(),
                              TmcDataSeeds(),
                              StyleSheetSeeds(),
                              MatcherUpdateSeeds(),
                              EmfSeeds(),
                              JunctionModelSeeds(),
                              JunctionDrawingSeeds(),
                              ScreenDescSeeds(),
                              TmcTextSeeds(),
                              TmcListSeeds(),
                              InstanceRequestSeeds(),
                              DestinationSeeds(),
                              ContactSeeds(),
                              LogbookSeeds(),
                              InstalledFilesSeeds()}) {
        for (const Seed& seed : group) {
            const std::filesystem::path folder = root / seed.corpus;
            std::error_code error;
            std::filesystem::create_directories(folder, error);
            if (error || seed.bytes.empty() ||
                !testdata::WriteHostFile(folder / seed.name, seed.bytes)) {
                (void)std::fprintf(stderr, "fuzzseeds: cannot write %s/%s\n", folder.c_str(),
                                   seed.name.c_str());
                status = 1;
            }
        }
    }
    return status;
}
