// The page's segment list and page copy, on the global heap.
#include "stream/segment_list.h"

#include <cstring>

#include "monitor/process_state.h"

namespace {

void FreeNode(SegmentNode* node) {
    FreeBlock(node->data);
    FreeBlock(node);
}

}  // namespace

bool StoreSegment(PortSession& session, const u8* data, u32 length) {
    auto* node = static_cast<SegmentNode*>(AllocZeroed(sizeof(SegmentNode)));
    // A zero-length segment still gets a (one-byte) block so that data is never null.
    u8* copy = node ? static_cast<u8*>(AllocZeroed(length != 0 ? length : 1)) : nullptr;
    if (copy == nullptr) {
        FreeBlock(node);
        ReleaseSegments(session);
        return false;
    }
    if (length != 0) std::memcpy(copy, data, length);
    node->data = copy;
    node->length = length;
    node->next = nullptr;
    if (session.pageFirst == nullptr) {
        session.pageFirst = node;
    } else {
        node->prev = session.pageLast;
        session.pageLast->next = node;
    }
    session.pageLast = node;
    return true;
}

void ReleaseSegments(PortSession& session) {
    SegmentNode* node = session.pageFirst;
    while (node != nullptr) {
        SegmentNode* next = node->next;
        FreeNode(node);
        node = next;
    }
    session.pageFirst = nullptr;
    session.pageLast = nullptr;
}

bool MakePageCopy(PortSession& session) {
    if (session.pageCopy != nullptr) ReleasePageCopy(session);
    SIZE_T total = 0;
    for (SegmentNode* node = session.pageFirst; node != nullptr; node = node->next)
        total += node->length;
    auto* copy = static_cast<SegmentNode*>(AllocZeroed(sizeof(SegmentNode)));
    u8* data = copy ? static_cast<u8*>(AllocZeroed(total != 0 ? total : 1)) : nullptr;
    if (data == nullptr) {
        FreeBlock(copy);
        return false;
    }
    u8* out = data;
    for (SegmentNode* node = session.pageFirst; node != nullptr; node = node->next) {
        std::memcpy(out, node->data, node->length);
        out += node->length;
    }
    copy->data = data;
    copy->length = static_cast<u32>(total);
    copy->next = nullptr;
    session.pageCopy = copy;
    session.flags |= PSF_PAUSED;
    return true;
}

void ReleasePageCopy(PortSession& session) {
    SegmentNode* node = session.pageCopy;
    while (node != nullptr) {
        SegmentNode* next = node->next;
        FreeNode(node);
        node = next;
    }
    session.pageCopy = nullptr;
    session.flags &= ~PSF_PAUSED;
}
