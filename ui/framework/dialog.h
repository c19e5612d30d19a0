// A modal dialog run from its template; messages go to virtual hooks.
#pragma once
#include <windows.h>

class CDialog {
  public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CDialog() = default;
    INT_PTR DoModal();
    HWND GetSafeHwnd() const { return m_hWnd; }

  protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(m_hWnd, IDOK); }
    virtual void OnCancel() { EndDialog(m_hWnd, IDCANCEL); }
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    virtual void OnTimer(UINT_PTR /*id*/) {}
    HWND Item(int id) const { return GetDlgItem(m_hWnd, id); }

    HWND m_hWnd = nullptr;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UINT m_templateId;
};
