#include "ui/framework/dialog.h"

#include "ui/framework/app.h"

INT_PTR CDialog::DoModal() {
    HINSTANCE instance = CWinApp::Current() ? CWinApp::Current()->m_hInstance : nullptr;
    // The object travels with the window: passed here, kept at WM_INITDIALOG.
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(m_templateId), nullptr, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = window;
    }
    CDialog* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!dialog) return FALSE;
    switch (message) {
    case WM_INITDIALOG: return dialog->OnInitDialog();
    case WM_TIMER: dialog->OnTimer(wParam); return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            dialog->OnOK();
        else if (LOWORD(wParam) == IDCANCEL)
            dialog->OnCancel();
        else
            dialog->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default: return FALSE; // painting, the system menu, dragging: the dialog manager's own
    }
}
