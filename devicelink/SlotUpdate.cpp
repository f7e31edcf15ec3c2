#include "SlotUpdate.h"

#include <type_traits>

namespace lw {
namespace {

enum class Rule : uint8_t { Alarm, Plain, DispType, Compare };

Rule ruleOf(TankField field) {
    switch (field) {
    case TankField::Alarm1:
    case TankField::Alarm2:
    case TankField::Alarm3:
    case TankField::Alarm4:
        return Rule::Alarm;
    case TankField::BatDisplay:
    case TankField::BatSender:
    case TankField::DateTime:
        return Rule::Plain;
    case TankField::DispType:
        return Rule::DispType;
    default:
        return Rule::Compare;
    }
}

template <class T> T typed(double value) {
    if constexpr (std::is_same_v<T, bool>)
        return value != 0;
    else
        return static_cast<T>(value);
}

// Writes one value into its member unless the field's rule skips it.
template <class T>
void store(std::optional<T>& target, TankField field, double raw, SlotResult& result,
           FieldObserver* observer) {
    const T value = typed<T>(raw);
    const bool differs = !target || *target != value;
    switch (ruleOf(field)) {
    case Rule::Alarm:
        // An empty alarm counts as changed, so a tank's first alarms are always reported.
        result.alarmchange |= differs;
        break;
    case Rule::Plain:
        break;
    case Rule::DispType:
        if (!differs)
            return;
        break;
    case Rule::Compare:
        if (!differs)
            return;
        result.change = true;
        break;
    }
    if (observer) {
        const FieldValue before = target ? FieldValue(*target) : FieldValue();
        target = value;
        observer->fieldWritten(field, before, value);
    } else {
        target = value;
    }
}

} // namespace

SlotResult applySlot(const DecodedSlot& slot, TankRecord& row, const SlotPolicy& policy,
                     FieldObserver* observer) {
    const auto fields = tankRowFields();
    SlotResult result;
    for (const FieldWrite& write : slot.fieldWrites()) {
        if ((write.field == TankField::DateTime && !policy.writeDateTime) ||
            (write.field == TankField::DispType && !policy.writeDispType))
            continue;
        std::visit(
            [&](auto member) {
                auto& target = row.*member;
                using T = typename std::remove_reference_t<decltype(target)>::value_type;
                if constexpr (!std::is_same_v<T, std::string>) // decoding writes no text fields
                    store(target, write.field, write.value, result, observer);
            },
            fields[static_cast<size_t>(write.field)].member);
    }
    return result;
}

} // namespace lw
