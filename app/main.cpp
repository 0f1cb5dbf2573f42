#include "app/DisplayCheck.h"
#include "app/gui/CQXApp.h"

#include <cstdio>

int main(int argc, char** argv) {
    const std::string missing = MissingDisplayMessage();
    if (!missing.empty()) {
        std::fprintf(stderr, "%s\n", missing.c_str());
        return 1;
    }
    CQXApp app(argc, argv);
    CQXApp::setApplicationVersion(QStringLiteral(LUMO_VERSION));
    if (!app.InitInstance())
        return 1;
    return app.ExitInstance(app.exec());
}
