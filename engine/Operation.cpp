#include "engine/Operation.h"

#include "engine/EngineMessages.h"

namespace {
template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;
} // namespace

std::optional<ExistingFile> ExistingFileOfAnswer(Answer answer) {
    switch (answer) {
    case Answer::Yes:
    case Answer::OverwriteAll:
        return ExistingFile::Replace;
    case Answer::Resume:
        return ExistingFile::Resume;
    case Answer::No:
        return ExistingFile::Keep;
    default:
        return std::nullopt;
    }
}

int FirstStep(const Operation& op) {
    return std::visit(Overloaded{
                          [](const Op::List&) { return WM_FTP_LIST; },
                          [](const Op::PrintFolder&) { return WM_FTP_PWD; },
                          [](const Op::ChangeFolder&) { return WM_FTP_CWD; },
                          [](const Op::ParentFolder&) { return WM_FTP_CDUP; },
                          [](const Op::MakeFolder&) { return WM_FTP_MKD; },
                          [](const Op::Rename&) { return WM_FTP_RNFR; },
                          [](const Op::Attributes&) { return WM_FTP_CHMOD; },
                          [](const Op::DeleteFile&) { return WM_FTP_DELE; },
                          [](const Op::RemoveFolder&) { return WM_FTP_RMD; },
                          [](const Op::ListToDelete&) { return WM_FTP_DELCWD; },
                          [](const Op::Download&) { return OP_DOWNLOAD; },
                          [](const Op::ListToDownload&) { return WM_FTP_GETCWD; },
                          [](const Op::ListFolder&) { return WM_FTP_TREECWD; },
                          [](const Op::Upload&) { return OP_UPLOAD; },
                          [](const Op::ShellOpen&) { return OP_SHELLOPEN; },
                          [](const Op::Abort&) { return WM_FTP_ABOR; },
                          [](const Op::Features&) { return WM_FTP_FEAT; },
                          [](const Op::Size&) { return WM_FTP_SIZETYPE; },
                          [](const Op::SetTimes&) { return WM_FTP_MFMT; },
                      },
                      op);
}

std::uint32_t WalkOf(const Operation& op) {
    return std::visit(
        [](const auto& o) -> std::uint32_t {
            if constexpr (requires { o.walk; })
                return o.walk;
            else
                return 0;
        },
        op);
}

void SetWalk(Operation& op, std::uint32_t walk) {
    std::visit(
        [walk](auto& o) {
            if constexpr (requires { o.walk; })
                o.walk = walk;
        },
        op);
}
