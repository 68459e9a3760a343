#pragma once
// The replay files the simulation keys hand to the receivers ('L': GPS sentences, 'T': RDS
// groups), checked when chosen: a file from which nothing can be read (another program's log, a
// file of the other kind, an empty one) is named in a message, once a run for each file.
// User-interface thread (the message box comes up on the calling thread).

#include "platform/types.h"

#include <string>

enum class ReplayFileKind {
    Gps, // NMEA 0183 sentences, replayed by the GPS receiver
    Tmc, // RDS groups as hexadecimal text, replayed by the TMC receiver
};

// The message texts ("%s": the file).
inline constexpr UINT kNoGpsSentenceText = 1408;
inline constexpr UINT kNoRdsGroupText = 1409;

// True when the file holds something the replay of kind reads: a GGA, VTG or RMC sentence of any
// talker (Gps), a group the TMC receiver's decoder takes (Tmc: a line that starts with one whole
// RDS group which a line end or blank ends; hexadecimal fields of lines of other formats are
// none). False also when the file cannot be read. Reads until the first is found.
[[nodiscard]] bool HoldsReplayData(const std::u16string& path, ReplayFileKind kind);

// Names path in a message over owner (text 1408 or 1409) when it holds nothing the replay of
// kind reads, once a run for each file; true when the message came up. Nothing for a file that
// cannot be opened: the receiver reports that one.
bool TellUnusableReplayFile(HWND owner, ReplayFileKind kind, const std::u16string& path);
