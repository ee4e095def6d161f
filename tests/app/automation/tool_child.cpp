// A console program that the tool tests run as their tool. Each argument is
// one step, done in order:
//   out=TEXT     TEXT to standard output (\n \r \t \\ \xHH as in C; \q is ")
//   err=TEXT     TEXT to standard error
//   sleep=MS     pause
//   flood=N      N lines of 60 characters to standard output, at once
//   tick=N       N lines "tick", one every 100 ms
//   file=PATH    writes the current folder into PATH (shows it ran)
//   exit=N       ends with exit code N
//   self         its own path as [path]
//   args         every later argument on its own line as [arg], then ends
// Writes go straight to the handles, unbuffered, so that the reader sees
// each step as a piece of its own.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

void Write(DWORD which, const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(which), text.data(), DWORD(text.size()), &written, nullptr);
}

std::string Narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'q': out += '"'; break;
            case 'x':
                if (i + 2 < text.size()) {
                    out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                }
                break;
            default: out += text[i]; break;
        }
    }
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        const size_t eq = step.find(L'=');
        const std::wstring name = step.substr(0, eq);
        const std::wstring value = eq == std::wstring::npos ? std::wstring() : step.substr(eq + 1);
        if (name == L"out")
            Write(STD_OUTPUT_HANDLE, Unescaped(Narrow(value.c_str())));
        else if (name == L"err")
            Write(STD_ERROR_HANDLE, Unescaped(Narrow(value.c_str())));
        else if (name == L"sleep")
            Sleep(DWORD(_wtoi(value.c_str())));
        else if (name == L"flood") {
            const std::string line(60, 'x');
            for (int n = _wtoi(value.c_str()); n > 0; --n) Write(STD_OUTPUT_HANDLE, line + "\r\n");
        } else if (name == L"tick") {
            for (int n = _wtoi(value.c_str()); n > 0; --n) {
                Write(STD_OUTPUT_HANDLE, "tick\r\n");
                Sleep(100);
            }
        } else if (name == L"file") {
            wchar_t folder[MAX_PATH] = {};
            GetCurrentDirectoryW(MAX_PATH, folder);
            const std::string text = Narrow(folder);
            HANDLE f = CreateFileW(value.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
            CloseHandle(f);
        } else if (name == L"self") {
            wchar_t path[MAX_PATH] = {};
            GetModuleFileNameW(nullptr, path, MAX_PATH);
            Write(STD_OUTPUT_HANDLE, "[" + Narrow(path) + "]\r\n");
        } else if (name == L"exit")
            return _wtoi(value.c_str());
        else if (name == L"args") {
            for (int k = i + 1; k < argc; ++k) Write(STD_OUTPUT_HANDLE, "[" + Narrow(argv[k]) + "]\r\n");
            return 0;
        }
    }
    return 0;
}
