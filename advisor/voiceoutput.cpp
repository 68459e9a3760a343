#include "advisor/voiceoutput.h"

#include "advisor/cellsplitter.h"
#include "utilities/usefulcode/autoevent.h"
#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/critsect.h"

#include "platform/files/memory.h"
#include "platform/kernel/sync.h"
#include "platform/sound/sound.h"

#include <list>
#include <mutex>
#include <new>

namespace {

constexpr SIZE_T kSampleReserveBytes = 3145728; // 3 MB of address space
constexpr SIZE_T kSampleCommitBytes = 204800;   // committed at once
constexpr std::u16string_view kArchiveSuffix = u"_waves.sfs";

} // namespace

// Plays queued sample files from the mounted voice archive on a thread of its own.
class VoicePlayer {
public:
    explicit VoicePlayer(std::u16string sampleFolder);
    ~VoicePlayer();
    VoicePlayer(const VoicePlayer&) = delete;
    VoicePlayer& operator=(const VoicePlayer&) = delete;

    // True when the sample buffer, the events and the thread are there.
    [[nodiscard]] bool Start();
    void Queue(const std::vector<std::u16string>& fileNames);
    void DropQueued();
    // Lets the thread play what is queued, then waits for it to end.
    void Finish();

private:
    static DWORD ThreadStart(LPVOID player);
    void Run();
    void PlayQueue();
    void PlayFile(const std::u16string& path);
    // Makes the first bytes of the buffer usable; false above the reservation.
    bool CommitSampleBytes(DWORD bytes);

    std::u16string m_sampleFolder;
    AutoEvent m_thread; // the stop event with the thread's handle and id
    std::list<std::u16string> m_queue;
    CritSect m_queueLock;
    HANDLE m_wakeEvent = nullptr;
    BYTE* m_sampleBuffer = nullptr;
    SIZE_T m_committedBytes = 0;
};

VoicePlayer::VoicePlayer(std::u16string sampleFolder)
    : m_sampleFolder(std::move(sampleFolder)) {
    m_sampleBuffer =
        static_cast<BYTE*>(VirtualAlloc(nullptr, kSampleReserveBytes, MEM_RESERVE, PAGE_NOACCESS));
    if (m_sampleBuffer != nullptr && !CommitSampleBytes(kSampleCommitBytes)) {
        (void)VirtualFree(m_sampleBuffer, 0, MEM_RELEASE);
        m_sampleBuffer = nullptr;
    }
}

VoicePlayer::~VoicePlayer() {
    Finish();
    if (m_wakeEvent != nullptr) {
        CloseHandle(m_wakeEvent);
    }
    if (m_sampleBuffer != nullptr) {
        (void)VirtualFree(m_sampleBuffer, 0, MEM_RELEASE);
    }
}

bool VoicePlayer::CommitSampleBytes(DWORD bytes) {
    if (bytes <= m_committedBytes) {
        return true;
    }
    if (bytes > kSampleReserveBytes ||
        VirtualAlloc(m_sampleBuffer, bytes, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        return false;
    }
    m_committedBytes = bytes;
    return true;
}

bool VoicePlayer::Start() {
    if (m_sampleBuffer == nullptr || m_thread.GetEvent() == nullptr) {
        return false;
    }
    m_wakeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_wakeEvent == nullptr) {
        return false;
    }
    m_thread.thread = CreateThread(nullptr, 0, ThreadStart, this, 0, &m_thread.threadId);
    return m_thread.thread != nullptr;
}

void VoicePlayer::Queue(const std::vector<std::u16string>& fileNames) {
    {
        ScopedLock lock(&m_queueLock);
        m_queue.insert(m_queue.end(), fileNames.begin(), fileNames.end());
    }
    SetEvent(m_wakeEvent);
}

void VoicePlayer::DropQueued() {
    ResetEvent(m_wakeEvent);
    ScopedLock lock(&m_queueLock);
    m_queue.clear();
}

void VoicePlayer::Finish() {
    if (m_thread.thread == nullptr) {
        return;
    }
    m_thread.Set();
    SetEvent(m_wakeEvent);
    (void)WaitForSingleObject(m_thread.thread, INFINITE);
    CloseHandle(m_thread.thread);
    m_thread.thread = nullptr;
}

DWORD VoicePlayer::ThreadStart(LPVOID player) {
    static_cast<VoicePlayer*>(player)->Run();
    return 0;
}

void VoicePlayer::Run() {
    // The stop event is looked at before each wait, and the queue is played out before the
    // thread ends, so what was queued before a shutdown still plays (even when the thread had
    // not reached its first wait yet).
    for (;;) {
        const bool isStopping = WaitForSingleObject(m_thread.GetEvent(), 0) == WAIT_OBJECT_0;
        if (!isStopping) {
            (void)WaitForSingleObject(m_wakeEvent, INFINITE);
        }
        PlayQueue();
        if (isStopping) {
            break;
        }
    }
    m_thread.threadId = 0;
}

void VoicePlayer::PlayQueue() {
    for (;;) {
        std::u16string path;
        {
            ScopedLock lock(&m_queueLock);
            if (m_queue.empty()) {
                // Reset under the lock: a text queued after this sets the event again.
                ResetEvent(m_wakeEvent);
                return;
            }
            path = m_sampleFolder + u"\\" + m_queue.front();
            m_queue.pop_front();
        }
        PlayFile(path);
    }
}

void VoicePlayer::PlayFile(const std::u16string& path) {
    SfsFile file(path, FileAccess::Read, FileShare::Read, FileCreation::OpenExisting,
                 FileHint::SequentialScan);
    if (!file.IsOpen()) {
        return;
    }
    const DWORD size = file.GetSize();
    if (size == kInvalidFilePosition || !CommitSampleBytes(size)) {
        return; // a sample above the reservation is skipped
    }
    DWORD done = 0;
    while (done < size) {
        const DWORD read = file.Read(m_sampleBuffer + done, size - done);
        if (read == 0) {
            return;
        }
        done += read;
    }
    // The sound call trusts the RIFF header's length; only an image that lies whole inside
    // the bytes read is handed to it.
    if (platform::ParseWaveImage(std::span<const BYTE>(m_sampleBuffer, size))) {
        (void)PlaySoundW(m_sampleBuffer, nullptr, SND_MEMORY);
    }
}

std::u16string VoiceArchivePath(const std::u16string& folder, const std::u16string& prefix) {
    std::u16string archive = folder;
    if (!archive.empty() && archive.back() != u'\\' && archive.back() != u'/') {
        archive += u'\\';
    }
    archive += prefix;
    archive += kArchiveSuffix;
    return archive;
}

namespace {

class VoiceOutput final : public IVoiceOutput {
public:
    VoiceOutput() { (void)m_archives.Mount(u""); } // only loads the archive library
    ~VoiceOutput() override { Shutdown(); }
    VoiceOutput(const VoiceOutput&) = delete;
    VoiceOutput& operator=(const VoiceOutput&) = delete;

    bool Init(const std::u16string& folder, const std::u16string& prefix) override;
    bool Say(const std::u16string& text) override;
    const char* GetStatusText() const override;
    bool Stop() override;
    bool Shutdown() override;

private:
    mutable std::mutex m_mutex; // guards m_player against Init and Shutdown on other threads
    VoicePlayer* m_player = nullptr;
    SfsMountSet m_archives;
};

bool VoiceOutput::Init(const std::u16string& folder, const std::u16string& prefix) {
    std::lock_guard lock(m_mutex);
    if (folder.empty() || m_player != nullptr) {
        return false;
    }
    const std::u16string archive = VoiceArchivePath(folder, prefix);
    // An archive still mounted from an earlier Init serves again.
    if (!m_archives.IsMounted(archive) && !m_archives.Mount(archive)) {
        return false;
    }
    auto* player = new (std::nothrow) VoicePlayer(archive.substr(0, archive.find_last_of(u"\\/")));
    if (player == nullptr) {
        return false;
    }
    if (!player->Start()) {
        delete player;
        return false;
    }
    m_player = player;
    return true;
}

bool VoiceOutput::Say(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    if (m_player == nullptr) {
        return false;
    }
    const std::vector<std::u16string> fileNames = SplitPhraseKeys(text);
    if (!fileNames.empty()) {
        m_player->Queue(fileNames);
    }
    return true;
}

const char* VoiceOutput::GetStatusText() const {
    std::lock_guard lock(m_mutex);
    return m_player == nullptr ? "OK" : "Not OK";
}

bool VoiceOutput::Stop() {
    std::lock_guard lock(m_mutex);
    if (m_player == nullptr) {
        return false;
    }
    m_player->DropQueued();
    return true;
}

bool VoiceOutput::Shutdown() {
    VoicePlayer* player = nullptr;
    {
        std::lock_guard lock(m_mutex);
        player = m_player;
        m_player = nullptr;
    }
    if (player == nullptr) {
        return false;
    }
    delete player; // plays what is queued and joins the thread
    return true;
}

} // namespace

six::RefCntPtr<IVoiceOutput> CreateVoiceOutput() {
    return six::RefCntPtr<IVoiceOutput>(new (std::nothrow) VoiceOutput());
}

std::vector<std::u16string> SplitPhraseKeys(const std::u16string& text) {
    std::vector<std::u16string> fileNames;
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string::npos) {
        return fileNames;
    }
    const std::size_t last = text.find_last_not_of(u' ');
    WideCellSplitter pieces(std::u16string_view(text).substr(first, last - first + 1), u']');
    for (std::u16string piece = pieces.Next(); !piece.empty(); piece = pieces.Next()) {
        const std::size_t start = piece.find_first_not_of(u' ');
        if (start == std::u16string::npos) {
            continue;
        }
        fileNames.push_back(piece.substr(start + 1) + u".wav");
    }
    return fileNames;
}
