#pragma once
// Calls into a library we do not control, from inside the host's process, without letting a fault in it
// end that process.
#include <cstdint>

namespace mellodeck {

// Runs `function` in a thread of its own and waits for it, answering messages sent to this thread's
// windows meanwhile (so a function that sends to them cannot deadlock). A fault it does not handle
// itself (an access violation, an illegal instruction: any exception that would end the process) ends only
// that thread. True with the function's answer in `result` when it returned; false when it faulted, threw,
// or could not be run. Not re-entrant: a call made while another runs fails.
bool CallContained(int32_t (*function)(), int32_t& result);

} // namespace mellodeck
