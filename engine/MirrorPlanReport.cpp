#include "engine/MirrorPlanReport.h"

namespace {

const char* DryRunWord(MirrorAction::Kind kind) {
    switch (kind) {
    case MirrorAction::MakeFolder:
        return "mkdir";
    case MirrorAction::Send:
        return "send";
    case MirrorAction::Conflict:
        return "conflict";
    case MirrorAction::Remove:
        return "remove";
    case MirrorAction::RecordOnly:
    case MirrorAction::Skip:
        break;
    }
    return nullptr;
}

} // namespace

std::string DryRunText(const MirrorPlan& plan) {
    std::string text;
    for (const MirrorAction& action : plan.actions) {
        const char* word = DryRunWord(action.kind);
        if (!word)
            continue;
        text += word;
        text += '\t';
        text += EscapeField(action.path);
        text += '\n';
    }
    return text;
}

MirrorSummary Summarise(const MirrorPlan& plan) {
    MirrorSummary summary;
    for (const MirrorAction& action : plan.actions) {
        ++summary.count[action.kind];
        if (action.size > 0 && (action.kind == MirrorAction::Send || action.kind == MirrorAction::Remove))
            summary.bytes[action.kind] += action.size;
    }
    return summary;
}
