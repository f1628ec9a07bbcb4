#include "engine/run_report.h"

namespace quillora {

void RunReport::add(const FileResult& result) {
    const BatchEntry& entry = plan_.entries[result.index];
    if (result.outcome == FileOutcome::Failed)
        failures_.push_back(entry.source + ": " + result.message);
    else if (result.outcome == FileOutcome::Converted && entry.numbered)
        renamed_.push_back(entry.source + " \u2192 " + entry.name);
}

RunReport::Kind RunReport::kind() const {
    if (!failures_.empty())
        return Kind::Warning;
    return renamed_.empty() ? Kind::Nothing : Kind::Information;
}

std::string RunReport::renamed_heading() const {
    return std::to_string(renamed_.size()) +
           " arquivo(s) salvos com um nome numerado, pois outro arquivo desta conversão já "
           "tinha o nome:";
}

std::string RunReport::text() const {
    switch (kind()) {
        case Kind::Warning:
            return std::to_string(failures_.size() + not_started_) +
                   " arquivo(s) não foram convertidos:";
        case Kind::Information:
            return renamed_heading();
        case Kind::Nothing:
            break;
    }
    return {};
}

std::vector<std::string> RunReport::lines() const {
    if (kind() == Kind::Information)
        return renamed_;
    std::vector<std::string> lines = failures_;
    if (not_started_ > 0)
        lines.push_back(std::to_string(not_started_) + " arquivo(s) não iniciados");
    if (!renamed_.empty()) {
        lines.emplace_back();
        lines.push_back(renamed_heading());
        lines.insert(lines.end(), renamed_.begin(), renamed_.end());
    }
    return lines;
}

}  // namespace quillora
