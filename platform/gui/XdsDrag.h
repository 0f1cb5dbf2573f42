#pragma once

#include <QByteArray>
#include <QString>

// The source's side of the X direct-save exchange (XdndDirectSave0). The drag offers the target
// the exchange as one of its types and puts a file name on the window it drags from; a target that
// takes it writes the URI of that name in the folder under the pointer back onto the window, asks
// for the exchange's type, and gets one byte: "S" saved, "E" refused.
namespace XdsDrag {

// Running on an X server, in a build that speaks the exchange.
bool Available();
// Puts `name` on the window the running drag speaks from. Called from inside the drag, once the
// drag owns the X selection that names that window.
void NameRunningDrag(const QString& name);
// What the target wrote back for the drop (a file URI); removed from the window once read. Empty
// when nothing was written.
QByteArray TakeTargetUri();

} // namespace XdsDrag
