#include "zip/NameIndex.h"

namespace kp {

long NameIndex::build(std::size_t count, const NameOf& nameOf) {
    m_nameOf = nameOf;
    std::size_t size = 16;
    while (size < count * 2) size *= 2; // at most half full: probes stay short
    m_slots.assign(size, 0);
    m_mask = size - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view name = nameOf(i);
        std::size_t slot = slotOf(name);
        for (; m_slots[slot] != 0; slot = (slot + 1) & m_mask)
            if (nameOf(m_slots[slot] - 1) == name) return long(i);
        m_slots[slot] = std::uint32_t(i + 1);
    }
    return -1;
}

long NameIndex::find(std::string_view name) const {
    if (m_slots.empty()) return -1;
    for (std::size_t slot = slotOf(name); m_slots[slot] != 0; slot = (slot + 1) & m_mask)
        if (m_nameOf(m_slots[slot] - 1) == name) return long(m_slots[slot] - 1);
    return -1;
}

} // namespace kp
