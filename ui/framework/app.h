// The smallest application/dialog layer the program needs on plain Win32: one
// application object whose InitInstance runs the program, and modal dialogs
// built from a template with overridable hooks.
#pragma once
#include <windows.h>

class CDialog;

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp() = default;
    virtual BOOL InitInstance() { return FALSE; }

    static CWinApp* Current() { return current; }
    HINSTANCE m_hInstance = nullptr;
    CDialog* m_pMainWnd = nullptr;

  private:
    static CWinApp* current; // the one application object of the program
};
