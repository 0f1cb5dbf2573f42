#pragma once

class QWidget;

// Whether the window may close: at once when no files are moved and none wait to be moved
// (`transferring` false); otherwise when the user agrees to stop them (a file cut short would stay
// under its own name). Cancel is the default answer.
bool MayCloseDuringTransfer(QWidget* parent, bool transferring);
