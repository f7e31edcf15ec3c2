#pragma once
// Where the process may run.

namespace lw {

// Restricts the process to the first processor; best effort, never fatal.
void pinToFirstProcessor();

} // namespace lw
