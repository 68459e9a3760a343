#include "testdata/tempdir.h"

#include "platform/files/files.h"
#include "platform/files/stdio.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

// Lines as fgetws returns them with a buffer of count characters.
std::vector<std::u16string> Pieces(NavFile* stream, int count) {
    std::vector<std::u16string> pieces;
    std::vector<WCHAR> buffer(static_cast<std::size_t>(count) + 1, u'#');
    while (fgetws(buffer.data(), count, stream) != nullptr) {
        pieces.emplace_back(buffer.data());
    }
    return pieces;
}

std::vector<std::u16string> ReadPieces(std::u16string_view path, const WCHAR* mode, int count) {
    NavFile* stream = _wfopen(std::u16string(path).c_str(), mode);
    EXPECT_NE(stream, nullptr);
    if (stream == nullptr) {
        return {};
    }
    std::vector<std::u16string> pieces = Pieces(stream, count);
    EXPECT_NE(feof(stream), 0);
    EXPECT_EQ(fclose(stream), 0);
    return pieces;
}

bool WriteText(std::u16string_view path, const WCHAR* mode, std::u16string_view text) {
    NavFile* stream = _wfopen(std::u16string(path).c_str(), mode);
    if (stream == nullptr) {
        return false;
    }
    const bool isWritten = fputws(std::u16string(text).c_str(), stream) == 0;
    return fclose(stream) == 0 && isWritten;
}

using Pieces16 = std::vector<std::u16string>;

TEST(TextStreams, WriteLineEndsAsCrLf) {
    testdata::TempDeviceRoot root;
    for (const WCHAR* mode : {u"w", u"wt", u"w+", u"w+t"}) {
        SCOPED_TRACE(std::string(mode, mode + std::char_traits<char16_t>::length(mode)));
        ASSERT_TRUE(WriteText(u"\\PK.ini", mode, u"[Properties]\nLanguage=1\n"));
        EXPECT_EQ(root.ReadFile(u"\\PK.ini"), "[Properties]\r\nLanguage=1\r\n");
    }
    ASSERT_TRUE(WriteText(u"\\raw.bin", u"wb", u"A\n"));
    EXPECT_EQ(root.ReadFile(u"\\raw.bin"), std::string("A\0\n\0", 4)) << "binary: UTF-16LE";
}

TEST(TextStreams, ReadCrLfAndLfAsNewLine) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\mixed.txt", "one\r\ntwo\nthree\rfour\r\n\r\nlast"));
    EXPECT_EQ(ReadPieces(u"\\MIXED.TXT", u"rt", 100),
              (Pieces16{u"one\n", u"two\n", u"three\rfour\n", u"\n", u"last"}));
    EXPECT_EQ(ReadPieces(u"\\mixed.txt", u"rb", 100).size(), 1u)
        << "binary fgetws reads UTF-16 units, so this ASCII file gives one odd line";
}

TEST(TextStreams, FgetwsReadsInPiecesOfCountMinusOne) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\long.ini", "abcdefghij\r\nxy\r\n"));
    EXPECT_EQ(ReadPieces(u"\\long.ini", u"r", 4),
              (Pieces16{u"abc", u"def", u"ghi", u"j\n", u"xy\n"}));
    EXPECT_EQ(ReadPieces(u"\\long.ini", u"r", 12), (Pieces16{u"abcdefghij\n", u"xy\n"}));
    EXPECT_EQ(ReadPieces(u"\\long.ini", u"r", 11), (Pieces16{u"abcdefghij", u"\n", u"xy\n"}));

    NavFile* stream = _wfopen(u"\\long.ini", u"r");
    ASSERT_NE(stream, nullptr);
    WCHAR buffer[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(fgetws(buffer, 0, stream), nullptr);
    EXPECT_EQ(fgetws(buffer, 1, stream), buffer) << "room for the terminator only";
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(fgetws(nullptr, 4, stream), nullptr);
    EXPECT_EQ(fclose(stream), 0);
}

TEST(TextStreams, BytesGoThroughCodePage1252) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(WriteText(u"\\cp.txt", u"wt", u"Gr\u00f6\u00dfe \u20ac \u4e2d\n"));
    EXPECT_EQ(root.ReadFile(u"\\cp.txt"), "Gr\xF6\xDF"
                                          "e \x80 ?\r\n")
        << "characters outside the code page become '?'";

    ASSERT_TRUE(root.WriteFile(u"\\in.txt", "\x80\xE4\x9F\xFF\r\n"));
    EXPECT_EQ(ReadPieces(u"\\in.txt", u"r", 50), (Pieces16{u"\u20ac\u00e4\u0178\u00ff\n"}));
}

TEST(TextStreams, NarrowFopenAndFgetcReadBytes) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\Gr\u00f6\u00dfe.txt", "a,\x80\r\nb\rc\n\r\n"));
    const struct {
        const char* mode;
        std::string bytes;
    } cases[] = {
        {"r", "a,\x80\nb\rc\n\n"},
        {"rt", "a,\x80\nb\rc\n\n"},
        {"rb", "a,\x80\r\nb\rc\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        NavFile* stream = platform::fopen("\\GR\xD6\xDF"
                                          "E.TXT",
                                          c.mode);
        ASSERT_NE(stream, nullptr) << "the name is taken in code page 1252, any case";
        std::string read;
        for (int byte = fgetc(stream); byte != EOF; byte = fgetc(stream)) {
            ASSERT_GE(byte, 0);
            read += static_cast<char>(byte);
        }
        EXPECT_EQ(read, c.bytes);
        EXPECT_NE(feof(stream), 0);
        EXPECT_EQ(fclose(stream), 0);
    }
    errno = 0;
    EXPECT_EQ(platform::fopen("\\missing.txt", "r"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(platform::fopen(nullptr, "r"), nullptr);
    NavFile* output = platform::fopen("\\out.txt", "w");
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(fgetc(output), EOF) << "not open for reading";
    EXPECT_EQ(fclose(output), 0);
    EXPECT_EQ(fgetc(static_cast<NavFile*>(nullptr)), EOF);
}

TEST(TextStreams, Utf8ByteOrderMarkSwitchesToUtf8) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\utf8.properties", "\xEF\xBB\xBFStra\xC3\x9F"
                                                     "e=\xE2\x82\xAC\r\nbad=\xC3\x28\xFF\n"));
    EXPECT_EQ(ReadPieces(u"\\utf8.properties", u"r", 100),
              (Pieces16{u"Stra\u00dfe=\u20ac\n", u"bad=\ufffd(\ufffd\n"}));

    ASSERT_TRUE(root.WriteFile(u"\\emoji.txt", "\xEF\xBB\xBF\xF0\x9F\x98\x80!"));
    EXPECT_EQ(ReadPieces(u"\\emoji.txt", u"r", 2), (Pieces16{u"\xD83D", u"\xDE00", u"!"}))
        << "a character outside the basic plane may be split across calls";

    NavFile* stream = _wfopen(u"\\utf8.properties", u"r");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(ftell(stream), 3) << "reading starts after the mark";
    WCHAR line[8];
    ASSERT_NE(fgetws(line, 8, stream), nullptr);
    EXPECT_EQ(fseek(stream, 0, SEEK_SET), 0);
    ASSERT_NE(fgetws(line, 3, stream), nullptr);
    EXPECT_EQ(std::u16string(line), u"St") << "seeking to 0 skips the mark again";
    EXPECT_EQ(fclose(stream), 0);

    ASSERT_TRUE(WriteText(u"\\utf8.properties", u"a", u"neu=\u00fc\n"));
    EXPECT_EQ(root.ReadFile(u"\\utf8.properties")->substr(24), "neu=\xC3\xBC\r\n")
        << "appending to a UTF-8 file writes UTF-8";
}

TEST(Streams, ModesOpenCreateAppendAndRefuse) {
    testdata::TempDeviceRoot root;
    errno = 0;
    EXPECT_EQ(_wfopen(u"\\missing.ini", u"rt"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    for (const WCHAR* mode : {u"", u"x", u"rw", u"rbt", u"r++", u"wtb", u"r, ccs=UTF-8"}) {
        errno = 0;
        EXPECT_EQ(_wfopen(u"\\a.txt", mode), nullptr);
        EXPECT_EQ(errno, EINVAL);
    }
    EXPECT_FALSE(root.Exists(u"\\a.txt"));

    NavFile* created = _wfopen(u"\\Empty.ini", u"w+t");
    ASSERT_NE(created, nullptr);
    WCHAR line[8];
    EXPECT_EQ(fgetws(line, 8, created), nullptr);
    EXPECT_NE(feof(created), 0);
    EXPECT_EQ(fclose(created), 0);
    EXPECT_EQ(root.ReadFile(u"\\Empty.ini"), "");

    ASSERT_TRUE(WriteText(u"\\log.txt", u"a", u"first\n"));
    ASSERT_TRUE(WriteText(u"\\LOG.TXT", u"at", u"second\n"));
    EXPECT_EQ(root.ReadFile(u"\\log.txt"), "first\r\nsecond\r\n");

    NavFile* appender = _wfopen(u"\\log.txt", u"ab");
    ASSERT_NE(appender, nullptr);
    EXPECT_EQ(fseek(appender, 0, SEEK_SET), 0);
    EXPECT_EQ(fwrite("!", 1, 1, appender), 1u);
    EXPECT_EQ(fclose(appender), 0);
    EXPECT_EQ(root.ReadFile(u"\\log.txt"), "first\r\nsecond\r\n!") << "append ignores seeks";

    NavFile* reader = _wfopen(u"\\log.txt", u"rb");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(fputws(u"x", reader), -1);
    EXPECT_EQ(fwrite("x", 1, 1, reader), 0u);
    EXPECT_EQ(fclose(reader), 0);
}

TEST(Streams, BinaryReadWriteSeekTell) {
    testdata::TempDeviceRoot root;
    NavFile* stream = _wfopen(u"\\page.sep", u"w+b");
    ASSERT_NE(stream, nullptr);
    const char data[] = "0123456789\n";
    EXPECT_EQ(fwrite(data, 1, 11, stream), 11u);
    EXPECT_EQ(ftell(stream), 11);
    EXPECT_EQ(fseek(stream, 0, SEEK_END), 0);
    EXPECT_EQ(ftell(stream), 11);
    EXPECT_EQ(fseek(stream, 2, SEEK_SET), 0);
    char buffer[16] = {};
    EXPECT_EQ(fread(buffer, 4, 2, stream), 2u);
    EXPECT_EQ(std::string(buffer, 8), "23456789");
    EXPECT_EQ(feof(stream), 0);
    EXPECT_EQ(fread(buffer, 2, 4, stream), 0u) << "one byte is no whole item of two";
    EXPECT_NE(feof(stream), 0);
    EXPECT_EQ(fseek(stream, -1, SEEK_CUR), 0);
    EXPECT_EQ(feof(stream), 0) << "seeking clears the end flag";
    EXPECT_EQ(fwrite("X", 1, 1, stream), 1u) << "switching from reading to writing";
    EXPECT_EQ(fseek(stream, -5, SEEK_SET), -1);
    EXPECT_EQ(fseek(stream, 0, 7), -1);
    EXPECT_EQ(fclose(stream), 0);
    EXPECT_EQ(root.ReadFile(u"\\page.sep"), "0123456789X");

    NavFile* updater = _wfopen(u"\\page.sep", u"r+b");
    ASSERT_NE(updater, nullptr);
    EXPECT_EQ(fwrite("ab", 1, 2, updater), 2u);
    EXPECT_EQ(fread(buffer, 1, 3, updater), 3u);
    EXPECT_EQ(std::string(buffer, 3), "234");
    EXPECT_EQ(fclose(updater), 0);
    EXPECT_EQ(root.ReadFile(u"\\page.sep"), "ab23456789X");
}

TEST(Streams, TextFreadAndFwriteTranslateLineEnds) {
    testdata::TempDeviceRoot root;
    NavFile* stream = _wfopen(u"\\pos.txt", u"w+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(fwrite("a\nb\n", 1, 4, stream), 4u);
    EXPECT_EQ(fseek(stream, 0, SEEK_SET), 0);
    char buffer[8] = {};
    EXPECT_EQ(fread(buffer, 1, 8, stream), 4u);
    EXPECT_EQ(std::string(buffer, 4), "a\nb\n");
    EXPECT_EQ(fclose(stream), 0);
    EXPECT_EQ(root.ReadFile(u"\\pos.txt"), "a\r\nb\r\n");
}

TEST(Streams, ShareWithFileHandles) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\locked.ini", "x"));
    HANDLE exclusive =
        CreateFileW(u"\\locked.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    errno = 0;
    EXPECT_EQ(_wfopen(u"\\locked.ini", u"r"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(exclusive));

    NavFile* stream = _wfopen(u"\\locked.ini", u"r");
    ASSERT_NE(stream, nullptr);
    HANDLE shared = CreateFileW(u"\\locked.ini", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(shared, INVALID_HANDLE_VALUE) << "streams share reading and writing";
    EXPECT_TRUE(CloseHandle(shared));
    EXPECT_EQ(fclose(stream), 0);
}

} // namespace
