#include "platform/gui/KdeExtractCall.h"

#ifdef LUMO_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>

namespace {

const char* const kInterface = "org.kde.ark.DndExtract";
const char* const kMethod = "extractSelectedFilesTo";
const char* const kObjectPath = "/lumo/DragOut";

// The object on the bus. The caller waits for the reply (Dolphin blocks on it), so it answers at
// once and leaves the work to the handler.
class ExtractObject : public QDBusVirtualObject {
public:
    std::function<void(const QString&)> called;

    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"%1\"><method name=\"%2\">"
                              "<arg name=\"path\" type=\"s\" direction=\"in\"/></method></interface>")
            .arg(QLatin1String(kInterface), QLatin1String(kMethod));
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage ||
            message.interface() != QLatin1String(kInterface) || message.member() != QLatin1String(kMethod))
            return false;
        const QList<QVariant> arguments = message.arguments();
        if (arguments.size() != 1 || arguments.front().userType() != QMetaType::QString) {
            connection.send(
                message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("one path expected")));
            return true;
        }
        connection.send(message.createReply());
        if (called)
            called(arguments.front().toString());
        return true;
    }
};

} // namespace

namespace KdeExtractCall {

bool Available() {
    return QDBusConnection::sessionBus().isConnected();
}

Address Listen(std::function<void(const QString& target)> called) {
    static ExtractObject* object = nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {};
    if (!object) {
        object = new ExtractObject;
        if (!bus.registerVirtualObject(QLatin1String(kObjectPath), object)) {
            delete object;
            object = nullptr;
            return {};
        }
    }
    object->called = std::move(called);
    return Address{bus.baseService().toUtf8(), QByteArray(kObjectPath)};
}

} // namespace KdeExtractCall

#else

namespace KdeExtractCall {

bool Available() {
    return false;
}

Address Listen(std::function<void(const QString&)>) {
    return {};
}

} // namespace KdeExtractCall

#endif
