#pragma once

#include "serial/EVaCommError.h"
#include "serial/TVaCustomComm.h"
#include "transfer/TapeCode.h"

#include <algorithm>
#include <cstdint>

namespace feedrail {

// Reads everything an RxChar event announced, in chunks that fit the buffer
// and in the order it arrived: each chunk's size goes to `chunk`, each
// character its tape code decodes to `take`, the machine's DC1 and DC3 as
// plain bytes while `fed()` says the machine is fed, asked at every byte
// (what ends the wait for an XON changes it within a batch). When `take`
// returns false, its byte and those after it are put back in the port,
// unread, for the next reader. False when the port failed.
// A template, so that the per-byte call is inlined into the receive path.
template <typename Chunk, typename Take, typename Fed>
bool ReadArrivedCharacters(TVaCustomComm& port, int count, std::int32_t punchType, Chunk chunk,
                           Take take, Fed fed) {
    constexpr int ReadChunk = 2048;
    char buffer[ReadChunk];
    for (int left = count; left > 0;) {
        int read = 0;
        try {
            read = port.ReadBuf(buffer, std::min(left, ReadChunk));
        } catch (const EVaCommError&) {
            return false;
        }
        if (read <= 0) {
            return true;
        }
        left -= read;
        chunk(read);
        for (int i = 0; i < read; ++i) {
            const auto byte = static_cast<unsigned char>(buffer[i]);
            const auto character =
                fed() ? DecodeMachineByte(byte, punchType) : DecodeTapeByte(byte, punchType);
            if (character && !take(*character)) {
                port.UnreadBuf(buffer + i, read - i);
                return true;
            }
        }
    }
    return true;
}

} // namespace feedrail
