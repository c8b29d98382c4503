#include "platform/progress_log.h"

#include <cstdio>
#include <exception>
#include <thread>

#include <windows.h>

#include "window_class.h"

namespace platform {

namespace {

const char kClassName[] = "PinewoodProgressLog";
constexpr int kEditId = 100;
constexpr UINT kAppendMessage = WM_APP + 1;

HWND EditOf(HWND window) { return GetDlgItem(window, kEditId); }

void CreateEdit(HWND window) {
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                    ES_AUTOHSCROLL | ES_READONLY,
                                0, 0, 100, 100, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)),
                                GetModuleHandleA(nullptr), nullptr);
    if (edit == nullptr) {
        DWORD error = GetLastError();
        char text[128];
        std::snprintf(text, sizeof text, "Error creating edit. Error code, decimal %d, hexadecimal %X.",
                      static_cast<int>(error), static_cast<unsigned>(error));
        MessageBoxA(window, text, "Error", MB_OK | MB_ICONERROR);
        return;
    }
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), MAKELPARAM(FALSE, 0));
    // The default limit of about 32 000 characters is too small for a long update.
    SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
}

LRESULT CALLBACK ProgressWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        CreateEdit(window);
        return 0;
    case WM_SIZE:
        // The text box always fills the client area.
        MoveWindow(EditOf(window), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case kAppendMessage: {
        HWND edit = EditOf(window);
        if (edit != nullptr) {
            int length = GetWindowTextLengthA(edit);
            SendMessageA(edit, EM_SETSEL, length, length);
            SendMessageA(edit, EM_REPLACESEL, FALSE, lParam);
        }
        return 0;
    }
    default:
        return TopWindowDefault(window, message, wParam, lParam);
    }
}

class WindowLog : public ProgressLog {
public:
    explicit WindowLog(HWND window) : window_(window) {}
    // Sent, not posted: the text stays valid until the window has taken it.
    void Append(const std::string& text) override {
        SendMessageA(window_, kAppendMessage, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

private:
    HWND window_;
};

} // namespace

bool RunWithProgressLog(const std::string& title, unsigned lingerMs, const std::function<void(ProgressLog&)>& job) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterTopWindowClass(instance, kClassName, ProgressWindowProcedure)) {
        MessageBoxA(nullptr, "Window Registration Failed!", "Error!", MB_ICONEXCLAMATION | MB_OK);
        return false;
    }
    HWND window = CreateWindowExA(WS_EX_CLIENTEDGE, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 400, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        MessageBoxA(nullptr, "WinCreate Failed", "DEBUG", MB_ICONEXCLAMATION | MB_OK);
        return false;
    }
    // Shown as the program itself was asked to show (the start-up information decides).
    ShowWindow(window, SW_SHOWDEFAULT);
    UpdateWindow(window);

    std::exception_ptr failure;
    std::thread worker([&] {
        WindowLog log(window);
        try {
            job(log);
            Sleep(lingerMs);
        } catch (...) {
            failure = std::current_exception();
        }
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    worker.join();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return true;
}

} // namespace platform
