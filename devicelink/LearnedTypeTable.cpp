#include "LearnedTypeTable.h"

#include <algorithm>

namespace lw {

LearnedTypeTable::LearnedTypeTable(std::vector<std::pair<int, int>> entries)
    : entries_(std::move(entries)) {}

std::optional<int> LearnedTypeTable::learnedType(int address) const {
    const auto it = std::ranges::find(entries_, address, &std::pair<int, int>::first);
    if (it == entries_.end())
        return std::nullopt;
    return it->second;
}

void LearnedTypeTable::setLearnedType(int address, int type) {
    const auto it = std::ranges::find(entries_, address, &std::pair<int, int>::first);
    if (it != entries_.end())
        it->second = type;
}

} // namespace lw
