#pragma once

#include "engine/MirrorPlan.h"

#include <array>
#include <cstdint>
#include <string>

// lumo-cli --dry-run: one line per action that would change something or needs the person, its
// word ("send", "mkdir", "remove", "conflict"), a tab and the path relative to the pair, escaped as
// the record escapes it so that every name stays on its line. Skipped links and adopted files are
// not listed.
std::string DryRunText(const MirrorPlan& plan);

// How many actions of each kind a plan holds, and how many bytes they move (sends) or free
// (removals), for the preview.
struct MirrorSummary {
    std::array<std::int64_t, MirrorAction::Remove + 1> count{};
    std::array<std::int64_t, MirrorAction::Remove + 1> bytes{};
};

MirrorSummary Summarise(const MirrorPlan& plan);
