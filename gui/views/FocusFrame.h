#pragma once

class QAbstractScrollArea;

// Draws a frame in the highlight colour around a pane while the keyboard focus is in it, so that
// F6 shows plainly where the keys now go (a tree or a log alone shows focus only by a faint line).
void MarkFocus(QAbstractScrollArea* pane);
