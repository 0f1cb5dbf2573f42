#include "app/gui/CQXApp.h"

#include "app/WindowLayout.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/StoreDamageNotice.h"
#include "settings/ExitActions.h"

#include <QFont>

CQXApp::CQXApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("lumo"));
    setApplicationDisplayName(QStringLiteral("lumo"));
    setWindowIcon(QIcon(QStringLiteral(":/app/lumo.svg")));
    InstallFontSubstitutes();
    InstallStoreDamageNotice();
}

CQXApp::~CQXApp() = default;

void CQXApp::InstallFontSubstitutes() {
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                               {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Monospace")});
    QFont::insertSubstitutions(QStringLiteral("MS UI Gothic"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("IPAPゴシック"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Sans Serif")});
}

bool CQXApp::InitInstance() {
    const ShowState state = ReadStartupShowState();
    m_frame = std::make_unique<CMainFrame>();
    switch (state) {
    case ShowState::Minimised:
        m_frame->showMinimized();
        break;
    case ShowState::Maximised:
        m_frame->showMaximized();
        break;
    case ShowState::Normal:
        m_frame->show();
        break;
    }
    m_frame->repaint();
    return true;
}

int CQXApp::ExitInstance(int code) {
    m_frame.reset();
    RunExitActions();
    return code;
}
