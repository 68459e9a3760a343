#pragma once
// The order in which the TMC message dialog lists its lines: by the road of their second line.
// Pure functions; any thread.

#include <cstddef>
#include <string>
#include <vector>

// The road number of a line: the integer read from two characters after its first line feed
// (leading blanks skipped, an optional sign, decimal digits, saturated to the int range); 0
// when there is none.
[[nodiscard]] int TmcRoadNumber(const std::u16string& line);

// The indices of lines in listing order: lines whose second line begins with "A", then those
// beginning with "B", each group by ascending road number keeping the order of equal numbers;
// then every other line in its own order.
[[nodiscard]] std::vector<std::size_t> OrderTmcLines(const std::vector<std::u16string>& lines);
