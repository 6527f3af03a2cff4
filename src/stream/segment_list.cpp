// The page's segment list and page copy, on the global heap.
#include "stream/segment_list.h"

#include <cstring>

#include "core/process_state.h"

namespace {

void FreeChain(SegmentNode* node) {
    while (node != nullptr) {
        SegmentNode* next = node->next;
        FreeBlock(node->data);
        FreeBlock(node);
        node = next;
    }
}

// A node with a zero-initialised data block of length bytes; a zero length
// still gets a one-byte block, so that data is never null. Null when either
// block cannot be had.
SegmentNode* AllocNode(SIZE_T length) {
    auto* node = static_cast<SegmentNode*>(AllocZeroed(sizeof(SegmentNode)));
    if (node == nullptr) return nullptr;
    node->data = static_cast<u8*>(AllocZeroed(length != 0 ? length : 1));
    if (node->data == nullptr) {
        FreeBlock(node);
        return nullptr;
    }
    node->length = static_cast<u32>(length);
    return node;
}

}  // namespace

bool StoreSegment(PortSession& session, const u8* data, u32 length) {
    SegmentNode* node = AllocNode(length);
    if (node == nullptr) {
        ReleaseSegments(session);
        return false;
    }
    if (length != 0) std::memcpy(node->data, data, length);
    if (session.job.data.pageFirst == nullptr)
        session.job.data.pageFirst = node;
    else
        session.job.data.pageLast->next = node;
    session.job.data.pageLast = node;
    return true;
}

void ReleaseSegments(PortSession& session) {
    FreeChain(session.job.data.pageFirst);
    session.job.data.pageFirst = nullptr;
    session.job.data.pageLast = nullptr;
}

bool MakePageCopy(PortSession& session) {
    DiscardPageCopy(session);
    SIZE_T total = 0;
    for (SegmentNode* node = session.job.data.pageFirst; node != nullptr; node = node->next)
        total += node->length;
    SegmentNode* copy = AllocNode(total);
    if (copy == nullptr) return false;
    u8* out = copy->data;
    for (SegmentNode* node = session.job.data.pageFirst; node != nullptr; node = node->next) {
        std::memcpy(out, node->data, node->length);
        out += node->length;
    }
    session.job.data.pageCopy = copy;
    session.job.flags |= PSF_PAUSED;
    return true;
}

void DiscardPageCopy(PortSession& session) {
    FreeChain(session.job.data.pageCopy);
    session.job.data.pageCopy = nullptr;
}

void ReleasePageCopy(PortSession& session) {
    DiscardPageCopy(session);
    session.job.flags &= ~PSF_PAUSED;
}
