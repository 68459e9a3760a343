#pragma once
// The name file of a map set (base path + ".nam"): name records in 8192-byte blocks, each found by
// its byte offset, turned into wide text (main text, its forms, or the text for a code). Read
// through the shared BlockCache. No lock of its own: the engine serialises access.

#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class NameFile {
public:
    static constexpr std::uint32_t kBlockSize = 8192;
    static constexpr std::uint32_t kNoName = 0xFFFFFFFFu;

    // mountSet: the archives of the map set, asked when the loose file cannot be opened.
    NameFile(BlockCachePtr cache, std::shared_ptr<SfsMountSet> mountSet);
    virtual ~NameFile();
    NameFile(const NameFile&) = delete;
    NameFile& operator=(const NameFile&) = delete;

    // Closes, then opens base path + ".nam" memory-mapped, or from the mounted archives when that
    // fails and any are mounted. False (closed) when neither works.
    [[nodiscard]] virtual bool Open(const std::u16string& basePath);
    // Closes, then reads names from `file`: a cached file over a name file's bytes (one held in
    // memory, say) that no cache lists, in blocks of kBlockSize, as many as it counts. False
    // (closed) when there is no file.
    [[nodiscard]] bool Attach(CachedFilePtr file);
    virtual bool IsOpen() const;
    virtual void Close();

    // The main text without a leading '/'.
    [[nodiscard]] virtual bool GetName(std::uint32_t offset, std::u16string& text);
    // The text for a code among the record's texts (see ReadNameForCode).
    [[nodiscard]] virtual bool GetNameForCode(std::uint32_t offset, std::u16string& text,
                                              std::u16string& mainText, std::int16_t& code);
    // The main text after its first '/'; false when it has none.
    [[nodiscard]] virtual bool GetAlternativeNames(std::uint32_t offset, std::u16string& text);
    // The main text as stored.
    [[nodiscard]] virtual bool GetRawName(std::uint32_t offset, std::u16string& text);
    // The codes of the further texts in record order.
    virtual void GetCodes(std::vector<std::int16_t>& codes, std::uint32_t offset);

    // Every read is bounded by its block and the file: an offset of no name (0xFFFFFFFF), one
    // outside the file, or a record that runs past its block gives false and leaves the text as
    // it was.
    [[nodiscard]] virtual bool ReadName(std::uint32_t offset, std::u16string& text,
                                        bool alternatives, bool raw);
    // For a code above 0: the first text whose code (a signed byte) equals it; when that is the
    // main text the code becomes code + 100. With no match, or a code of 0 or below: the main
    // text, and the code becomes the main text's code + 100. mainText is always the main text.
    [[nodiscard]] virtual bool ReadNameForCode(std::uint32_t offset, std::u16string& text,
                                               std::u16string& mainText, std::int16_t& code);
    // Clears the list, then appends the codes of the further texts up to the end mark; nothing
    // for a record that runs past its block.
    virtual void ReadCodes(std::vector<std::int16_t>& codes, std::uint32_t offset);

    // The file's name the first time a read found its offset past the end of the file (a name
    // file cut short) or a record without its end mark inside its block (overwritten, with zeros
    // say), so that the caller can name the file once it holds no lock; else empty.
    [[nodiscard]] std::u16string TakeDamagedFile();

private:
    struct RecordView;
    [[nodiscard]] bool FindRecord(std::uint32_t offset, RecordView& record) const;
    // Marks the file damaged when the record's end mark is not inside its block: no sound record
    // lacks it, though a reader of the main text alone reads on.
    void NoteMissingEndMark(const RecordView& record) const;

    BlockCachePtr m_cache;
    std::shared_ptr<SfsMountSet> m_mountSet;
    CachedFilePtr m_file;
    mutable bool m_isDamaged = false; // a read found its offset past the end, or no end mark
    bool m_isDamagedTold = false;
};
