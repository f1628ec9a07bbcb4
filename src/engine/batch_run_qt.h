// A batch run driven from the window's thread: the files convert on worker
// threads while the window keeps processing its events, so it repaints and
// Cancel answers however long one file takes.
#pragma once

#include <functional>

#include "engine/batch_run.h"

namespace quillora {

// Runs the plan and returns when it is over. `finished` is called on the
// calling thread for each finished file, in list order. `cancel_requested`
// is asked by the workers before each file (from their threads, so it must
// be safe to call from any thread); once it has said true no further file
// starts.
BatchSummary run_batch_processing_events(const BatchPlan& plan, const BatchOptions& options,
                                         const std::function<void(const FileResult&)>& finished,
                                         const std::function<bool()>& cancel_requested);

}  // namespace quillora
