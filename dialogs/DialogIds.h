#pragma once

// Numbers of the confirmation and attributes dialogs: the codes they end with, their templates,
// their pictures and their controls. A control's object name is its number, so that callers and tests
// can find it (ControlName in gui/dialogs/DialogLayout.h).

namespace DialogResult {
inline constexpr int NotAsked = 0; // the question could not be put (the local file could not be read)
inline constexpr int Yes = 1;      // yes, OK, overwrite this one
inline constexpr int Cancel = 2;
inline constexpr int OverwriteAll = 3;
inline constexpr int Resume = 4;
inline constexpr int No = 5;
} // namespace DialogResult

namespace DialogId {

// Buttons shared by every dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Templates; a dialog's object name is its template number.
inline constexpr int IDD_ATTRIBUTES = 146;
inline constexpr int IDD_FILE_OVERWRITE = 196;
inline constexpr int IDD_ACCOUNT = 211;
inline constexpr int IDD_MESSAGE = 216;
inline constexpr int IDD_FOLDER_OVERWRITE = 219;

// Pictures.
inline constexpr int IDI_DELETE_FILE = 214;
inline constexpr int IDI_DELETE_FOLDER = 215;
inline constexpr int IDI_DELETE_MANY = 218;
inline constexpr int IDI_FOLDER_OVERWRITE = 221;

// Message dialog.
inline constexpr int IDC_MESSAGE_TEXT = 1205;
inline constexpr int IDC_MESSAGE_ICON = 1206;

// File overwrite dialog.
inline constexpr int IDC_OVERWRITE_ALL = 1135;
inline constexpr int IDC_RESUME = 1168;
inline constexpr int IDC_EXISTING_ICON = 1169;
inline constexpr int IDC_HEADLINE = 1170;
inline constexpr int IDC_NEW_ICON = 1171;
inline constexpr int IDC_EXISTING_SIZE = 1172;
inline constexpr int IDC_NEW_SIZE = 1173;
inline constexpr int IDC_EXISTING_DATE = 1174;
inline constexpr int IDC_NEW_DATE = 1175;

// Folder overwrite dialog (IDC_OVERWRITE_ALL as above).
inline constexpr int IDC_FOLDER_ICON = 1207;
inline constexpr int IDC_FOLDER_HEADLINE = 1208;
inline constexpr int IDC_FOLDER_NO = 1209;

// Account dialog.
inline constexpr int IDC_PASSWORD = 1091;
inline constexpr int IDC_SAVE_ACCOUNT = 1134;
inline constexpr int IDC_USER = 1178;

// Attributes dialog.
inline constexpr int IDC_OWNER_READ = 1037;
inline constexpr int IDC_OWNER_WRITE = 1038;
inline constexpr int IDC_ATTRIBUTE_GROUP = 1040;
inline constexpr int IDC_OWNER_EXECUTE = 1041;
inline constexpr int IDC_OWNER_LABEL = 1043;
inline constexpr int IDC_GROUP_LABEL = 1044;
inline constexpr int IDC_GROUP_READ = 1045;
inline constexpr int IDC_GROUP_WRITE = 1046;
inline constexpr int IDC_GROUP_EXECUTE = 1047;
inline constexpr int IDC_OTHER_LABEL = 1048;
inline constexpr int IDC_OTHER_READ = 1049;
inline constexpr int IDC_OTHER_WRITE = 1050;
inline constexpr int IDC_OTHER_EXECUTE = 1051;
inline constexpr int IDC_NUMBER = 1052;
inline constexpr int IDC_COMMAND = 1055;
inline constexpr int IDC_COMMAND_GROUP = 1056;
inline constexpr int IDC_DEFAULT_COMMAND = 1057;

// The nine permission check boxes in flag order: owner, group, other; read, write, execute each.
inline constexpr int PermissionBoxes[9] = {IDC_OWNER_READ, IDC_OWNER_WRITE, IDC_OWNER_EXECUTE,
                                           IDC_GROUP_READ, IDC_GROUP_WRITE, IDC_GROUP_EXECUTE,
                                           IDC_OTHER_READ, IDC_OTHER_WRITE, IDC_OTHER_EXECUTE};

} // namespace DialogId
