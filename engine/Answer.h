#pragma once

// A question's answer: yes (OK, overwrite this one), cancel, overwrite all, resume, no. The numbers
// are the results the window's dialogs end with; NotAsked when a question could not be put.
enum class Answer { NotAsked = 0, Yes = 1, Cancel = 2, OverwriteAll = 3, Resume = 4, No = 5 };
