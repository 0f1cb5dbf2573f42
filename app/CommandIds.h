#pragma once

// Command ids of the menus, the tool bar, the accelerators and the context menus. The numbers are
// fixed: stored layouts and the menu resources refer to them.
namespace CommandId {

// Menu bar titles (ids 1 to 5 of the menu bar's buttons) and the Alt accelerators that open them.
inline constexpr int MenuTitleFirst = 1;
inline constexpr int MenuTitleLast = 9;
inline constexpr int OpenMenuFirst = 129;
inline constexpr int OpenMenuLast = 135;

inline constexpr int ViewStyleNext = 32786;
inline constexpr int Connect = 32789;
inline constexpr int ParentFolder = 32804;
inline constexpr int Refresh = 32805;
inline constexpr int Disconnect = 32810;
inline constexpr int Cancel = 32813;
inline constexpr int AsciiMode = 32816;
inline constexpr int BinaryMode = 32817;
inline constexpr int HostSettings = 32818;
inline constexpr int Options = 32819;
inline constexpr int Download = 32823;
inline constexpr int DownloadAs = 32776;
inline constexpr int Rename = 32784;
inline constexpr int ChangeAttributes = 32788;
inline constexpr int ToggleLog = 32829;
inline constexpr int DeleteMenuItem = 32834;
inline constexpr int Delete = 32835;
inline constexpr int NewFolder = 32836;
inline constexpr int NewIndexHtml = 32837;
inline constexpr int Upload = 32838;
inline constexpr int SelectAll = 32842;
inline constexpr int InvertSelection = 32843;
inline constexpr int RefreshTree = 32844;
inline constexpr int SortByName = 32845;
inline constexpr int SortBySize = 32846;
inline constexpr int SortByDate = 32847;
inline constexpr int SortByType = 32848;
inline constexpr int Open = 32849;
inline constexpr int SaveLog = 32856;
// Hosts from another program's file (FileZilla, WinSCP); beside the host settings.
inline constexpr int ImportHosts = 32870;
// Keeps the shown remote folder and a local folder the same, either way.
inline constexpr int MirrorUpload = 32871;
inline constexpr int MirrorDownload = 32872;

inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;
inline constexpr int Help = 57670;
inline constexpr int NextPane = 57680;

inline constexpr int ViewToolBar = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int ViewSmallIcons = 59408;
inline constexpr int ViewLargeIcons = 59409;
inline constexpr int ViewList = 59410;
inline constexpr int ViewDetails = 59411;

} // namespace CommandId
