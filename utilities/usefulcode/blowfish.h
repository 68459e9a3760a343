#pragma once
// The Blowfish block cipher (64-bit blocks, 16 rounds, keys of 1 to 56 bytes) with in-place
// buffer processing in ECB, CBC and 64-bit CFB modes. A context is a plain value; one context
// must not be used by two threads at once.

#include <array>
#include <cstddef>
#include <cstdint>

struct Blowfish {
    static constexpr std::size_t kMaxKeyBytes = 56;

    // Buffer modes; any number other than kModeCbc and kModeCfb means ECB.
    static constexpr int kModeEcb = 0;
    static constexpr int kModeCbc = 1;
    static constexpr int kModeCfb = 2; // 64-bit feedback

    std::array<std::uint32_t, 2> iv{};    // as passed to Init
    std::array<std::uint32_t, 2> chain{}; // where every buffer call starts its chain
    std::array<std::uint32_t, 18> p{};
    std::array<std::array<std::uint32_t, 256>, 4> s{};

    // Sets the IV (and the chaining value) and runs the key schedule over the key; bytes beyond
    // the 56th are ignored. A null or empty key is refused: false, and the context is unchanged.
    [[nodiscard]] bool Init(const std::uint8_t* key, std::size_t keyLength, std::uint32_t ivLeft,
                            std::uint32_t ivRight);

    // One block, as its big-endian halves (bytes 0-3 left, 4-7 right), in place.
    void EncipherBlock(std::uint32_t& left, std::uint32_t& right) const;
    void DecipherBlock(std::uint32_t& left, std::uint32_t& right) const;

    // Enciphers (EncipherBuffer) or deciphers (ProcessBuffer) the length / 8 whole blocks of the
    // buffer in place; the last length % 8 bytes stay unchanged. Each call starts its chain from
    // the context's chaining value, so a chained message must be processed in one call.
    void EncipherBuffer(std::uint8_t* buffer, std::size_t length, int mode) const;
    void ProcessBuffer(std::uint8_t* buffer, std::size_t length, int mode) const;

private:
    std::uint32_t F(std::uint32_t x) const;
};
