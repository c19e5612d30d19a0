// The settings dialog: the port list, the four option lists, the device name,
// Load and Save, the status line, and the port watch.
#pragma once
#include <cstdint>

#include "ui/framework/dialog.h"

class CVarnekDlg : public CDialog {
  public:
    CVarnekDlg();

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override {} // Enter never closes the window
    void OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override;

    void OnLoadSettings();
    void OnSaveSettings();
    void ShowStatus(const char* text);

  private:
    void FillList(int id, const char* const* entries, int count);
    void StoreSelection(int id, int index, int32_t (*number)(int position));
    void ShowSettings();
};
