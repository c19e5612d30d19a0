#include "ui/app.h"

#include "ui/settings_dialog.h"

CVarnekApp theApp;

BOOL CVarnekApp::InitInstance() {
    CVarnekDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    // The dialog has closed: returning FALSE ends the program.
    return FALSE;
}
