#include "utilities/usefulcode/blowfish.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::uint8_t> FromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        std::uint8_t byte = 0;
        std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
        bytes.push_back(byte);
    }
    return bytes;
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}

Blowfish Keyed(const std::vector<std::uint8_t>& key, std::uint32_t ivLeft = 0,
               std::uint32_t ivRight = 0) {
    Blowfish context;
    EXPECT_TRUE(context.Init(key.data(), key.size(), ivLeft, ivRight));
    return context;
}

// The ECB test vectors by Eric Young published with Bruce Schneier's description of Blowfish
// ("vectors.txt" on schneier.com): key, plain text, cipher text.
const struct {
    const char* key;
    const char* plain;
    const char* cipher;
} kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(BlowfishBlock, PublishedEcbVectors) {
    for (const auto& v : kEcbVectors) {
        SCOPED_TRACE(v.key);
        const Blowfish context = Keyed(FromHex(v.key));
        const auto plain = FromHex(v.plain);
        const auto cipher = FromHex(v.cipher);
        std::uint32_t left = Word(plain, 0);
        std::uint32_t right = Word(plain, 4);
        context.EncipherBlock(left, right);
        EXPECT_EQ(left, Word(cipher, 0));
        EXPECT_EQ(right, Word(cipher, 4));
        context.DecipherBlock(left, right);
        EXPECT_EQ(left, Word(plain, 0));
        EXPECT_EQ(right, Word(plain, 4));
    }
}

TEST(BlowfishBlock, PublishedVariableKeyLengthVectors) {
    // Same source: the first n bytes of one key, n = 1 .. 24, enciphering FEDCBA9876543210.
    const auto key = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const char* expected[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
        "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (std::size_t length = 1; length <= key.size(); ++length) {
        SCOPED_TRACE(length);
        Blowfish context;
        ASSERT_TRUE(context.Init(key.data(), length, 0, 0));
        auto block = FromHex("FEDCBA9876543210");
        context.EncipherBuffer(block.data(), block.size(), Blowfish::kModeEcb);
        EXPECT_EQ(block, FromHex(expected[length - 1]));
    }
}

// Same source: the chaining vectors over "7654321 Now is the time for " and its zero terminator
// (29 bytes). Only whole blocks are processed here, so the 24 bytes of three blocks compare and
// the 5-byte tail stays as it was.
const auto kChainKey = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
constexpr char kChainText[] = "7654321 Now is the time for ";

TEST(BlowfishBuffer, PublishedCbcAndCfbVectors) {
    const struct {
        int mode;
        const char* cipher;
    } cases[] = {
        {Blowfish::kModeCbc, "6B77B4D63006DEE605B156E27403979358DEB9E7154616D9"},
        {Blowfish::kModeCfb, "E73214A2822139CAF26ECF6D2EB9E76E3DA3DE04D1517200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const Blowfish context = Keyed(kChainKey, 0xFEDCBA98, 0x76543210);
        std::vector<std::uint8_t> buffer(kChainText, kChainText + sizeof kChainText);
        ASSERT_EQ(buffer.size(), 29u);
        context.EncipherBuffer(buffer.data(), buffer.size(), c.mode);
        auto expected = FromHex(c.cipher);
        expected.insert(expected.end(), kChainText + 24, kChainText + 29);
        EXPECT_EQ(buffer, expected);
        context.ProcessBuffer(buffer.data(), buffer.size(), c.mode);
        EXPECT_EQ(0, std::memcmp(buffer.data(), kChainText, sizeof kChainText));
    }
}

TEST(BlowfishBuffer, RoundTripsInEveryMode) {
    const Blowfish context = Keyed(Bytes("73920514"), 0x01234567, 0x89ABCDEF);
    const auto plain = Bytes("Point of interest, Hauptstrasse 12, 60313 Frankfurt am Main!");
    for (int mode : {Blowfish::kModeEcb, Blowfish::kModeCbc, Blowfish::kModeCfb, 3, -1}) {
        SCOPED_TRACE(mode);
        auto buffer = plain;
        context.EncipherBuffer(buffer.data(), buffer.size(), mode);
        EXPECT_NE(buffer, plain);
        context.ProcessBuffer(buffer.data(), buffer.size(), mode);
        EXPECT_EQ(buffer, plain);
    }
}

TEST(BlowfishBuffer, ModesDifferAndUnknownModesAreEcb) {
    const Blowfish context = Keyed(Bytes("key"), 0x11111111, 0x22222222);
    const auto plain = Bytes("same8bytsame8byt"); // two equal blocks
    auto ecb = plain;
    auto cbc = plain;
    auto cfb = plain;
    auto other = plain;
    context.EncipherBuffer(ecb.data(), ecb.size(), Blowfish::kModeEcb);
    context.EncipherBuffer(cbc.data(), cbc.size(), Blowfish::kModeCbc);
    context.EncipherBuffer(cfb.data(), cfb.size(), Blowfish::kModeCfb);
    context.EncipherBuffer(other.data(), other.size(), 7);
    EXPECT_TRUE(std::equal(ecb.begin(), ecb.begin() + 8, ecb.begin() + 8));
    EXPECT_FALSE(std::equal(cbc.begin(), cbc.begin() + 8, cbc.begin() + 8));
    EXPECT_FALSE(std::equal(cfb.begin(), cfb.begin() + 8, cfb.begin() + 8));
    EXPECT_NE(cbc, ecb);
    EXPECT_NE(cfb, cbc);
    EXPECT_EQ(other, ecb);
}

TEST(BlowfishBuffer, TailBeyondWholeBlocksStaysUnchanged) {
    const Blowfish context = Keyed(Bytes("73920514"), 5, 6);
    const auto plain = Bytes("ABCDEFGHijklm"); // 13 bytes
    for (int mode : {Blowfish::kModeEcb, Blowfish::kModeCbc, Blowfish::kModeCfb}) {
        SCOPED_TRACE(mode);
        auto buffer = plain;
        context.EncipherBuffer(buffer.data(), buffer.size(), mode);
        auto firstBlock = std::vector<std::uint8_t>(plain.begin(), plain.begin() + 8);
        context.EncipherBuffer(firstBlock.data(), firstBlock.size(), mode);
        EXPECT_TRUE(std::equal(firstBlock.begin(), firstBlock.end(), buffer.begin()));
        EXPECT_NE(firstBlock, std::vector<std::uint8_t>(plain.begin(), plain.begin() + 8));
        EXPECT_EQ(std::string(buffer.begin() + 8, buffer.end()), "ijklm");
    }
    for (std::size_t length : {0u, 1u, 7u}) {
        auto buffer = plain;
        context.EncipherBuffer(buffer.data(), length, Blowfish::kModeCbc);
        context.ProcessBuffer(buffer.data(), length, Blowfish::kModeEcb);
        EXPECT_EQ(buffer, plain);
    }
}

TEST(BlowfishBuffer, EveryCallRestartsTheChainFromTheIv) {
    const Blowfish context = Keyed(Bytes("restart"), 0xA5A5A5A5, 0x5A5A5A5A);
    const auto plain = Bytes("first8b.second8.");
    for (int mode : {Blowfish::kModeCbc, Blowfish::kModeCfb}) {
        SCOPED_TRACE(mode);
        auto halves = plain;
        context.EncipherBuffer(halves.data(), 8, mode);
        context.EncipherBuffer(halves.data() + 8, 8, mode);

        auto second = std::vector<std::uint8_t>(plain.begin() + 8, plain.end());
        context.EncipherBuffer(second.data(), second.size(), mode);
        EXPECT_TRUE(std::equal(second.begin(), second.end(), halves.begin() + 8));

        auto whole = plain;
        context.EncipherBuffer(whole.data(), whole.size(), mode);
        EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 8, halves.begin()));
        EXPECT_FALSE(std::equal(whole.begin() + 8, whole.end(), halves.begin() + 8));
    }
    EXPECT_EQ(context.chain, context.iv);
    EXPECT_EQ(context.iv, (std::array<std::uint32_t, 2>{0xA5A5A5A5, 0x5A5A5A5A}));
}

TEST(BlowfishInit, KeyIsCutTo56Bytes) {
    std::vector<std::uint8_t> key(60);
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = static_cast<std::uint8_t>(i * 37 + 1);
    }
    Blowfish full;
    Blowfish cut;
    Blowfish shorter;
    ASSERT_TRUE(full.Init(key.data(), 60, 1, 2));
    ASSERT_TRUE(cut.Init(key.data(), 56, 1, 2));
    ASSERT_TRUE(shorter.Init(key.data(), 55, 1, 2));
    EXPECT_EQ(full.p, cut.p);
    EXPECT_EQ(full.s, cut.s);
    EXPECT_NE(shorter.p, cut.p);
}

TEST(BlowfishInit, RefusesEmptyOrNullKeyAndKeepsTheContext) {
    const std::uint8_t key[] = {1, 2, 3};
    Blowfish context;
    ASSERT_TRUE(context.Init(key, sizeof key, 7, 8));
    const Blowfish before = context;
    EXPECT_FALSE(context.Init(key, 0, 9, 10));
    EXPECT_FALSE(context.Init(nullptr, 8, 9, 10));
    EXPECT_EQ(context.iv, before.iv);
    EXPECT_EQ(context.chain, before.chain);
    EXPECT_EQ(context.p, before.p);
    EXPECT_EQ(context.s, before.s);
}

} // namespace
