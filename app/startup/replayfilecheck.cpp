#include "app/startup/replayfilecheck.h"

#include "traffic/tmcdecoder.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/files/files.h"
#include "platform/receiver/replayfiles.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr DWORD kReplayCheckChunk = 64 * 1024;

HANDLE OpenFileToCheck(const std::u16string& path) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads the file chunk by chunk into take until it returns true, then once more with isEnd
// set; false at the end or when the file cannot be read.
template <class Take> bool ReadUntil(const std::u16string& path, Take take) {
    HANDLE file = OpenFileToCheck(path);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::vector<char> chunk(kReplayCheckChunk);
    bool isFound = false;
    DWORD read = 0;
    while (!isFound && ReadFile(file, chunk.data(), kReplayCheckChunk, &read, nullptr) &&
           read > 0) {
        isFound = take(std::string_view(chunk.data(), read), false);
    }
    if (!isFound) {
        isFound = take(std::string_view(), true);
    }
    (void)CloseHandle(file);
    return isFound;
}

bool HoldsPositionSentence(const std::u16string& path) {
    // Whole lines only: a sentence cut at the end of a chunk is read with its rest. A sentence
    // is never longer than kMaxNmeaSentence, so of a line without end only that much is kept.
    std::string pending;
    return ReadUntil(path, [&pending](std::string_view bytes, bool isEnd) {
        pending.append(bytes);
        const std::size_t lineEnd = isEnd ? pending.size() : pending.rfind('\n');
        if (lineEnd == std::string::npos) {
            if (pending.size() > platform::kMaxNmeaSentence) {
                pending.erase(0, pending.size() - platform::kMaxNmeaSentence);
            }
            return false;
        }
        const bool isFound =
            !platform::ParseNmeaCycles(std::string_view(pending).substr(0, lineEnd)).empty();
        pending.erase(0, lineEnd);
        return isFound;
    });
}

bool HoldsRdsGroup(const std::u16string& path) {
    TmcDecoder decoder;
    return ReadUntil(path, [&decoder](std::string_view bytes, bool isEnd) {
        if (isEnd) {
            (void)decoder.EndInput(); // a group on the last line, without its line end, counts
        }
        int offset = 0;
        const auto count = static_cast<int>(bytes.size());
        while (offset < count && decoder.GetGroupCount() == 0) {
            offset += decoder.Decode(bytes.data() + offset, count - offset);
            (void)decoder.TakeMessage();
        }
        return decoder.GetGroupCount() > 0;
    });
}

} // namespace

bool HoldsReplayData(const std::u16string& path, ReplayFileKind kind) {
    return kind == ReplayFileKind::Gps ? HoldsPositionSentence(path) : HoldsRdsGroup(path);
}

bool TellUnusableReplayFile(HWND owner, ReplayFileKind kind, const std::u16string& path) {
    // A file that cannot be opened is the receiver's to report (its status "missing").
    if (HANDLE file = OpenFileToCheck(path); file == INVALID_HANDLE_VALUE) {
        return false;
    } else {
        (void)CloseHandle(file);
    }
    if (HoldsReplayData(path, kind)) {
        return false;
    }
    return ShowFileMessageOnce(
        owner, kind == ReplayFileKind::Gps ? kNoGpsSentenceText : kNoRdsGroupText, path);
}
