#pragma once
// Turns a fuzzer's input into the bytes of a file for a reader to open: either the input itself,
// or a valid file with the input's patches applied, so that the fuzzer reaches both the header
// checks and the data behind a sound header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

// Input: a mode byte, then (u16 offset, u8 value) patches, the last u16 a length to cut to. An
// odd mode byte gives the rest of the input as the file; an even one gives `base` with each
// value written at its offset (modulo the size), cut to the trailing length (modulo the size
// plus one) when two bytes are left. Empty for an empty input, or an even mode byte with an
// empty base.
std::vector<std::uint8_t> FileFromFuzzInput(const std::vector<std::uint8_t>& base,
                                            const std::uint8_t* data, std::size_t size);

// Texts for the text fuzz targets: each text as UTF-16LE code units followed by a 0 unit.
std::vector<std::uint8_t> WriteFuzzTexts(const std::vector<std::u16string>& texts);
// The input as UTF-16LE code units (an odd last byte is dropped) split at every 0 unit; the
// part after the last 0 unit is a text too. One empty text for an empty input.
std::vector<std::u16string> ReadFuzzTexts(const std::uint8_t* data, std::size_t size);

} // namespace testdata
