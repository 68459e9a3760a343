#pragma once
// The cipher's initial P-array and S-boxes (the fractional hexadecimal digits of pi), generated
// by blowfishinit_generate.py. Only blowfish.cpp uses them.

#include <array>
#include <cstdint>

extern const std::array<std::uint32_t, 18> kBlowfishInitialP;
extern const std::array<std::array<std::uint32_t, 256>, 4> kBlowfishInitialS;
