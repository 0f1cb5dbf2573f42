#pragma once

// What the program does at exit, after the network is shut down: delete the temporary folder when
// `deltmp` is 1 (links in it are removed, never followed), and forget the window layout (`Window`,
// `view`, `rebar`) when `savewinsize` is 0.
void RunExitActions();

void DeleteTempFolderIfAsked();
void ForgetWindowLayoutIfAsked();
