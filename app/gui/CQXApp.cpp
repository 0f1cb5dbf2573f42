#include "app/gui/CQXApp.h"

#include "app/WindowLayout.h"
#include "app/gui/CMainFrame.h"
#include "app/gui/QtTranslations.h"
#include "app/gui/StoreDamageNotice.h"
#include "app/gui/TempFolderNotice.h"
#include "platform/gui/FontFaces.h"
#include "settings/ExitActions.h"

#include <QIcon>

CQXApp::CQXApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("lumo"));
    setApplicationDisplayName(QStringLiteral("lumo"));
    setWindowIcon(QIcon(QStringLiteral(":/app/lumo.svg")));
    InstallFontSubstitutes();
    LoadQtTranslations(*this);
    InstallStoreDamageNotice();
}

CQXApp::~CQXApp() = default;

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
    NoticeRefusedTempFolder(m_frame.get());
    return true;
}

int CQXApp::ExitInstance(int code) {
    m_frame.reset();
    RunExitActions();
    return code;
}
