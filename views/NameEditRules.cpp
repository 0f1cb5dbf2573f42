#include "views/NameEditRules.h"

#include "platform/TextCodec.h"

NameEditOutcome DecideNameEdit(bool newFolder, const std::string& oldName, const QString& typed,
                               bool accepted) {
    using Action = NameEditOutcome::Action;
    if (!accepted)
        return {};
    auto refuse = [](const char* why) { return NameEditOutcome{Action::Refuse, QString::fromUtf8(why)}; };
    if (typed.isEmpty())
        return refuse("名前が入力されていません。");
    if (typed.contains(QLatin1Char('/')))
        return refuse("名前に「/」は使えません。");
    if (typed.contains(QLatin1Char('\r')) || typed.contains(QLatin1Char('\n')))
        return refuse("名前に改行は使えません。");
    if (typed == QStringLiteral(".") || typed == QStringLiteral(".."))
        return refuse("「.」と「..」は名前に使えません。");
    if (newFolder)
        return {Action::CreateFolder, {}};
    // Renaming onto the same name would only ask the server for nothing.
    if (typed == DecodeRemoteName(oldName))
        return {};
    return {Action::Rename, {}};
}
