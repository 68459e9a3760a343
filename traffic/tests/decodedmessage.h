#pragma once
// The last message a decoder gives for a text of RDS groups (as testdata::AlertCEncoder builds
// it); a zeroed message when the text holds none.

#include "traffic/tmcdecoder.h"

#include <string>

inline TmcRawMessage DecodeLastTmcMessage(const std::string& text) {
    TmcDecoder decoder;
    TmcRawMessage raw{};
    for (int offset = 0; offset < static_cast<int>(text.size());) {
        offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
        if (const TmcRawMessage* message = decoder.TakeMessage()) {
            raw = *message;
        }
    }
    return raw;
}
