#include "framework/message_map.h"

namespace {

bool Matches(const MessageMapEntry& entry, UINT message, WPARAM wParam) {
    if (entry.message != message) {
        return false;
    }
    if (message != WM_COMMAND) {
        return true;
    }
    return entry.id == LOWORD(wParam) && entry.code == HIWORD(wParam);
}

const MessageMap kEmptyMap{nullptr, nullptr, 0};

}  // namespace

const MessageMapEntry* FindMessageEntry(const MessageMap& map, UINT message, WPARAM wParam) {
    for (const MessageMap* level = &map; level != nullptr; level = level->base) {
        for (std::size_t i = 0; i < level->count; ++i) {
            if (Matches(level->entries[i], message, wParam)) {
                return &level->entries[i];
            }
        }
    }
    return nullptr;
}

const MessageMap& CCmdTarget::GetMessageMap() const {
    return kEmptyMap;
}

bool CCmdTarget::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const MessageMapEntry* entry = FindMessageEntry(GetMessageMap(), message, wParam);
    if (entry == nullptr) {
        return false;
    }
    m_bDefaultRequested = false;
    result = entry->invoke(*this, wParam, lParam);
    return !m_bDefaultRequested;
}
