#include "ResultLine.h"

#include <climits>
#include <vector>

#include "Document.h"
#include "EditProtocol.h"
#include "ProgramIds.h"

namespace shell {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Digits at `*at`, moving past them; false when there are none.
bool ReadNumber(const std::wstring& text, size_t* at, long long* value) {
    size_t i = *at;
    long long n = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (n < INT_MAX) n = n * 10 + (text[i] - L'0');
        ++i;
    }
    if (i == *at) return false;
    *at = i;
    *value = n > INT_MAX ? INT_MAX : n;
    return true;
}

// ":(a,b)" at `from`: the two numbers.
bool PositionAt(const std::wstring& text, size_t from, long long* first, long long* second) {
    if (text.compare(from, 2, L":(") != 0) return false;
    size_t i = from + 2;
    if (!ReadNumber(text, &i, first) || i >= text.size() || text[i] != L',') return false;
    ++i;
    return ReadNumber(text, &i, second) && i < text.size() && text[i] == L')';
}

std::wstring CaretLine(HWND control) {
    Position caret = {};
    SendMessageW(control, MPM_GETCARETPOS, reinterpret_cast<WPARAM>(&caret), 0);
    const LRESULT length = SendMessageW(control, MPM_GETLINE, WPARAM(caret.line), 0);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(size_t(length) + 1, L'\0');
    const LRESULT got =
        SendMessageW(control, MPM_GETLINE, WPARAM(caret.line), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data(), size_t(got > 0 && got <= length ? got : 0));
}

}  // namespace

bool ParseResultLine(const std::wstring& text, std::wstring* path, int* line, int* column) {
    if (text.size() < 2 || text[0] != L'#' || text[1] != L'<') return false;
    const size_t close = text.find(L">:", 2);
    if (close == std::wstring::npos || close == 2) return false;
    long long first = 0, second = 0;
    for (size_t at = text.find(L":(", close + 1); at != std::wstring::npos; at = text.find(L":(", at + 1)) {
        if (!PositionAt(text, at, &first, &second)) continue;
        if (path) *path = text.substr(2, close - 2);
        if (line) *line = int(first > 0 ? first - 1 : 0);
        if (column) *column = int(second);
        return true;
    }
    return false;
}

bool JumpToLocation(HWND frame, HWND control) {
    if (!frame || !control) return false;
    std::wstring path;
    int line = 0, column = 0;
    if (!ParseResultLine(CaretLine(control), &path, &line, &column)) return false;
    const auto doc =
        reinterpret_cast<HWND>(SendMessageW(frame, MPF_OPEN, reinterpret_cast<WPARAM>(path.c_str()), 0));
    if (!doc || !IsWindow(doc)) return false;
    IView* view = documents::ViewOf(doc);
    const HWND pane = view ? view->GetActivePane() : nullptr;
    if (pane) {
        Position at = {line, column};
        SendMessageW(pane, MPM_SETCARET, reinterpret_cast<WPARAM>(&at), 0);
        SendMessageW(pane, WM_COMMAND, ECMD_CENTERCARET, 0);
    }
    SetFocus(frame);
    return true;
}

}  // namespace shell
