#include "platform/gui/XdsDrag.h"

#include <QGuiApplication>

#if defined(LUMO_HAVE_XCB) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// Replies of libxcb are malloc'ed.
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The drag speaks from the window that owns the XdndSelection while it runs (Qt's hidden
// selection window, which stays the same for the life of the program).
xcb_window_t g_dragWindow = XCB_WINDOW_NONE;

xcb_window_t SelectionOwner(xcb_connection_t* c) {
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, Atom(c, "XdndSelection")), nullptr));
    return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
}

} // namespace

namespace XdsDrag {

bool Available() {
    return QGuiApplication::platformName() == QLatin1String("xcb") && Connection();
}

void NameRunningDrag(const QString& name) {
    xcb_connection_t* c = Connection();
    if (!c)
        return;
    g_dragWindow = SelectionOwner(c);
    if (g_dragWindow == XCB_WINDOW_NONE)
        return;
    // Targets read the name as type text/plain; without a charset they take it as Latin-1.
    const QByteArray bytes = name.toLatin1();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, g_dragWindow, Atom(c, "XdndDirectSave0"),
                        Atom(c, "text/plain"), 8, static_cast<std::uint32_t>(bytes.size()),
                        bytes.constData());
    xcb_flush(c);
}

QByteArray TakeTargetUri() {
    xcb_connection_t* c = Connection();
    if (!c)
        return {};
    if (g_dragWindow == XCB_WINDOW_NONE)
        g_dragWindow = SelectionOwner(c);
    if (g_dragWindow == XCB_WINDOW_NONE)
        return {};
    const xcb_atom_t property = Atom(c, "XdndDirectSave0");
    // A URI of up to 64 KiB; the type is whatever the target wrote.
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, g_dragWindow, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 16384), nullptr));
    QByteArray uri;
    if (reply && reply->format == 8)
        uri = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                         xcb_get_property_value_length(reply.get()));
    xcb_delete_property(c, g_dragWindow, property);
    xcb_flush(c);
    // Some targets write the URI with its C terminator.
    while (uri.endsWith('\0'))
        uri.chop(1);
    return uri;
}

} // namespace XdsDrag

#else

namespace XdsDrag {

bool Available() {
    return false;
}

void NameRunningDrag(const QString&) {}

QByteArray TakeTargetUri() {
    return {};
}

} // namespace XdsDrag

#endif
