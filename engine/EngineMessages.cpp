#include "engine/EngineMessages.h"

#include "platform/SocketEvents.h"

Q_LOGGING_CATEGORY(lcEngineSteps, "lumo.engine.steps", QtInfoMsg)

const char* StepName(int message) {
    switch (message) {
    case WM_FTP_HOSTFOUND:
        return "HOSTFOUND";
    case WM_FTP_CONNECT:
        return "CONNECT";
    case WM_FTP_USER:
        return "USER";
    case WM_FTP_PASS:
        return "PASS";
    case WM_FTP_FIRECONNECT:
        return "FIRECONNECT";
    case WM_FTP_FIREUSER:
        return "FIREUSER";
    case WM_FTP_FIREPASS:
        return "FIREPASS";
    case WM_FTP_FIREOPEN:
        return "FIREOPEN";
    case WM_FTP_ABOR:
        return "ABOR";
    case WM_FTP_IDLE:
        return "IDLE";
    case WM_FTP_PWD:
        return "PWD";
    case WM_FTP_RNFR:
        return "RNFR";
    case WM_FTP_RNTO:
        return "RNTO";
    case WM_FTP_DELE:
        return "DELE";
    case WM_FTP_RMD:
        return "RMD";
    case WM_FTP_DELCWD:
        return "DELCWD";
    case WM_FTP_DELTYPE:
        return "DELTYPE";
    case WM_FTP_DELPASV:
        return "DELPASV";
    case WM_FTP_DELLIST:
        return "DELLIST";
    case WM_FTP_DELDATA:
        return "DELDATA";
    case WM_FTP_TYPE:
        return "TYPE";
    case WM_FTP_PASV:
        return "PASV";
    case WM_FTP_LIST:
        return "LIST";
    case WM_FTP_LISTDATA:
        return "LISTDATA";
    case WM_FTP_CDUP:
        return "CDUP";
    case WM_FTP_CWD:
        return "CWD";
    case WM_FTP_CHMOD:
        return "CHMOD";
    case WM_FTP_MKD:
        return "MKD";
    case WM_FTP_GETTYPE:
        return "GETTYPE";
    case WM_FTP_GETPASV:
        return "GETPASV";
    case WM_FTP_RETR:
        return "RETR";
    case WM_FTP_REST:
        return "REST";
    case WM_FTP_GETDATA:
        return "GETDATA";
    case WM_FTP_GETCWD:
        return "GETCWD";
    case WM_FTP_GETDIRTYPE:
        return "GETDIRTYPE";
    case WM_FTP_GETDIRPASV:
        return "GETDIRPASV";
    case WM_FTP_GETDIRLIST:
        return "GETDIRLIST";
    case WM_FTP_GETDIRDATA:
        return "GETDIRDATA";
    case WM_FTP_PUTTYPE:
        return "PUTTYPE";
    case WM_FTP_PUTPASV:
        return "PUTPASV";
    case WM_FTP_PUTREST:
        return "PUTREST";
    case WM_FTP_STOR:
        return "STOR";
    case WM_FTP_PUTDATA:
        return "PUTDATA";
    case WM_FTP_FEAT:
        return "FEAT";
    case WM_FTP_OPTSUTF8:
        return "OPTSUTF8";
    case WM_FTP_SIZETYPE:
        return "SIZETYPE";
    case WM_FTP_SIZE:
        return "SIZE";
    case WM_FTP_QUIT:
        return "QUIT";
    case WM_FTP_TREECWD:
        return "TREECWD";
    case WM_FTP_TREETYPE:
        return "TREETYPE";
    case WM_FTP_TREEPASV:
        return "TREEPASV";
    case WM_FTP_TREELIST:
        return "TREELIST";
    case WM_FTP_TREEDATA:
        return "TREEDATA";
    case WM_FTP_MFMT:
        return "MFMT";
    case WM_FTP_AUTH:
        return "AUTH";
    case WM_FTP_TLS:
        return "TLS";
    case WM_FTP_PBSZ:
        return "PBSZ";
    case WM_FTP_PROT:
        return "PROT";
    default:
        return "?";
    }
}

std::string InterestText(std::uint32_t interest) {
    std::string text;
    const std::pair<std::uint32_t, const char*> kinds[] = {{SocketEvent::Read, "read"},
                                                           {SocketEvent::Write, "write"},
                                                           {SocketEvent::Accept, "accept"},
                                                           {SocketEvent::Connect, "connect"},
                                                           {SocketEvent::Close, "close"}};
    for (const auto& [bit, name] : kinds) {
        if ((interest & bit) == 0)
            continue;
        if (!text.empty())
            text += '|';
        text += name;
    }
    return text.empty() ? std::string("nothing") : text;
}
