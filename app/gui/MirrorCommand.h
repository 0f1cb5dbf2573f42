#pragma once

#include "engine/MirrorPlan.h"

class CMainFrame;

// The window's mirror commands: the shown remote folder and the local folder chosen for it (asked
// the first time, remembered for the pair) are compared, the preview shows every action, and what
// the person leaves ticked runs through the transfer queue. The log and the status bar say what
// came of it.
void RunMirrorCommand(CMainFrame& frame, MirrorDirection direction);
