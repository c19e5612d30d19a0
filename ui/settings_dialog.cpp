#include "ui/settings_dialog.h"

#include <cstdio>
#include <cstring>

#include "reader/protocol.h"
#include "reader/settings.h"
#include "serial/port_discovery.h"
#include "ui/resources/resource.h"

static const char kTitle[] = "Tolvane Settings Editor v1.0";
constexpr UINT_PTR kPortWatchTimer = 1;
constexpr UINT kPortWatchPeriodMs = 2000;

CVarnekDlg::CVarnekDlg() : CDialog(IDD_VARNEK_DIALOG) {}

void CVarnekDlg::FillList(int id, const char* const* entries, int count) {
    SendMessageA(Item(id), CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i)
        SendMessageA(Item(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i]));
    SendMessageA(Item(id), CB_SETCURSEL, 0, 0);
}

// Stores the number of the list's selected entry in the settings record.
void CVarnekDlg::StoreSelection(int id, int index, int32_t (*number)(int position)) {
    int position = static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0));
    if (position >= 0) SetValue(index, number(position));
}

BOOL CVarnekDlg::OnInitDialog() {
    RefreshPortList(Item(IDC_PORT_LIST));
    SendMessageA(Item(IDC_PORT_LIST), CB_SETCURSEL, 0, 0);
    SetWindowTextA(m_hWnd, kTitle);

    FillList(IDC_MODE, kModeEntries, kModeEntryCount);
    FillList(IDC_FREQUENCY, kFrequencyEntries, kFrequencyEntryCount);
    FillList(IDC_TMODE, kTModeEntries, kTModeEntryCount);
    static char egtTexts[kEgtEntryCount][4];
    static const char* egtEntries[kEgtEntryCount];
    for (int i = 0; i < kEgtEntryCount; ++i) {
        std::snprintf(egtTexts[i], sizeof egtTexts[i], "%d", i);
        egtEntries[i] = egtTexts[i];
    }
    FillList(IDC_EGT, egtEntries, kEgtEntryCount);
    // The record holds the numbers of what the lists show, so that a Save before
    // any Load or pick sends what the user sees.
    StoreSelection(IDC_MODE, kModeIndex, ModeFromSelection);
    StoreSelection(IDC_FREQUENCY, kFrequencyIndex, FrequencyFromSelection);
    StoreSelection(IDC_TMODE, kTModeIndex, TModeFromSelection);
    StoreSelection(IDC_EGT, kEgtIndex, EgtFromSelection);

    SetDlgItemTextA(m_hWnd, IDC_DEVICE_NAME, "");
    SetTimer(m_hWnd, kPortWatchTimer, kPortWatchPeriodMs, nullptr);
    // Both buttons have the default style; without this, Enter would click one.
    SendMessageA(m_hWnd, DM_SETDEFID, IDOK, 0);
    return TRUE;
}

void CVarnekDlg::OnCommand(int id, int code) {
    if (id == IDC_MODE && code == CBN_SELCHANGE) StoreSelection(id, kModeIndex, ModeFromSelection);
    if (id == IDC_FREQUENCY && code == CBN_SELCHANGE)
        StoreSelection(id, kFrequencyIndex, FrequencyFromSelection);
    if (id == IDC_TMODE && code == CBN_SELCHANGE)
        StoreSelection(id, kTModeIndex, TModeFromSelection);
    if (id == IDC_EGT && code == CBN_SELCHANGE) StoreSelection(id, kEgtIndex, EgtFromSelection);
    if (id == IDC_LOAD && code == BN_CLICKED) OnLoadSettings();
    if (id == IDC_SAVE && code == BN_CLICKED) OnSaveSettings();
}

void CVarnekDlg::OnTimer(UINT_PTR) {
    HWND ports = Item(IDC_PORT_LIST);
    int result = RefreshPortList(ports);
    if (result > 0) {
        ShowStatus("found new serial device");
        SendMessageA(ports, CB_SETCURSEL, SendMessageA(ports, CB_GETCOUNT, 0, 0) - 1, 0);
    } else if (result == 0) {
        ShowStatus("");
    }
}

void CVarnekDlg::ShowStatus(const char* text) {
    SetDlgItemTextA(m_hWnd, IDC_STATUS, text);
    // Load and Save block the window; draw the text before they do.
    UpdateWindow(Item(IDC_STATUS));
}

void CVarnekDlg::ShowSettings() {
    SendMessageA(Item(IDC_MODE), CB_SETCURSEL, ModeToSelection(ReaderSettings.mode), 0);
    int frequency = FrequencyToSelection(ReaderSettings.frequencyCode);
    // A number with no entry shows no selection rather than the old entry.
    if (frequency < 0)
        SendMessageA(Item(IDC_FREQUENCY), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    else
        SendMessageA(Item(IDC_FREQUENCY), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(kFrequencyEntries[frequency]));
    SendMessageA(Item(IDC_TMODE), CB_SETCURSEL, TModeToSelection(ReaderSettings.tMode), 0);
    SendMessageA(Item(IDC_EGT), CB_SETCURSEL, EgtToSelection(ReaderSettings.egt), 0);
    SetDlgItemTextA(m_hWnd, IDC_DEVICE_NAME, GetDeviceName());
}

void CVarnekDlg::OnLoadSettings() {
    ShowStatus("Reading settings...");
    const char* port = SelectedPortName(Item(IDC_PORT_LIST));
    int version = port ? ProbeReaderVersion(port) : -1;
    if (version < 0) {
        ShowStatus("ERROR reader not found");
        return;
    }
    if (version < kLowestUsableVersion) {
        char text[64];
        std::snprintf(text, sizeof text, "ERROR version %d.%d is to old", version >> 4,
                      version & 0xF);
        ShowStatus(text);
        return;
    }
    if (ReadAllSettings(port) != 0) {
        ShowStatus("Error reading settings");
        return;
    }
    ShowSettings();
    ShowStatus("Read settings OK");
}

void CVarnekDlg::OnSaveSettings() {
    ShowStatus("Saving settings...");
    char text[256] = {0};
    GetDlgItemTextA(m_hWnd, IDC_DEVICE_NAME, text, sizeof text);
    text[kSavedNameLength] = '\0';
    SetDeviceName(text);
    const char* port = SelectedPortName(Item(IDC_PORT_LIST));
    int result = port ? WriteAllSettings(port) : -1;
    ShowStatus(result < 0 ? "Error writing settings" : "Write settings OK");
}
