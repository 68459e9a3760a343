#include "tools/install/userfiles.h"

#include "testdata/tempdir.h"
#include "tools/install/helpviewer.h"
#include "tools/install/installlayout.h"
#include "tools/install/installswap.h"
#include "tools/osm/osmconvert.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/filerewrite.h"
#include "platform/files/mutex.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace demoinstall {
namespace {

namespace fs = std::filesystem;

// The user's files whose lines an install laid over an earlier one keeps: the logbook, and the
// sections the program writes for the user in its settings files (names in lower case): the
// presettings and the "Recent" and "Personal" lists of the settings file, the tour points, the
// help viewer of the launch file and, with a map of the same area, the database's map-specific
// list.
constexpr char kLogbookFile[] = "Fahrtenbuch.txt";
constexpr std::string_view kSettingsSections[] = {"preferences", "recent", "personal"};
constexpr char kTourPointsFile[] = "Routenpunkte.ini";
constexpr std::string_view kTourPointsSections[] = {"destlist"};
constexpr char16_t kMapListFile[] = u"\\data.ini";
constexpr std::string_view kMapListSections[] = {"mapspecific"};
// The help viewer the user named in the launch file.
constexpr std::string_view kLaunchSections[] = {"peghelp.exe"};
// The user's documents, kept as the user left them (the folder's name in lower case).
constexpr std::string_view kDocumentsFolder = "my documents";
// The network file's section with the map's extent, and the extent's keys.
constexpr char16_t kExtentSection[] = u"Map 0";
constexpr std::u16string_view kExtentKeys[] = {u"x1", u"y1", u"x2", u"y2"};
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// The settings files (names in lower case end so): one the user changed is kept, and the new
// install's laid beside it under this suffix.
constexpr std::string_view kSettingsSuffix = ".ini";
constexpr char kBesideSuffix[] = ".new";
// A line left out of a kept section is named with at most this many of its first bytes.
constexpr std::size_t kNamedLineBytes = 24;

struct KeptFile {
    fs::path path;                              // below the root
    std::span<const std::string_view> sections; // the user's; none: every line
    bool isOfTheMap = false;                    // kept only over a map of the same area
};

const std::vector<KeptFile>& KeptFiles() {
    static const std::vector<KeptFile> files = {
        {kLogbookFile, {}},
        {kSettingsFile, kSettingsSections},
        {kTourPointsFile, kTourPointsSections},
        {HostRelative(Data(kMapListFile)), kMapListSections, true},
        {HostRelative(kLaunchFile), kLaunchSections},
    };
    return files;
}

const KeptFile* KeptFileAt(const fs::path& relative) {
    const auto& files = KeptFiles();
    const auto found = std::find_if(files.begin(), files.end(),
                                    [&](const KeptFile& file) { return file.path == relative; });
    return found != files.end() ? &*found : nullptr;
}

bool IsDocument(const fs::path& relative) {
    return !relative.empty() && Lower(relative.begin()->string()) == kDocumentsFolder;
}

bool IsSettingsFile(const fs::path& relative) {
    return !IsDocument(relative) && Lower(relative.filename().string()).ends_with(kSettingsSuffix);
}

// Whether a link lies on the way from `root` to `relative` (its last component too, with
// `isLastCounted`), so that what lies there is not the install's to write.
bool IsThroughLink(const fs::path& root, const fs::path& relative, bool isLastCounted) {
    fs::path path = root;
    std::error_code error;
    for (auto part = relative.begin(); part != relative.end(); ++part) {
        path /= *part;
        if (!isLastCounted && std::next(part) == relative.end())
            break;
        if (fs::is_symlink(fs::symlink_status(path, error)))
            return true;
    }
    return false;
}

// The header's section name of a settings file's line ("[Recent]" gives "recent", any case);
// nullopt for other lines. `header` takes the header as written.
std::optional<std::string> SectionName(std::string_view line, std::string* header = nullptr) {
    const std::size_t open = line.find_first_not_of(" \t");
    const std::size_t close = line.find(']');
    if (open == std::string_view::npos || line[open] != '[' || close == std::string_view::npos ||
        close < open)
        return std::nullopt;
    if (header != nullptr)
        *header = line.substr(open, close - open + 1);
    return Lower(line.substr(open + 1, close - open - 1));
}

// Whether lines under a header of this name are the user's (every line when `sections` is
// empty).
bool IsUserSection(const std::optional<std::string>& name,
                   std::span<const std::string_view> sections) {
    return sections.empty() ||
           (name && std::find(sections.begin(), sections.end(), *name) != sections.end());
}

// A line left out for its NUL bytes, as a message names it: its number, its section's header
// and the first bytes before the first NUL.
std::string LeftOutLine(std::string_view line, std::size_t number, const std::string& header) {
    std::string named = "line " + std::to_string(number);
    if (!header.empty())
        named += " of " + header;
    std::string_view text = line.substr(0, line.find('\0'));
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    if (text.empty())
        return named + " (NUL bytes only)";
    const bool isCut = text.size() > kNamedLineBytes;
    return named + " (\"" + std::string(text.substr(0, kNamedLineBytes)) + (isCut ? "..." : "") +
           "\" and NUL bytes)";
}

// The lines of a text file, each with its line end, byte for byte, that lie in `sections`
// (`isUser`; every line when `sections` is empty) or in the others. A line holding NUL bytes
// (zeroed sectors after a power loss) is never taken: a settings file holding one is never
// rewritten by the program. Those of the chosen sections are named in `leftOut`.
std::string SectionsOf(std::string_view text, std::span<const std::string_view> sections,
                       bool isUser, std::vector<std::string>* leftOut = nullptr) {
    std::string kept;
    std::string header;
    bool isInUser = sections.empty();
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
        const std::string_view line = text.substr(at, end - at);
        at = end;
        ++number;
        if (line.find('\0') != std::string_view::npos) {
            if (isInUser == isUser && leftOut != nullptr)
                leftOut->push_back(LeftOutLine(line, number, header));
            continue;
        }
        if (const std::optional<std::string> name = SectionName(line, &header))
            isInUser = IsUserSection(name, sections);
        if (isInUser == isUser)
            kept += line;
    }
    return kept;
}

// The text of a settings file without its UTF-8 byte-order mark; `isUtf8` tells whether it had one.
std::string_view WithoutMark(std::string_view text, bool& isUtf8) {
    isUtf8 = text.starts_with(kByteOrderMark);
    if (isUtf8)
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

// The user's sections of a file of the earlier install, without the lines that hold NUL bytes
// (named in a line to `log`) and without a byte-order mark (`isUtf8` tells whether the file had
// one). Empty when the file is not there; nullopt when it is but cannot be read.
std::optional<std::string> EarlierSections(const fs::path& path,
                                           std::span<const std::string_view> sections, bool& isUtf8,
                                           std::ostream& log) {
    isUtf8 = false;
    const FileRead file = ReadRegularFile(path);
    if (!file.isThere)
        return std::string();
    const std::optional<std::string>& text = file.bytes;
    if (!text)
        return std::nullopt;
    std::vector<std::string> leftOut;
    std::string kept = SectionsOf(WithoutMark(*text, isUtf8), sections, true, &leftOut);
    if (!leftOut.empty()) {
        log << "installdemo: " << path.string() << " is damaged; left out of the new install, as "
            << (leftOut.size() == 1 ? "it holds" : "they hold") << " NUL bytes:";
        for (std::size_t i = 0; i < leftOut.size(); ++i)
            log << (i == 0 ? " " : ", ") << leftOut[i];
        log << "\n";
    }
    return kept;
}

// Whether the user's sections of a file of an earlier install, `sections` (read by
// EarlierSections), are as an install lays them: those of the new install's `made` text, or, of
// the launch file, those naming any viewer an install names or none, so that an earlier install's
// line saying it found none is not taken for the user's.
bool IsAsLaid(const fs::path& file, const std::string& sections, const std::string& made) {
    const KeptFile* kept = KeptFileAt(file);
    if (kept == nullptr)
        return false;
    std::vector<std::string> laid = {made};
    if (file == HostRelative(kLaunchFile)) {
        laid.push_back(LaunchFileText(""));
        for (const char* viewer : kHelpViewers)
            laid.push_back(LaunchFileText(viewer));
    }
    return std::any_of(laid.begin(), laid.end(), [&](const std::string& text) {
        bool isUtf8 = false;
        return SectionsOf(WithoutMark(text, isUtf8), kept->sections, true) == sections;
    });
}

// Puts the user's sections of a file of the earlier install (`file` below both roots) in place
// of those of the staging folder's file, which is made when only the earlier install had it; a
// file missing from the earlier install leaves the new one as it is, and a file the user's link or
// other entry took the place of is left to it, as are sections as the installer lays them. A file
// in UTF-8 (with its byte-order mark) stays one. Empty, or why a file cannot be read or written.
std::string KeepSections(const fs::path& earlier, const fs::path& staging, const fs::path& file,
                         std::span<const std::string_view> sections, std::ostream& log) {
    std::error_code error;
    if (!fs::is_regular_file(fs::symlink_status(earlier / file, error)) ||
        IsThroughLink(staging, file, true) ||
        (IsThere(staging / file) &&
         !fs::is_regular_file(fs::symlink_status(staging / file, error))))
        return ""; // nothing to keep, or the user's entry kept in its place

    bool isUtf8 = false;
    const std::optional<std::string> kept = EarlierSections(earlier / file, sections, isUtf8, log);
    if (!kept)
        return (earlier / file).string() + ": cannot be read";
    const FileRead madeFile = ReadRegularFile(staging / file);
    const std::optional<std::string> made = madeFile.isThere ? madeFile.bytes : std::string();
    if (!made)
        return (staging / file).string() + ": " + madeFile.problem;
    if (IsAsLaid(file, *kept, *made))
        return ""; // not the user's: the new install's stays
    bool isMadeUtf8 = false;
    std::string merged = SectionsOf(WithoutMark(*made, isMadeUtf8), sections, false);
    if (!merged.empty() && merged.back() != '\n')
        merged += "\r\n";
    merged += *kept;
    if (isUtf8 || isMadeUtf8)
        merged.insert(0, kByteOrderMark);
    std::ofstream out(staging / file, std::ios::binary | std::ios::trunc);
    out << merged;
    out.close();
    return out ? "" : Failed(staging / file, "cannot be written");
}

// The extent of the map of an install's database ("x1", "y1", "x2", "y2" of its network file's
// "[Map 0]"), by which the navigation server tells databases apart; empty when the file cannot
// be read or a value is missing.
std::vector<double> MapExtent(const fs::path& root) {
    const std::optional<std::string> text =
        ReadRegularFile(root / HostRelative(Data(osm2nav::kNetworkFile))).bytes;
    if (!text)
        return {};
    const auto keys = IniProfile::GetSectionOfText(*text, kExtentSection);
    std::vector<double> extent;
    for (const std::u16string_view key : kExtentKeys) {
        const auto found = std::find_if(keys.begin(), keys.end(), [key](const auto& line) {
            return platform::CompareNoCase(line.first, key) == 0;
        });
        const std::string value = found != keys.end() ? platform::Utf16ToUtf8(found->second) : "";
        double number = 0;
        if (value.empty() ||
            std::from_chars(value.data(), value.data() + value.size(), number).ec != std::errc())
            return {};
        extent.push_back(number);
    }
    return extent;
}

// The digest of a file below `root` as the list records it: of the lines outside the user's
// sections for a file whose user sections are kept, of all its bytes otherwise; nullopt when it
// is not a regular file or cannot be read. `as` names the file whose place it takes, when it lies
// beside that one.
std::optional<Digest> DigestOf(const fs::path& root, const fs::path& relative,
                               const fs::path& as = {}) {
    Digest digest;
    if (const KeptFile* kept = KeptFileAt(as.empty() ? relative : as)) {
        const std::optional<std::string> text = ReadRegularFile(root / relative).bytes;
        if (!text)
            return std::nullopt;
        bool isUtf8 = false;
        digest.Add(SectionsOf(WithoutMark(*text, isUtf8), kept->sections, false));
        return digest;
    }
    // Any other file block by block: the user's may be of any size.
    const FileRead file = ReadRegularFileInBlocks(
        root / relative, [&](std::string_view block) { digest.Add(block); });
    if (!file.isThere || !file.problem.empty())
        return std::nullopt;
    return digest;
}

// The list of the files an install laid out, read from its root, and why it does not read whole
// when it does not.
struct ReadList {
    std::optional<Manifest> manifest;
    std::string damage;
};

// The list of the files an install laid out, from its root. Without a list, no manifest; a list
// that does not read whole (ParseManifest), or misses a file every install lays while the earlier
// install holds it, is no manifest either, and says why: neither tells the install's files apart.
ReadList ReadManifest(const fs::path& root) {
    const FileRead file = ReadRegularFile(root / kManifestFile);
    if (!file.bytes)
        return {std::nullopt, file.problem};
    ParsedManifest parsed = ParseManifest(*file.bytes);
    if (!parsed.files)
        return {std::nullopt, parsed.damage};
    for (const char* always : {kProgramFile, kSettingsFile}) {
        std::error_code error;
        if (!parsed.files->contains(always) &&
            fs::is_regular_file(fs::symlink_status(root / always, error)))
            return {std::nullopt, std::string("it does not name ") + always};
    }
    return {std::move(parsed.files), ""};
}

// The entries below a folder by their paths below it ('/' separators), with their types (links
// not followed), in order; nullopt when one of its folders cannot be read or lies on another file
// system than the folder (a mount point, never entered), which `problem` names with why.
std::optional<std::map<std::string, fs::file_type>> EntriesBelow(const fs::path& root,
                                                                 std::string* problem = nullptr) {
    std::map<std::string, fs::file_type> entries;
    struct stat status {};
    const dev_t device = ::lstat(root.c_str(), &status) == 0 ? status.st_dev : 0;
    for (std::vector<fs::path> folders = {root}; !folders.empty();) {
        const fs::path folder = folders.back();
        folders.pop_back();
        std::error_code error;
        if (folder != root && IsOnAnotherFileSystem(folder, device)) {
            if (problem != nullptr)
                *problem = folder.string() + kMountedHere;
            return std::nullopt;
        }
        for (auto it = fs::directory_iterator(folder, error);
             !error && it != fs::directory_iterator(); it.increment(error)) {
            const fs::file_type type = it->symlink_status(error).type();
            entries[it->path().lexically_relative(root).generic_string()] = type;
            if (type == fs::file_type::directory)
                folders.push_back(it->path());
        }
        if (error) {
            if (problem != nullptr)
                *problem = folder.string() + ": cannot be read: " + error.message();
            return std::nullopt;
        }
    }
    return entries;
}

// Whether an entry of an earlier install is the socket of the program's instance channel that a
// run of it killed left at the root: the program's, not the user's, and made anew by its next run.
bool IsStaleChannelSocket(const std::string& name, fs::file_type type) {
    return type == fs::file_type::socket && platform::IsNamedMutexSocketFile(name);
}

// Copies a file, link or other entry (a FIFO, say) of the earlier install over the staging
// folder's, its folders made; an entry that is neither a file nor a link is made anew as what it
// is, with its mode.
std::string Carry(const fs::path& from, const fs::path& to, fs::file_type type) {
    std::error_code error;
    fs::create_directories(to.parent_path(), error);
    if (!error && type != fs::file_type::regular)
        fs::remove_all(to, error); // the new install's, a folder say
    struct stat status {};
    if (error) {
    } else if (type == fs::file_type::symlink) {
        fs::copy_symlink(from, to, error);
    } else if (type == fs::file_type::regular) {
        error = CopyRegularFile(from, to);
    } else if (::lstat(from.c_str(), &status) != 0 ||
               ::mknod(to.c_str(), status.st_mode & (S_IFMT | 0777), status.st_rdev) != 0 ||
               ::chmod(to.c_str(), status.st_mode & 07777) != 0) {
        error = std::error_code(errno, std::generic_category());
    }
    return CopyProblem(to, from, error);
}

// The user's whole settings file (`name` below both roots) in place of the new install's, which
// goes beside it as "<name>.new" (`isBeside`). A file whose user's sections are kept is taken
// without its lines holding NUL bytes, named in a line to `log`.
std::string KeepUsersSettings(const fs::path& earlier, const fs::path& staging,
                              const std::string& name, bool isBeside, std::ostream& log) {
    const fs::path to = staging / name;
    std::error_code error;
    if (isBeside)
        fs::rename(to, fs::path(to).concat(kBesideSuffix), error);
    if (error)
        return to.string() + ": cannot be renamed: " + error.message();
    if (KeptFileAt(name) == nullptr)
        return Carry(earlier / name, to, fs::file_type::regular);
    bool isUtf8 = false;
    const std::optional<std::string> whole = EarlierSections(earlier / name, {}, isUtf8, log);
    if (!whole)
        return (earlier / name).string() + ": cannot be read";
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << (isUtf8 ? kByteOrderMark : "") << *whole;
    out.close();
    return out ? "" : Failed(to, "cannot be written");
}

// A message on a file of the install's own that the user changed and the new install replaces
// (or no longer has, `isLaid` false); empty when the file is as the earlier install laid it out.
std::string ReplacedChange(const fs::path& earlier, const fs::path& staging,
                           const std::string& name, bool isLaid, const Manifest* manifest) {
    const std::optional<Digest> now = DigestOf(earlier, name);
    const std::optional<Digest> own =
        manifest != nullptr ? std::optional(manifest->find(name)->second) : DigestOf(staging, name);
    if (now && own && *now == *own)
        return "";
    const std::string what = KeptFileAt(name) != nullptr ? "outside the user's sections " : "";
    std::string message = "installdemo: " + (earlier / name).string() + ": ";
    if (manifest == nullptr)
        return message + "differs " + what +
               "from the new install's, which replaces it (the earlier install has no list of "
               "its own files)\n";
    message += "changed " + what + "since it was installed; ";
    return message + (isLaid ? "the new install's replaces it\n"
                             : "left out, as the new install has no such file\n");
}

// How a file or link of the earlier install goes into the new one.
enum class Keeping {
    Replaced,  // by the new install's, or left out with it; or its lines kept apart
    Carried,   // the user's, over the new install's
    BesideNew, // the user's settings, with the new install's beside them
    Offered,   // the user's settings, over the new install's, which was offered before
};

// How a file or link of the earlier install goes into the new one: a link and a file the earlier
// install did not lay out (by its list; without one, a file the new install does not lay out) are
// the user's, but for the kept files, whose lines are kept apart; so are a document the user
// changed and a settings file of the install's own the user changed, which the new install's goes
// beside. A change to another file of the install's own is named in a line to `log`.
Keeping HowKept(const fs::path& earlier, const fs::path& staging, const std::string& name,
                fs::file_type type, const Manifest* manifest, std::ostream& log) {
    const bool isLaid = IsThere(staging / name);
    const bool isDocument = IsDocument(name);
    const std::string named = "installdemo: " + (earlier / name).string() + ": ";
    if (type == fs::file_type::symlink) {
        if (isLaid && !isDocument)
            log << named << "the user's link, kept in place of the new install's\n";
        return Keeping::Carried;
    }
    if (type != fs::file_type::regular) {
        struct stat status {};
        (void)::lstat((earlier / name).c_str(), &status);
        log << named << "not a regular file but " << KindOfEntry(status.st_mode)
            << "; the user's, carried as it is"
            << (isLaid ? " in place of the new install's file\n" : "\n");
        return Keeping::Carried;
    }
    const bool isOwn = manifest != nullptr ? manifest->contains(name) : isLaid && !isDocument;
    if (isOwn) {
        const std::string change = ReplacedChange(earlier, staging, name, isLaid, manifest);
        if (isDocument)
            return change.empty() ? Keeping::Replaced : Keeping::Carried;
        if (change.empty() || !isLaid || !IsSettingsFile(name)) {
            log << change;
            return Keeping::Replaced;
        }
        // Offered again only when the new install's differs from the one laid or offered last,
        // or while the user keeps the one offered last.
        if (manifest != nullptr && DigestOf(staging, name) == manifest->find(name)->second &&
            !IsThere(fs::path(earlier / name).concat(kBesideSuffix))) {
            log << named
                << "changed since it was installed; the user's is kept (the new "
                   "install's is the one laid or offered before)\n";
            return Keeping::Offered;
        }
        log << named
            << (manifest != nullptr ? "changed since it was installed"
                                    : "differs from the new install's (the earlier install has "
                                      "no list of its own files)")
            << "; the user's is kept, and the new install's laid beside it as "
            << (earlier / name).string() << kBesideSuffix << "\n";
        return Keeping::BesideNew;
    }
    if (KeptFileAt(name) != nullptr)
        return Keeping::Replaced;
    if (isLaid && !isDocument)
        log << named << "the user's, kept in place of the new install's\n";
    return Keeping::Carried;
}

// The files and folders of the earlier install that are the user's into the staging folder
// (see KeepUserFiles), but for the lines of the kept files.
std::string CarryOver(const fs::path& earlier, const fs::path& staging, const Manifest* manifest,
                      UserFiles& userFiles, std::ostream& log) {
    std::string unread;
    const auto entries = EntriesBelow(earlier, &unread);
    if (!entries)
        return unread;
    std::error_code error;
    for (const auto& [name, type] : *entries) {
        const fs::path from = earlier / name;
        const fs::path to = staging / name;
        if (name == kManifestFile || IsOwnFolderMarkName(name) || IsStaleChannelSocket(name, type))
            continue;
        if (IsThroughLink(staging, name, false)) {
            // Below a link of the user's that took the place of the new install's folder.
            continue;
        }
        Keeping keeping = Keeping::Replaced;
        if (type == fs::file_type::directory) {
            if (fs::is_empty(from, error) && !IsThere(to))
                fs::create_directories(to, error);
        } else {
            keeping = HowKept(earlier, staging, name, type, manifest, log);
        }
        if (error)
            return from.string() + ": " + error.message();
        if (keeping == Keeping::Replaced)
            continue;
        if (keeping == Keeping::Offered)
            userFiles.offered[name] = *DigestOf(staging, name);
        std::string problem =
            keeping == Keeping::Carried
                ? Carry(from, to, type)
                : KeepUsersSettings(earlier, staging, name, keeping == Keeping::BesideNew, log);
        if (!problem.empty())
            return problem;
        userFiles.kept.push_back(name);
        if (keeping == Keeping::BesideNew)
            userFiles.besideNew.push_back(name);
    }
    return "";
}

// The documents the earlier install laid out, the user removed and the new install lays out
// again (the list's paths, normalised, below the documents folder only, never through a link).
std::vector<std::string> RemovedDocuments(const fs::path& earlier, const fs::path& staging,
                                          const Manifest& manifest) {
    std::vector<std::string> removed;
    std::error_code error;
    for (const auto& [name, digest] : manifest) {
        const fs::path relative = fs::path(name).lexically_normal();
        if (IsDocument(relative) && !IsThere(earlier / relative) &&
            !IsThroughLink(staging, relative, true) &&
            fs::is_regular_file(fs::symlink_status(staging / relative, error)))
            removed.push_back(relative.generic_string());
    }
    return removed;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Gives a file or folder of the new install the earlier one's mode (`isExact`; else its own, less
// any permission the earlier one did not give) and owner and group, where the installer may; an
// owner or group not kept narrows the mode as the program's own writes do.
void GiveMode(const fs::path& path, const struct stat& old, bool isExact) {
    struct stat made {};
    if (::lstat(path.c_str(), &made) != 0 || S_ISLNK(made.st_mode))
        return;
    if (made.st_uid != old.st_uid)
        (void)::lchown(path.c_str(), old.st_uid, static_cast<gid_t>(-1));
    if (made.st_gid != old.st_gid)
        (void)::lchown(path.c_str(), static_cast<uid_t>(-1), old.st_gid);
    struct stat wanted = old;
    const mode_t narrowed = made.st_mode & 07777 & ~(077 & ~old.st_mode);
    wanted.st_mode = (old.st_mode & ~07777) | (isExact ? old.st_mode & 07777 : narrowed);
    if (::lstat(path.c_str(), &made) == 0 && !S_ISLNK(made.st_mode))
        (void)::chmod(path.c_str(), platform::KeptMode(wanted, made));
}

} // namespace

std::string KeepUserFiles(const fs::path& earlier, const fs::path& staging, UserFiles& userFiles,
                          std::ostream& log) {
    const ReadList read = ReadManifest(earlier);
    if (!read.damage.empty())
        log << "installdemo: " << (earlier / kManifestFile).string()
            << ": the list of the install's own files does not read whole (" << read.damage
            << "); taken as no list: the files the new install lays are its own\n";
    const Manifest* const list = read.manifest ? &*read.manifest : nullptr;
    if (std::string problem = CarryOver(earlier, staging, list, userFiles, log); !problem.empty())
        return problem;
    if (list != nullptr)
        userFiles.removed = RemovedDocuments(earlier, staging, *list);
    const std::vector<double> extent = MapExtent(earlier);
    const bool isSameMap = !extent.empty() && extent == MapExtent(staging);
    for (const KeptFile& kept : KeptFiles()) {
        if (Contains(userFiles.besideNew, kept.path.generic_string()) ||
            userFiles.offered.contains(kept.path.generic_string()))
            continue; // the user's whole file is there
        if (kept.isOfTheMap && !isSameMap) {
            // Its destinations lie elsewhere, or nothing tells where its map lies.
            std::ostringstream ignored;
            bool isUtf8 = false;
            const std::optional<std::string> lines =
                EarlierSections(earlier / kept.path, kept.sections, isUtf8, ignored);
            if (!lines)
                return (earlier / kept.path).string() + ": cannot be read";
            if (!lines->empty())
                log << "installdemo: " << (earlier / kept.path).string()
                    << ": its map-specific list is not kept, as the new map does not cover the "
                       "area of the earlier one\n";
            continue;
        }
        const bool isLaid = IsThere(staging / kept.path);
        if (std::string problem = KeepSections(earlier, staging, kept.path, kept.sections, log);
            !problem.empty())
            return problem;
        if (!isLaid && IsThere(staging / kept.path))
            userFiles.kept.push_back(kept.path.generic_string());
    }
    return "";
}

std::optional<mode_t> KeepModes(const fs::path& earlier, const fs::path& staging,
                                const UserFiles& userFiles) {
    const auto entries = EntriesBelow(earlier);
    for (const auto& [name, type] : entries.value_or(std::map<std::string, fs::file_type>())) {
        const fs::path to = staging / name;
        std::error_code error;
        struct stat old {};
        if ((type != fs::file_type::directory && type != fs::file_type::regular) ||
            IsThroughLink(staging, name, true) || fs::symlink_status(to, error).type() != type ||
            ::lstat((earlier / name).c_str(), &old) != 0)
            continue;
        const bool isUsers = type == fs::file_type::directory || Contains(userFiles.kept, name) ||
                             KeptFileAt(name) != nullptr;
        GiveMode(to, old, isUsers);
        if (Contains(userFiles.besideNew, name))
            GiveMode(fs::path(to).concat(kBesideSuffix), old, false);
    }
    // The root stays open to its owner until the install has taken its place.
    struct stat root {};
    if (::lstat(earlier.c_str(), &root) != 0 || !S_ISDIR(root.st_mode))
        return std::nullopt;
    struct stat open = root;
    open.st_mode |= S_IRWXU;
    GiveMode(staging, open, true);
    struct stat made {};
    if (::lstat(staging.c_str(), &made) != 0)
        return std::nullopt;
    return platform::KeptMode(root, made);
}

std::string UnreadableKeptFile(const fs::path& earlier) {
    for (const KeptFile& kept : KeptFiles()) {
        const fs::path path = earlier / kept.path;
        std::error_code error;
        if (fs::is_regular_file(fs::symlink_status(path, error)) &&
            !ReadRegularFileInBlocks(path, [](std::string_view) {}).problem.empty())
            return path.string() + ": cannot be read";
    }
    return "";
}

std::string UserFilesLeftBehind(const fs::path& earlier, const fs::path& staging,
                                std::string& unread) {
    unread.clear();
    const auto entries = EntriesBelow(earlier, &unread);
    if (!entries)
        return "";
    const ReadList read = ReadManifest(earlier);
    const auto isOwn = [&](const std::string& name) {
        const auto own = read.manifest ? read.manifest->find(name) : Manifest::const_iterator();
        return read.manifest && own != read.manifest->end() &&
               DigestOf(earlier, name) == own->second;
    };
    // The user's documents and other files: those the earlier install did not lay out, or that
    // the user changed, and every link and entry that is not a regular file; without a list, the
    // documents only.
    std::vector<std::string> named;
    for (const auto& [name, type] : *entries) {
        const bool isRegular = type == fs::file_type::regular;
        std::error_code error;
        if (type == fs::file_type::directory) {
            // A folder no install lays that holds nothing, which no file of it names.
            if (fs::is_empty(earlier / name, error) && !error &&
                !fs::is_directory(fs::symlink_status(staging / name, error)))
                named.push_back(name + "/");
            continue;
        }
        if (IsOwnFolderMarkName(name) || IsStaleChannelSocket(name, type) ||
            (isRegular && (name == kManifestFile || KeptFileAt(name) != nullptr || isOwn(name) ||
                           platform::IsNamedMutexLockFile(name))))
            continue;
        if (!isRegular || IsDocument(name) || (read.manifest && !read.manifest->contains(name)))
            named.push_back(name);
        else if (read.manifest)
            named.push_back(name + " (changed)");
    }
    for (const KeptFile& kept : KeptFiles()) {
        std::ostringstream ignored;
        bool isUtf8 = false;
        const std::optional<std::string> lines =
            EarlierSections(earlier / kept.path, kept.sections, isUtf8, ignored);
        const std::string made = ReadRegularFile(staging / kept.path).bytes.value_or("");
        if (lines && !lines->empty() && !IsAsLaid(kept.path, *lines, made))
            named.push_back((kept.sections.empty() ? "the lines of " : "the user's sections of ") +
                            kept.path.generic_string());
    }
    std::string words;
    for (std::size_t i = 0; i < named.size(); ++i)
        words += (i == 0 ? "" : i + 1 == named.size() ? " and " : ", ") + named[i];
    return words;
}

std::string WriteManifest(const fs::path& staging, const UserFiles& userFiles) {
    std::string problem;
    const auto entries = EntriesBelow(staging, &problem);
    if (!entries)
        return problem;
    std::string text = std::string(kManifestFormat) +
                       "# The files installdemo laid out here: the FNV-1a hash (64 bits) and size "
                       "of each (of a settings file, of its lines outside the user's sections) "
                       "and its path. A later install replaces these and keeps the others; a "
                       "document listed but missing stays removed; a settings file that differs "
                       "is kept, with the later install's beside it when that one is new.\n";
    for (const auto& [name, type] : *entries) {
        if (type != fs::file_type::regular || name == kManifestFile || IsOwnFolderMarkName(name))
            continue;
        const bool isUsers = Contains(userFiles.kept, name);
        const bool isBeside = Contains(userFiles.besideNew, name);
        if (const auto offered = userFiles.offered.find(name); offered != userFiles.offered.end()) {
            text += ManifestLine(offered->second, name);
            continue;
        }
        if (isUsers && !isBeside)
            continue;
        // A settings file the user keeps is listed as the new install's beside it.
        const std::string file = isBeside ? name + kBesideSuffix : name;
        const std::optional<Digest> digest = DigestOf(staging, file, name);
        if (!digest)
            return (staging / file).string() + ": cannot be read";
        text += ManifestLine(*digest, name);
    }
    text += kManifestEnd;
    std::ofstream out(staging / kManifestFile, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        return Failed(staging / kManifestFile, "cannot be written");
    std::error_code error;
    for (const std::string& name : userFiles.removed) {
        if (!fs::remove(staging / name, error) || error)
            return (staging / name).string() + ": cannot be removed";
    }
    return "";
}

} // namespace demoinstall
