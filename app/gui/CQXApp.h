#pragma once

#include <QApplication>

#include <memory>

class CMainFrame;

// The application object: starts the main window in its saved show state and carries out the
// exit-time actions once the window has closed.
class CQXApp : public QApplication {
    Q_OBJECT
public:
    CQXApp(int& argc, char** argv);
    ~CQXApp() override;

    // Makes and shows the main window; false when it cannot be made.
    bool InitInstance();
    // After the main window has closed: the exit options, then the exit code.
    int ExitInstance(int code);

    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    std::unique_ptr<CMainFrame> m_frame;
};
