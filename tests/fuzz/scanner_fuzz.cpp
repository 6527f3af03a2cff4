// Scanner fuzzer: a stream cut into WritePort-sized pieces with the write
// path's carry-over, scanned piece by piece with a sender that writes every
// segment. Checks that nothing is read outside the buffer, no byte is lost or
// doubled, only the three edits change bytes, and every call consumes or waits.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "stream/scanner.h"

namespace {

using Bytes = std::vector<u8>;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "scanner_fuzz: %s\n", what);
        std::abort();
    }
}

struct Reader {
    const u8* data;
    size_t size;
    size_t at = 0;
    bool done() const { return at >= size; }
    u8 next() { return at < size ? data[at++] : 0; }
};

// Token mode: each input byte picks a construct of the command stream, so that
// blocks, long raster runs and the edited commands turn up often.
Bytes BuildStream(Reader& in, bool tokens) {
    Bytes out;
    if (!tokens) {
        out.assign(in.data + in.at, in.data + in.size);
        return out;
    }
    auto raw = [&](int count) {
        for (int i = 0; i < count; ++i) out.push_back(in.next());
    };
    constexpr size_t MAX_STREAM = 256 * 1024;
    while (!in.done() && out.size() < MAX_STREAM) {
        u8 op = in.next();
        switch (op % 16) {
            case 0: raw(1 + op / 16); break;
            case 1:
                out.insert(out.end(), JOB_INFO_INTRODUCER, JOB_INFO_INTRODUCER + 4);
                raw(JOB_INFO_SIZE - 4);
                break;
            case 2: {
                u8 n = in.next();
                out.insert(out.end(), {0x47, n, 0});
                raw(n);
                break;
            }
            case 3: out.insert(out.end(), 1 + op / 16, 0x5A); break;
            case 4: out.push_back(0x0C); break;
            case 5: out.push_back(0x1A); break;
            case 6:
                out.insert(out.end(), {0x1B, 0x69, 0x63});
                raw(5);
                break;
            case 7:
                out.insert(out.end(), {0x1B, 0x69, 0x4B});
                raw(1);
                break;
            case 8:
                out.push_back(0x4D);
                raw(1);
                break;
            case 9: {
                u8 count = in.next() % 8;
                out.insert(out.end(), {0x1B, 0x2A, count, 0});
                raw(1 + 3 * count);
                break;
            }
            case 10:
                out.insert(out.end(), {0x1B, 0x69, 0x49, 0x02});
                raw(2);
                break;
            case 11:
                out.insert(out.end(), {0x1B, 0x69, 0x49});
                raw(1);
                break;
            case 12: out.insert(out.end(), {0x1B, 0x40}); break;
            case 13: out.insert(out.end(), 64 * (1 + op / 16), 0x5A); break;
            case 14: {
                u32 n = 256u * in.next() + in.next();
                out.insert(out.end(), {0x47, static_cast<u8>(n), static_cast<u8>(n >> 8)});
                out.insert(out.end(), n, in.next());
                break;
            }
            case 15:
                out.insert(out.end(), {0x1B, 0x69, 0x41});
                raw(16);
                break;
        }
    }
    return out;
}

struct Harness {
    Bytes output;  // segments and taken blocks, in stream order
    u32 holdBacks = 0;
    u32 seed = 0;
    bool failStores = false;
    bool storesNothing = false;  // as the resend's sender, whose bytes are kept already
    bool stopped = false;
    const u8* buffer = nullptr;
    u32 length = 0;

    u32 random() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    }

    static SendResult Send(void* context, PortSession& session, ScanCursor& cursor,
                           SegmentKind kind) {
        auto* self = static_cast<Harness*>(context);
        Require(cursor.buffer == self->buffer && cursor.length == self->length, "cursor moved");
        Require(cursor.pos > 0, "empty segment handed over");
        Require(cursor.consumed <= cursor.length && cursor.pos <= cursor.length - cursor.consumed,
                "segment outside the buffer");
        // A bounded number of segments is held back whole, as on a busy port.
        if (self->holdBacks > 0 && self->random() % 4 == 0) {
            --self->holdBacks;
            if (kind != SEG_PLAIN) session.job.data.rasterCount = 0;
            return SendResult::Continue;
        }
        const u8* base = cursor.base();
        u8 first = base[0], last = base[cursor.pos - 1];  // touch both ends
        (void)first;
        if (kind == SEG_PAGE_END) Require(last == 0x0C, "page end without FF");
        if (kind == SEG_LAST_PAGE) Require(last == 0x1A, "last page without SUB");
        self->output.insert(self->output.end(), base, base + cursor.pos);
        cursor.consumed += cursor.pos;
        cursor.pos = 0;
        if (kind != SEG_PLAIN) session.job.data.rasterCount = 0;  // the handshake's part
        return SendResult::Continue;
    }
    static bool Take(void* context, PortSession&, const u8* block) {
        auto* self = static_cast<Harness*>(context);
        Require(block >= self->buffer && block + JOB_INFO_SIZE <= self->buffer + self->length,
                "block outside the buffer");
        Require(std::memcmp(block, JOB_INFO_INTRODUCER, 4) == 0, "block without introducer");
        volatile u8 touch = block[JOB_INFO_SIZE - 1];
        (void)touch;
        return true;
    }
    static bool Store(void* context, PortSession&, const u8* data, u32 length) {
        auto* self = static_cast<Harness*>(context);
        Require(length == JOB_INFO_SIZE, "stored block of the wrong size");
        if (self->failStores && self->random() % 8 == 0) return false;
        if (!self->storesNothing) self->output.insert(self->output.end(), data, data + length);
        return true;
    }
    static void StoreFailed(void* context, PortSession&) {
        static_cast<Harness*>(context)->stopped = true;
    }
    ScanSender sender() { return {this, Send, Take, Store, StoreFailed}; }
};

// One scan of exactly n bytes in their own heap block (so the sanitizer sees
// any read past them); the edits are copied back.
u32 ScanOnce(PortSession& session, Harness& harness, u8* data, u32 n, ScanMode mode) {
    std::unique_ptr<u8[]> block(new u8[n == 0 ? 1 : n]);
    if (n != 0) std::memcpy(block.get(), data, n);
    harness.buffer = block.get();
    harness.length = n;
    u32 consumed = 0;
    bool resending = harness.storesNothing;
    size_t before = harness.output.size();
    bool result = ScanStreamWith(session, block.get(), n, consumed, harness.sender(), mode);
    Require(result, "scan failed with a sender that never fails");
    Require(consumed <= n, "consumed more than given");
    Require(session.stateClass == STATE_READY && session.stateCode == 0, "state pair");
    if (!resending) {
        Require(harness.output.size() - before == consumed || harness.stopped,
                "consumed bytes not written or taken");
    }
    if (n != 0) std::memcpy(data, block.get(), n);
    return consumed;
}

// Differences between what left the scanner and the stream are only the edits.
void CheckEdits(const Bytes& stream, const Bytes& output) {
    Require(output.size() <= stream.size(), "more bytes out than in");
    for (size_t i = 0; i < output.size(); ++i) {
        if (output[i] == stream[i]) continue;
        bool toSub = stream[i] == 0x0C && output[i] == 0x1A;
        bool escIParam = i >= 3 && stream[i - 3] == 0x1B && stream[i - 2] == 0x69 &&
                         (stream[i - 1] == 0x4B || (stream[i - 1] == 0x63 && output[i] == 0));
        Require(toSub || escIParam, "byte changed outside the three edits");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8* data, size_t size) {
    if (size < 3) return 0;
    Reader in{data, size};
    u8 mode = in.next();
    u32 seed = in.next() | (static_cast<u32>(in.next()) << 8);
    Bytes stream = BuildStream(in, mode & 1);

    PortSession session{};
    session.job = FreshJob();
    if (mode & 2) {  // as after a recovery
        session.job.data.resumeAfterReply = true;
        session.job.data.restoreCutParam = true;
        session.job.data.cutParamSeen = true;
        session.job.data.savedCutParam = 0x5A;
        session.job.data.lastPageEnd = 0x1A;
    }
    Harness harness;
    harness.seed = seed;
    harness.holdBacks = (mode & 4) ? 16 : 0;
    harness.failStores = mode & 8;
    // Resending: blocks are taken without being stored, so the output is not whole.
    harness.storesNothing = mode & 16;

    // The write path: pieces of the spooler's sizes, the tail carried in front of the next.
    constexpr u32 CARRY = CARRY_BUFFER_SIZE;
    Bytes carry(CARRY);
    u32 carryCount = 0;
    size_t offered = 0;
    size_t finished = 0;  // stream bytes finished with
    u32 maxPiece = 1 + (seed % 16384);
    size_t calls = 0;
    const size_t callLimit = 4 * stream.size() + 64;
    while (offered < stream.size() && !harness.stopped) {
        Require(++calls <= callLimit, "no progress");
        u32 pieceLength = 1 + harness.random() % maxPiece;
        pieceLength = static_cast<u32>(std::min<size_t>(pieceLength, stream.size() - offered));
        Bytes piece(stream.begin() + offered, stream.begin() + offered + pieceLength);
        u8* scanData;
        u32 n;
        u32 taken;
        if (carryCount == 0) {
            scanData = piece.data();
            n = pieceLength;
            taken = pieceLength;
        } else {
            taken = std::min(pieceLength, CARRY - carryCount);
            std::memcpy(carry.data() + carryCount, piece.data(), taken);
            carryCount += taken;
            scanData = carry.data();
            n = carryCount;
        }
        u32 consumed = ScanOnce(session, harness, scanData, n, ScanMode::Normal);
        offered += taken;
        finished += consumed;
        u32 tail = n - consumed;
        if (harness.stopped) {  // the write path drops the rest of a stopped job
            carryCount = 0;
            break;
        }
        // A command longer than the carry buffer can never complete: not a case for this run.
        if (tail > CARRY || (consumed == 0 && tail == CARRY)) return 0;
        std::memmove(carry.data(), scanData + consumed, tail);
        carryCount = tail;
    }

    // The end of the stream: what is left is scanned once more as the last bytes.
    for (int round = 0; carryCount != 0 && !harness.stopped; ++round) {
        Require(round <= static_cast<int>(CARRY), "end of stream does not settle");
        u32 consumed = ScanOnce(session, harness, carry.data(), carryCount, ScanMode::EndOfStream);
        finished += consumed;
        if (consumed == 0) break;  // a known command cut short: dropped by the caller
        std::memmove(carry.data(), carry.data() + consumed, carryCount - consumed);
        carryCount -= consumed;
    }
    Require(finished + carryCount <= stream.size(), "finished more than the stream");
    if (!harness.stopped) {
        Require(finished + carryCount == stream.size(), "bytes lost between calls");
    }
    if (!harness.storesNothing) {
        Require(harness.output.size() <= finished, "output beyond the finished bytes");
        CheckEdits(stream, harness.output);
    }
    return 0;
}
