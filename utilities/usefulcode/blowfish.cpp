#include "utilities/usefulcode/blowfish.h"

#include "utilities/usefulcode/blowfishinit.h"

#include <algorithm>

namespace {

constexpr int kRounds = 16;

std::uint32_t ReadBigEndian(const std::uint8_t* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

void WriteBigEndian(std::uint32_t word, std::uint8_t* bytes) {
    bytes[0] = static_cast<std::uint8_t>(word >> 24);
    bytes[1] = static_cast<std::uint8_t>(word >> 16);
    bytes[2] = static_cast<std::uint8_t>(word >> 8);
    bytes[3] = static_cast<std::uint8_t>(word);
}

struct Block {
    std::uint32_t left;
    std::uint32_t right;
};

Block ReadBlock(const std::uint8_t* bytes) {
    return {ReadBigEndian(bytes), ReadBigEndian(bytes + 4)};
}

void WriteBlock(const Block& block, std::uint8_t* bytes) {
    WriteBigEndian(block.left, bytes);
    WriteBigEndian(block.right, bytes + 4);
}

Block Xor(const Block& a, const Block& b) {
    return {a.left ^ b.left, a.right ^ b.right};
}

Block Encipher(const Blowfish& context, Block block) {
    context.EncipherBlock(block.left, block.right);
    return block;
}

Block Decipher(const Blowfish& context, Block block) {
    context.DecipherBlock(block.left, block.right);
    return block;
}

} // namespace

bool Blowfish::Init(const std::uint8_t* key, std::size_t keyLength, std::uint32_t ivLeft,
                    std::uint32_t ivRight) {
    // The key schedule cycles over the key bytes, so it needs at least one.
    if (key == nullptr || keyLength == 0) {
        return false;
    }
    keyLength = std::min(keyLength, kMaxKeyBytes);
    iv = {ivLeft, ivRight};
    chain = iv;
    p = kBlowfishInitialP;
    s = kBlowfishInitialS;

    std::size_t keyIndex = 0;
    for (std::uint32_t& word : p) {
        std::uint32_t keyWord = 0;
        for (int i = 0; i < 4; ++i) {
            keyWord = (keyWord << 8) | key[keyIndex];
            keyIndex = (keyIndex + 1) % keyLength;
        }
        word ^= keyWord;
    }

    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < p.size(); i += 2) {
        EncipherBlock(left, right);
        p[i] = left;
        p[i + 1] = right;
    }
    for (auto& box : s) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            EncipherBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
    return true;
}

std::uint32_t Blowfish::F(std::uint32_t x) const {
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

void Blowfish::EncipherBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int round = 0; round < kRounds; ++round) {
        l ^= p[round];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= p[kRounds];
    l ^= p[kRounds + 1];
    left = l;
    right = r;
}

void Blowfish::DecipherBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int round = kRounds + 1; round > 1; --round) {
        l ^= p[round];
        r ^= F(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    r ^= p[1];
    l ^= p[0];
    left = l;
    right = r;
}

void Blowfish::EncipherBuffer(std::uint8_t* buffer, std::size_t length, int mode) const {
    if (buffer == nullptr) {
        return;
    }
    Block feedback{chain[0], chain[1]};
    for (std::size_t offset = 0; offset + 8 <= length; offset += 8) {
        std::uint8_t* bytes = buffer + offset;
        const Block in = ReadBlock(bytes);
        Block out;
        if (mode == kModeCbc) {
            out = Encipher(*this, Xor(in, feedback));
            feedback = out;
        } else if (mode == kModeCfb) {
            out = Xor(in, Encipher(*this, feedback));
            feedback = out;
        } else {
            out = Encipher(*this, in);
        }
        WriteBlock(out, bytes);
    }
}

void Blowfish::ProcessBuffer(std::uint8_t* buffer, std::size_t length, int mode) const {
    if (buffer == nullptr) {
        return;
    }
    Block feedback{chain[0], chain[1]};
    for (std::size_t offset = 0; offset + 8 <= length; offset += 8) {
        std::uint8_t* bytes = buffer + offset;
        const Block in = ReadBlock(bytes);
        Block out;
        if (mode == kModeCbc) {
            out = Xor(Decipher(*this, in), feedback);
            feedback = in;
        } else if (mode == kModeCfb) {
            out = Xor(in, Encipher(*this, feedback));
            feedback = in;
        } else {
            out = Decipher(*this, in);
        }
        WriteBlock(out, bytes);
    }
}
