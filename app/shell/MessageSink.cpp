#include "MessageSink.h"

#include <atomic>

#include "ProgramIds.h"

namespace shell {
namespace {

int SystemBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxW(owner, text, caption, type);
}

std::atomic<MessageSink> g_sink{&SystemBox};

}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return g_sink.exchange(sink ? sink : &SystemBox); }

int ShowMessage(HWND owner, const wchar_t* text, UINT type) {
    return g_sink.load()(owner, text, MORROWPAD_CAPTION, type);
}

int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return g_sink.load()(owner, text ? text : L"", caption && *caption ? caption : MORROWPAD_CAPTION, type);
}

}  // namespace shell
