#pragma once

#include <memory>
#include <vector>

class CMainFrame;
class DragOutDelivery;

// What dragging rows of the file list out to the desktop delivers: the rows, taken when the drag
// begins, downloaded into the folder the desktop names (files first, then folder trees, with the
// usual questions and progress), or fetched into a folder of the cache for a target that wants the
// files themselves. Nothing happens once the session has ended or moved to another folder.
std::shared_ptr<DragOutDelivery> MakeRowsDelivery(CMainFrame& frame, const std::vector<int>& rows);
