#pragma once

class CFtpEngine;
class QWidget;

// Whether the window may close: at once when the engine moves no files and none wait to be moved;
// otherwise when the user agrees to stop them (a file cut short would stay under its own name).
// Cancel is the default answer.
bool MayCloseDuringTransfer(QWidget* parent, const CFtpEngine& engine);
