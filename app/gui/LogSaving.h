#pragma once

class CMainFrame;

// The save-log command: a save dialog proposing "log.txt", then the whole log as the log file
// keeps it. A file that cannot be written is named in a message box; the log stays as it is.
void SaveLogToFile(CMainFrame& frame);
