// Any bytes as a table file: the reader either loads rows or raises its own error, never
// crashes; and whatever it loaded saves to a text that loads again to as many rows.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "HistRow.h"
#include "ScheduleRow.h"
#include "TableFile.h"
#include "TankRecord.h"

using namespace lw;

namespace {

template <class Row>
void roundTrip(const std::string& bytes, std::span<const RowField<Row>> fields, const Formats& f) {
    std::vector<Row> rows;
    try {
        readTableText(bytes, rows, fields, f);
    } catch (const TableFileError&) {
        // Rows read before the error stay; they must save and load like any others.
    }
    std::vector<Row> again;
    readTableText(tableText(rows, fields, f), again, fields, f); // must not throw
    if (again.size() != rows.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const Formats& f : {Formats::enUS(), Formats::commaDecimal()}) {
        roundTrip(bytes, tankRowFields(), f);
        roundTrip(bytes, scheduleFields(), f);
        roundTrip(bytes, histFields(), f);
    }
    return 0;
}
