// libFuzzer harness of the script engine: any text is compiled and run
// against a small host object; whatever it does must end in a ScriptError
// or in success, never a crash, a leak of memory errors or a hang (a
// watchdog interrupts a run after 200 ms).
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "Builtins.h"
#include "Engine.h"
#include "Operators.h"

namespace {

using namespace script;

class Probe : public CObject {
   public:
    CEngine* engine = nullptr;
    CValue stored;
    int includes = 0;
    CValue Invoke(StringView name, unsigned flags, std::span<CValue* const> args) override {
        if (SameName(name, u"Include") && !args.empty() && includes < 4) {
            ++includes;
            engine->Run(ops::ToString(Plain(*args[0])));
            return CValue();
        }
        if (SameName(name, u"Bump")) {
            for (CValue* a : args) *a = CValue::Integer(7);
            return CValue();
        }
        if (flags & (kCallPut | kCallPutRef)) {
            if (!args.empty()) stored = args.back()->IsObject() ? CValue() : *args.back();  // no cycles
            return CValue();
        }
        if (SameName(name, u"Fail")) Raise(err::kInvalidCall);
        return stored;
    }
    bool HasMember(StringView name) override { return SameName(name, u"Include") || SameName(name, u"Bump"); }
    std::vector<CValue> Enumerate() override { return {CValue::Integer(1), CValue::Str(String(u"two"))}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    String text;
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) text.push_back(char16_t(data[i]));  // Latin-1, enough for the language
    CHost host;
    CEngine engine(&host);
    engine.SetStackBudget(128 * 1024);
    auto probe = std::make_shared<Probe>();
    probe->engine = &engine;
    engine.AddNamedItem(u"Probe", probe, true);

    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(m);
        if (!cv.wait_for(lock, std::chrono::milliseconds(200), [&] { return done; })) engine.Interrupt();
    });
    try {
        engine.Run(text);
        const int id = engine.ProcedureId(u"Main");
        if (id >= 0) {
            CValue arg = CValue::Integer(1);
            CValue* args[] = {&arg};
            engine.Call(id, args);
        }
    } catch (const ScriptError&) {
    }
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_one();
    watchdog.join();
    probe->stored = CValue();
    return 0;
}
