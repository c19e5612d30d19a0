// Dialog driver for the GUI tests: finds the settings window by its title and,
// line by line on standard input, acts on it as a user would and reports what it
// shows. Every answer is one line on standard output.
//
//   wait-window MS        wait until the window exists and shows -> ok | missing
//   exists                                                      -> yes | no
//   pick ID POS           select entry POS of list ID, with the notification -> ok
//   click ID              press button ID; returns when the program is done   -> ok
//   text ID               a control's text (0: the window title)               -> the text
//   set-text ID TEXT      replace a control's text                              -> ok
//   list ID               selection, count and entries: "SEL|N|e0|e1|..."
//   wait-text ID MS TEXT  wait until control ID shows TEXT     -> ok | <what it shows>
//   rect ID               the control's screen rectangle "x y w h" (pixels)
//   focus                 id of the control with the keyboard focus (0: none of them)
//   close-window          the close box
//   hold-port NAME        open a COM port and keep it, as another program would -> ok | failed
//   release-port          close it again
//   port-add NAME DATA / port-remove NAME / ports NAME=DATA ...   the registry's ports
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/windows/serialcomm.h"

static const char kTitle[] = "Tolvane Settings Editor v1.0";
static HWND dialog = nullptr;
static HANDLE heldPort = INVALID_HANDLE_VALUE;

static HWND FindDialog() {
    dialog = FindWindowA(reinterpret_cast<LPCSTR>(WC_DIALOG), kTitle);
    return dialog;
}

static HWND Control(int id) {
    return id == 0 ? dialog : GetDlgItem(dialog, id);
}

// Messages to the program wait for it, but never for ever. Texts cross between
// the processes as UTF-16: Wine hands back only the first character of an ANSI
// CB_GETLBTEXT from another process.
static LRESULT Send(HWND window, UINT message, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, w, l, SMTO_NORMAL, 60000, &result)) return -1;
    return static_cast<LRESULT>(result);
}

static std::string Narrow(const wchar_t* text) {
    char out[1024] = {0};
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

static std::string TextOf(int id) {
    wchar_t text[512] = {0};
    Send(Control(id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
}

static std::string ListOf(int id) {
    HWND list = Control(id);
    int count = static_cast<int>(Send(list, CB_GETCOUNT, 0, 0));
    std::string out = std::to_string(Send(list, CB_GETCURSEL, 0, 0)) + "|" + std::to_string(count);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {0};
        Send(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        out += "|" + Narrow(text);
    }
    return out;
}

static std::string Rest(std::istringstream& in) {
    std::string rest;
    std::getline(in, rest);
    if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
    return rest;
}

static std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    int id = 0;
    if (command == "wait-window") {
        int ms = 0;
        in >> ms;
        // The window exists before it shows; keys and clicks sent in between are lost.
        for (int waited = 0; !(FindDialog() && IsWindowVisible(dialog)) && waited < ms;
             waited += 50)
            Sleep(50);
        return dialog && IsWindowVisible(dialog) ? "ok" : "missing";
    }
    if (command == "exists") return FindDialog() ? "yes" : "no";
    if (command == "port-add") {
        std::string name, data;
        in >> name >> data;
        return AddSerialComm({name, data + '\0', REG_SZ}) ? "ok" : "failed";
    }
    if (command == "port-remove") {
        std::string name;
        in >> name;
        return RemoveSerialComm(name) ? "ok" : "failed";
    }
    if (command == "ports") {
        std::vector<SerialCommValue> values;
        std::string pair;
        while (in >> pair) {
            size_t eq = pair.find('=');
            values.push_back({pair.substr(0, eq), pair.substr(eq + 1), REG_SZ});
        }
        return SetSerialComm(values) ? "ok" : "failed";
    }
    if (command == "hold-port") {
        std::string name;
        in >> name;
        heldPort = CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        return heldPort == INVALID_HANDLE_VALUE ? "failed" : "ok";
    }
    if (command == "release-port") {
        if (heldPort != INVALID_HANDLE_VALUE) CloseHandle(heldPort);
        heldPort = INVALID_HANDLE_VALUE;
        return "ok";
    }
    if (!dialog && !FindDialog()) return "no-window";
    if (command == "focus") {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return "0";
        // An editable list takes the focus in its edit box, a child of the list.
        HWND focus = info.hwndFocus;
        if (focus && GetParent(focus) != dialog) focus = GetParent(focus);
        return std::to_string(focus && GetParent(focus) == dialog ? GetDlgCtrlID(focus) : 0);
    }
    in >> id;
    if (command == "pick") {
        int position = 0;
        in >> position;
        Send(Control(id), CB_SETCURSEL, position, 0);
        Send(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
             reinterpret_cast<LPARAM>(Control(id)));
        return "ok";
    }
    if (command == "click") return Send(Control(id), BM_CLICK, 0, 0) < 0 ? "timeout" : "ok";
    if (command == "text") return TextOf(id);
    if (command == "close-window") {
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        dialog = nullptr;
        return "ok";
    }
    if (command == "set-text") {
        std::string text = Rest(in);
        wchar_t wide[512] = {0};
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 511);
        Send(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
        return "ok";
    }
    if (command == "list") return ListOf(id);
    if (command == "wait-text") {
        int ms = 0;
        in >> ms;
        std::string want = Rest(in);
        std::string have = TextOf(id);
        for (int waited = 0; have != want && waited < ms; waited += 50) {
            Sleep(50);
            have = TextOf(id);
        }
        return have == want ? "ok" : have;
    }
    if (command == "rect") {
        RECT r;
        GetWindowRect(Control(id), &r);
        char text[64];
        std::snprintf(text, sizeof text, "%ld %ld %ld %ld", r.left, r.top, r.right - r.left,
                      r.bottom - r.top);
        return text;
    }
    return "unknown-command";
}

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "quit") break;
        std::cout << Run(line) << std::endl;
    }
    return 0;
}
