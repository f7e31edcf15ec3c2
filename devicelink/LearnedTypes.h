#pragma once
// What reception needs of the poll list: the display type learned per unit address.

#include <optional>

namespace lw {

class LearnedTypes {
public:
    virtual ~LearnedTypes() = default;
    // Display type recorded by the first poll entry (from entry 1 on) whose address is
    // `address`; empty when no entry polls that address.
    virtual std::optional<int> learnedType(int address) const = 0;
    // Records `type` in that same first entry; no effect when there is none.
    virtual void setLearnedType(int address, int type) = 0;
};

} // namespace lw
