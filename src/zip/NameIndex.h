// Items by exact name in an archive's directory, built once and then only read. Open
// addressing in one array: tens of thousands of names go in without a node allocation each,
// which is what a relative store of a large project spends its start-up on otherwise.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace kp {

class NameIndex {
public:
    // names(i) gives the i-th name; it must stay valid as long as the index is used.
    using NameOf = std::function<std::string_view(std::size_t)>;

    // Indexes names 0..count-1; returns the first index whose name was seen before, or -1.
    long build(std::size_t count, const NameOf& nameOf);
    // The index of exactly this name, or -1.
    long find(std::string_view name) const;

private:
    std::size_t slotOf(std::string_view name) const { return std::hash<std::string_view>{}(name) & m_mask; }

    NameOf m_nameOf;
    std::vector<std::uint32_t> m_slots; // index + 1, 0 for an empty slot
    std::size_t m_mask = 0;
};

} // namespace kp
