#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/mappedfile.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

class MappedFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ClearRecordedMessageBoxes();
        ForgetFileCheckMessages();
        m_cache = BlockCache::Create(1);
        ASSERT_TRUE(m_cache);
    }

    CachedFilePtr Map(const std::u16string& name, DWORD unitSize) {
        return m_cache->GetMappedFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                      FileShare::Read, unitSize);
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache;
};

// Records what a filter is shown.
class RecordingFilter final : public BlockFilter {
public:
    void OnLoad(BYTE* data, CachedFile&, DWORD blockIndex) override {
        events.push_back("load " + std::to_string(blockIndex) + " " + static_cast<char>(data[0]));
    }
    void OnRelease(BYTE* data, CachedFile&, DWORD blockIndex) override {
        events.push_back("release " + std::to_string(blockIndex) + " " +
                         static_cast<char>(data[0]));
    }
    std::vector<std::string> events;
};

TEST_F(MappedFileTest, MapsTheWholeFileAsOneBlockOfUnits) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\a.nam", std::string(250, 'n')));
    const struct {
        DWORD unitSize;
        DWORD wholeUnits;
        DWORD roundedUp;
    } cases[] = {{100, 2, 3}, {250, 1, 1}, {1000, 0, 1}, {1, 250, 250}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unitSize);
        const CachedFilePtr file = Map(u"\\Maps\\a.nam", c.unitSize);
        ASSERT_TRUE(file);
        auto& mapped = static_cast<MappedFile&>(*file);
        EXPECT_EQ(file->GetBlockSize(), 250u);
        EXPECT_EQ(file->GetUnitSize(), c.unitSize);
        EXPECT_EQ(file->GetBlockCount(), c.wholeUnits);
        EXPECT_EQ(mapped.GetRoundedUpUnits(), c.roundedUp);
        EXPECT_EQ(file->GetEntrySize(), 12u);
        m_cache->RemoveFile(file);
    }
}

TEST_F(MappedFileTest, EveryIndexGivesTheOneView) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\a.nam", "0123456789"));
    const CachedFilePtr file = Map(u"\\Maps\\a.nam", 4);
    const CachedBlockPtr first = file->GetBlock(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first->GetData()), 10), "0123456789");
    EXPECT_EQ(file->GetBlock(2).Get(), first.Get());
    EXPECT_EQ(file->GetBlock(900).Get(), first.Get());
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 1u);
    EXPECT_EQ(m_cache->GetLruList().GetUsedSize(), 12u);
    file->SetBlockCount(7);
    EXPECT_EQ(file->GetBlockCount(), 7u);
}

// Tables on two threads sharing one cache set and read the unit count while views are mapped;
// a close on one of them makes later loads fail cleanly, never read a closed mapping.
TEST_F(MappedFileTest, ThreadsShareOneMappedFile) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\a.nam", std::string(64, 'm')));
    m_cache->SetCapacityKB(0); // every dropped view is unmapped, so every request maps anew
    const CachedFilePtr file = Map(u"\\Maps\\a.nam", 8);
    ASSERT_TRUE(file);
    std::atomic<bool> isClosing{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (DWORD t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 500; ++round) {
                file->SetBlockCount(8 + t);
                const DWORD count = file->GetBlockCount();
                const CachedBlockPtr view = file->GetBlock(0);
                if (count < 8 || count > 10 || (view ? view->GetData()[63] != 'm' : !isClosing)) {
                    ++wrong;
                }
                if (t == 0 && round == 250) {
                    isClosing = true;
                    file->Close();
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_FALSE(file->IsOpen());
    EXPECT_FALSE(file->GetBlock(0));
}

// Named once a run with the device's separators, however many readers try it and however they
// spell its folders.
TEST_F(MappedFileTest, AnEmptyFileShowsItsSizeOnceAndDoesNotOpen) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\empty.nam", ""));
    const std::size_t handlesBefore = platform::OpenHandleCount();
    EXPECT_FALSE(Map(u"\\Maps/empty.nam", 8192));
    EXPECT_FALSE(Map(u"\\Maps\\empty.nam", 8192));
    EXPECT_EQ(m_cache->GetFileCount(), 0u);
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    const auto boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Error code 1006 File name: \\Maps\\empty.nam, file size: 0 bytes");
    EXPECT_EQ(boxes[0].type, 0u);
    EXPECT_EQ(boxes[0].owner, nullptr);
}

TEST_F(MappedFileTest, AMissingFileDoesNotOpenAndShowsNothing) {
    EXPECT_FALSE(Map(u"\\Maps\\missing.nam", 8192));
    EXPECT_TRUE(platform::RecordedMessageBoxes().empty());
    EXPECT_EQ(m_cache->GetFileCount(), 0u);
}

TEST_F(MappedFileTest, TheFilterSeesTheViewAfterLoadingAndBeforeRelease) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\a.nam", "xyz"));
    const CachedFilePtr file = Map(u"\\Maps\\a.nam", 1);
    auto* filter = new RecordingFilter();
    file->SetFilter(BlockFilterPtr(filter));
    EXPECT_TRUE(file->GetBlock(5));
    m_cache->Flush();
    EXPECT_EQ(filter->events, (std::vector<std::string>{"load 0 x", "release 0 x"}));
}

TEST_F(MappedFileTest, AViewOutlivesItsFileAndCache) {
    ASSERT_TRUE(m_root.WriteFile(u"\\Maps\\a.nam", "view"));
    const std::size_t handlesBefore = platform::OpenHandleCount();
    CachedFilePtr file = Map(u"\\Maps\\a.nam", 1);
    CachedBlockPtr view = file->GetBlock(0);
    m_cache->RemoveFile(file);
    file.Release();
    m_cache.Release();
    EXPECT_EQ(view->GetData()[3], 'w');
    view.Release();
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
}

} // namespace
