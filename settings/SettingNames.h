#pragma once

// Names of the stored values, spelled as they are kept in the store.
namespace SettingName {

// option key
inline constexpr const char* Type = "type";
inline constexpr const char* TreeExpand = "treeexpand";
inline constexpr const char* SaveWinSize = "savewinsize";
inline constexpr const char* ChkDownOw = "chkdownow";
inline constexpr const char* ChkUpOw = "chkupow";
inline constexpr const char* ChkDelete = "chkdelete";
inline constexpr const char* DelTmp = "deltmp";
// Whether a download command opens its folder in the file manager when it is done.
inline constexpr const char* OpenDownFolder = "opendownfolder";
// also in one host's key, where 0 stands for the option key's value
inline constexpr const char* Sessions = "Sessions";

// system key
inline constexpr const char* Timeout = "timeout";
inline constexpr const char* UnTimeout = "untimeout";
inline constexpr const char* SendBuf = "sendbuf";
inline constexpr const char* SysTemp = "systemp";
inline constexpr const char* Temp = "temp";

// profile subkey Log
inline constexpr const char* UseDefFt = "usedefft";
inline constexpr const char* FtColor = "ftcolor";
inline constexpr const char* UseDefColor = "usedefcolor";
inline constexpr const char* UseWinColor = "usewincolor";
inline constexpr const char* BkColor = "bkcolor";
inline constexpr const char* Font = "font";
inline constexpr const char* FontSize = "fontsize";

// Host key itself
inline constexpr const char* MailAdr = "MailAdr";
inline constexpr const char* FireType = "FireType";
inline constexpr const char* FireAdr = "FireAdr";
inline constexpr const char* FirePort = "FirePort";
inline constexpr const char* FireUser = "FireUser";
inline constexpr const char* FirePass = "FirePass";

// one host's key
inline constexpr const char* Name = "Name";
inline constexpr const char* Adr = "Adr";
inline constexpr const char* Port = "Port";
inline constexpr const char* Hide = "Hide";
inline constexpr const char* User = "User";
inline constexpr const char* Pass = "Pass";
inline constexpr const char* Anonymous = "anonymous";
inline constexpr const char* Firewall = "Firewall";
inline constexpr const char* Pasv = "Pasv";
inline constexpr const char* UpPath = "UpPath";
inline constexpr const char* RemotePath = "RemotePath";
inline constexpr const char* DownPath = "DownPath";
inline constexpr const char* Indexhtml = "Indexhtml";
inline constexpr const char* Icon = "icon";
inline constexpr const char* Charset = "charset";
inline constexpr const char* Chmod = "chmod";
inline constexpr const char* Security = "Security";
inline constexpr const char* TlsPin = "TlsPin";
inline constexpr const char* ServerZone = "ServerZone";
// The host's default mirror exclusions: the number of lines, and line n as "MirrorExclude<n>".
inline constexpr const char* MirrorExcludes = "MirrorExcludes";
inline constexpr const char* MirrorExclude = "MirrorExclude";

// profile subkeys
inline constexpr const char* WindowKey = "Window";
inline constexpr const char* ViewKey = "view";
inline constexpr const char* RebarKey = "rebar";
inline constexpr const char* ListKey = "list";
inline constexpr const char* LogKey = "Log";

} // namespace SettingName
