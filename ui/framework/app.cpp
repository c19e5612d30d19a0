#include "ui/framework/app.h"

CWinApp* CWinApp::current = nullptr;

CWinApp::CWinApp() {
    current = this;
}

// The program's entry: the application object exists already (it is a global);
// InitInstance runs the program, and its end is the program's end.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CWinApp* app = CWinApp::Current();
    if (!app) return 1;
    app->m_hInstance = instance;
    app->InitInstance();
    return 0;
}
