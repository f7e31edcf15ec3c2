#include "ValueText.h"

namespace lw {

std::string valueText(const FieldValue& value, const Formats& formats) {
    struct Visitor {
        const Formats& formats;
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(int32_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return formatNumber(d, formats); }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
    };
    return std::visit(Visitor{formats}, value);
}

} // namespace lw
