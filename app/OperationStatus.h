#pragma once

// What status pane 0 says while an operation runs that does not name itself there: the login
// (operation 0) and the short commands of the queue. Null for transfers and the abort, whose own
// texts (the file's name, "キャンセル処理中です") the engine shows.
const char* OperationStatusText(int operation);
