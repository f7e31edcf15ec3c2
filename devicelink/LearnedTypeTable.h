#pragma once
// A plain list of unit addresses with their learned display types, for tools and tests that
// receive frames without a poll list of their own.

#include <utility>
#include <vector>

#include "LearnedTypes.h"

namespace lw {

class LearnedTypeTable final : public LearnedTypes {
public:
    LearnedTypeTable() = default;
    // Entries in poll order: address and learned type.
    explicit LearnedTypeTable(std::vector<std::pair<int, int>> entries);

    std::optional<int> learnedType(int address) const override;
    void setLearnedType(int address, int type) override;

private:
    std::vector<std::pair<int, int>> entries_;
};

} // namespace lw
