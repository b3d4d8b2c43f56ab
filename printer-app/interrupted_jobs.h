// Jobs that were printing when the server stopped.
//
// A server killed, or a machine that went down, while a job printed leaves
// that job saved as "processing". PAPPL 1.3.1 restores it so, never prints
// it, and waits up to a minute for it at every shutdown. Before the state is
// loaded, such jobs are made held jobs instead, and the server releases them
// once their printer is free: each prints again from its start, as after a
// power cut at the printer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/result.h"

namespace kav::app {

struct InterruptedJob {
  int printerId;
  int jobId;
};

// Rewrites the saved state at `path` (through a file beside it, renamed over
// it) so that its printing jobs are held, and answers them; each is given to
// `remember` before the rewrite. A missing state has none.
Result<std::vector<InterruptedJob>> HoldInterruptedJobs(const std::string& path,
                                                        const std::function<void(const InterruptedJob&)>& remember);

}  // namespace kav::app
