#include "app/OperationStatus.h"

#include "engine/EngineMessages.h"

const char* OperationStatusText(int operation) {
    switch (operation) {
    case 0:
        return "ログインしています";
    case WM_FTP_LIST:
        return "ファイル一覧を取得しています";
    case WM_FTP_CWD:
    case WM_FTP_CDUP:
    case WM_FTP_PWD:
        return "フォルダを移動しています";
    case WM_FTP_DELE:
    case WM_FTP_RMD:
    case WM_FTP_DELCWD:
        return "削除しています";
    case WM_FTP_MKD:
        return "フォルダを作成しています";
    case WM_FTP_RNFR:
        return "名前を変更しています";
    case WM_FTP_CHMOD:
        return "属性を変更しています";
    case WM_FTP_GETCWD:
        return "フォルダの中身を調べています";
    default:
        return nullptr;
    }
}
