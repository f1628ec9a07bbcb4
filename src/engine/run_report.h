// What the end of a run tells the user, in one box: the files that were not
// converted (each failure with its reason, then how many never started) and
// the files saved under a numbered name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/batch_run.h"

namespace quillora {

class RunReport {
  public:
    enum class Kind {
        Nothing,      // no box
        Information,  // only numbered names
        Warning,      // some file was not converted
    };

    explicit RunReport(const BatchPlan& plan) : plan_(plan) {}

    // Notes a finished file of the plan.
    void add(const FileResult& result);
    // Notes the end of the run: how many files never started.
    void close(const BatchSummary& summary) { not_started_ = summary.not_started; }

    Kind kind() const;
    // The text above the lines.
    std::string text() const;
    // The lines the box lists: the failures ("SOURCE: MESSAGE") and one line
    // for the files not started; then, below a heading of their own when
    // there are failures too, the numbered names ("SOURCE → NAME").
    std::vector<std::string> lines() const;

  private:
    std::string renamed_heading() const;

    const BatchPlan& plan_;
    std::vector<std::string> failures_;
    std::vector<std::string> renamed_;
    std::size_t not_started_ = 0;
};

}  // namespace quillora
