// The syntax scripts' object model and how a syntax script is run.
//
// A script sees "Parser" (CreateParser) and builds lexers through parser,
// region and item objects: thin reference-counted wrappers over the rule
// objects, which belong to their lexer. Every wrapper of a run is listed in
// the run's Model, so that an object handed back to AddItem or AddRegion is
// recognised by looking it up there; anything else (another host's object,
// an item where a region belongs, a rule of another parser) is refused
// without being touched.
//
// A syntax script only builds rule trees, so it runs on a worker thread of
// its own. The caller waits up to the time limit; a script still running by
// then (an endless loop) is stopped: first by asking the engine, then, as
// engines may not support that, by ending the worker thread at a moment when
// it executes the engine's own code (so it holds no lock of the process).
// Its lexers are then dropped unseen: nothing the stopped thread touched is
// ever used again. Failures are collected on the worker and shown on the
// caller's thread once the worker is done with.
#include "ParserScript.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Owners.h"
#include "ScriptHost.h"

namespace syntax {

namespace {

std::atomic<DWORD> g_timeLimit{5000};
// How long a script past its limit may take to stop by itself (a loop that
// calls host objects, which then fail) before its thread is ended.
constexpr DWORD kGraceMs = 250;

// What a wrapper stands for.
struct Rule {
    CSyntaxParser* owner = nullptr;
    CSyntaxRegion* region = nullptr;  // a region object
    SyntaxItem* item = nullptr;       // an item object
};

// One run's results and the wrappers alive in it. Only the worker touches
// it until the worker has ended.
struct Model {
    std::vector<std::unique_ptr<CSyntaxParser>> parsers;
    std::map<const IDispatch*, Rule> live;
    std::atomic<bool> cancelled{false};
    // The engine's module, where the worker may be stopped safely.
    std::atomic<uintptr_t> engineBase{0};
    std::atomic<uintptr_t> engineEnd{0};
};

std::wstring Text(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }
wchar_t FirstChar(BSTR s) { return s && SysStringLen(s) ? s[0] : L'\0'; }

// The base of the wrappers: registers itself with the model for its life.
class CRuleObject : public IDispDynImpl {
   protected:
    CRuleObject(const DispEntry* table, std::shared_ptr<Model> model, Rule rule)
        : IDispDynImpl(table), model_(std::move(model)), rule_(rule) {
        model_->live[static_cast<IDispatch*>(this)] = rule_;
    }
    ~CRuleObject() override { model_->live.erase(static_cast<IDispatch*>(this)); }

    bool Cancelled() const { return model_->cancelled.load(); }

    // The rule behind `object` when it is one of ours of this parser.
    const Rule* Find(IDispatch* object) const {
        const auto it = model_->live.find(object);
        return it == model_->live.end() || it->second.owner != rule_.owner ? nullptr : &it->second;
    }
    HRESULT AddItemTo(CSyntaxRegion* target, IDispatch* object);
    HRESULT AddRegionTo(CSyntaxRegion* target, IDispatch* object);
    HRESULT SetFold(CSyntaxRegion* target, BSTR pattern, VARIANT_BOOL caseSensitive, bool unfold);

    std::shared_ptr<Model> model_;
    Rule rule_;
};

HRESULT CRuleObject::AddItemTo(CSyntaxRegion* target, IDispatch* object) {
    if (Cancelled()) return E_ABORT;
    if (!object) return S_OK;
    const Rule* r = Find(object);
    if (!r) return model_->live.count(object) ? E_INVALIDARG : DISP_E_TYPEMISMATCH;
    if (!r->item) return DISP_E_TYPEMISMATCH;
    target->AddItem(r->item);
    return S_OK;
}

HRESULT CRuleObject::AddRegionTo(CSyntaxRegion* target, IDispatch* object) {
    if (Cancelled()) return E_ABORT;
    if (!object) return S_OK;
    const Rule* r = Find(object);
    if (!r) return model_->live.count(object) ? E_INVALIDARG : DISP_E_TYPEMISMATCH;
    if (!r->region) return DISP_E_TYPEMISMATCH;
    // A region inside itself would never end.
    for (const CSyntaxRegion* up = target; up; up = up->parent)
        if (up == r->region) return E_INVALIDARG;
    target->AddRegion(r->region);
    return S_OK;
}

HRESULT CRuleObject::SetFold(CSyntaxRegion* target, BSTR pattern, VARIANT_BOOL caseSensitive, bool unfold) {
    if (Cancelled()) return E_ABORT;
    auto expr = CompilePattern(Text(pattern), caseSensitive != VARIANT_FALSE);
    if (unfold)
        target->SetUnfold(std::move(expr));
    else
        target->SetFold(std::move(expr));
    return S_OK;
}

// ---- Items and regions ------------------------------------------------------

class CSyntaxItem_VB : public CRuleObject {
   public:
    CSyntaxItem_VB(std::shared_ptr<Model> model, CSyntaxParser* owner, SyntaxItem* item)
        : CRuleObject(kTable, std::move(model), Rule{owner, nullptr, item}) {}
    static const DispEntry kTable[];
};
const DispEntry CSyntaxItem_VB::kTable[] = {DispEnd()};

class CSyntaxRegion_VB : public CRuleObject {
   public:
    CSyntaxRegion_VB(std::shared_ptr<Model> model, CSyntaxParser* owner, CSyntaxRegion* region)
        : CRuleObject(kTable, std::move(model), Rule{owner, region, nullptr}) {}

    HRESULT AddItem(IDispatch* item) { return AddItemTo(rule_.region, item); }
    HRESULT AddRegion(IDispatch* region) { return AddRegionTo(rule_.region, region); }
    HRESULT FoldText(BSTR pattern, VARIANT_BOOL caseSensitive) {
        return SetFold(rule_.region, pattern, caseSensitive, false);
    }
    HRESULT UnfoldText(BSTR pattern, VARIANT_BOOL caseSensitive) {
        return SetFold(rule_.region, pattern, caseSensitive, true);
    }
    // With True, the fold marks of the enclosing regions are not counted in
    // this region's text: only its own are (a preprocessor line's brace).
    HRESULT IsolateFolds(VARIANT_BOOL on) {
        if (Cancelled()) return E_ABORT;
        rule_.region->isolateFolds = on != VARIANT_FALSE;
        return S_OK;
    }
    // Text that `pattern` matches right after the region's end is taken
    // into it (a regular expression's flags).
    HRESULT Suffix(BSTR pattern) {
        if (Cancelled()) return E_ABORT;
        rule_.region->suffix = CompilePattern(Text(pattern), true);
        return S_OK;
    }
    static const DispEntry kTable[];
};
const DispEntry CSyntaxRegion_VB::kTable[] = {
    DispMethod<&CSyntaxRegion_VB::AddItem>(L"AddItem"),
    DispMethod<&CSyntaxRegion_VB::AddRegion>(L"AddRegion"),
    DispMethod<&CSyntaxRegion_VB::FoldText>(L"FoldText"),
    DispMethod<&CSyntaxRegion_VB::UnfoldText>(L"UnfoldText"),
    DispMethod<&CSyntaxRegion_VB::IsolateFolds>(L"IsolateFolds"),
    DispMethod<&CSyntaxRegion_VB::Suffix>(L"Suffix"),
    DispEnd(),
};

// ---- Parsers ------------------------------------------------------------------

class CParser_VB : public CRuleObject {
   public:
    CParser_VB(std::shared_ptr<Model> model, CSyntaxParser* parser)
        : CRuleObject(kTable, std::move(model), Rule{parser, nullptr, nullptr}) {}

    HRESULT AddItem(IDispatch* item) { return AddItemTo(rule_.owner->Root(), item); }
    HRESULT AddRegion(IDispatch* region) { return AddRegionTo(rule_.owner->Root(), region); }
    HRESULT CreateRegion(int style, BSTR begin, BSTR end, VARIANT_BOOL caseSensitive, IDispatch** result) {
        if (Cancelled()) return E_ABORT;
        const int id = SysStringLen(end) ? NextId() : kLineRegion;
        return Wrap(
            rule_.owner->CreateRegion(id, style, Text(begin), Text(end), caseSensitive != VARIANT_FALSE),
            result);
    }
    HRESULT CreateStringRegion(int style, BSTR quote, BSTR escape, VARIANT_BOOL multiLine,
                               IDispatch** result) {
        if (Cancelled()) return E_ABORT;
        const int id = multiLine != VARIANT_FALSE ? NextId() : kLineRegion;
        return Wrap(rule_.owner->CreateStringRegion(id, style, FirstChar(quote), FirstChar(escape)), result);
    }
    // A region whose end names the begin's groups (\1 to \9): a bracket
    // comment's level, a here-document's word.
    HRESULT CreateMatchedRegion(int style, BSTR begin, BSTR end, VARIANT_BOOL caseSensitive, IDispatch** result) {
        if (Cancelled()) return E_ABORT;
        return Wrap(rule_.owner->CreateMatchedRegion(NextId(), style, Text(begin), Text(end),
                                                     caseSensitive != VARIANT_FALSE),
                    result);
    }
    // A quote-like operator whose delimiter the text chooses (group 1 of
    // `begin`, else its last character); `parts` 2 for a substitution.
    HRESULT CreateQuoteRegion(int style, BSTR begin, BSTR escape, int parts, IDispatch** result) {
        if (Cancelled()) return E_ABORT;
        return Wrap(rule_.owner->CreateQuoteRegion(NextId(), style, Text(begin), FirstChar(escape), parts), result);
    }
    // Text passed over whole: no region begins or ends inside it.
    HRESULT CreateSkip(BSTR pattern, VARIANT_BOOL caseSensitive, IDispatch** result) {
        if (Cancelled()) return E_ABORT;
        return Wrap(rule_.owner->CreateSkip(Text(pattern), caseSensitive != VARIANT_FALSE), result);
    }
    HRESULT CreateItem(int style, BSTR pattern, VARIANT_BOOL caseSensitive, IDispatch** result) {
        if (Cancelled()) return E_ABORT;
        SyntaxItem* item = rule_.owner->CreateItem(style, Text(pattern), caseSensitive != VARIANT_FALSE);
        *result = new CComRefCount<CSyntaxItem_VB>(model_, rule_.owner, item);
        return S_OK;
    }
    HRESULT FoldText(BSTR pattern, VARIANT_BOOL caseSensitive) {
        return SetFold(rule_.owner->Root(), pattern, caseSensitive, false);
    }
    HRESULT UnfoldText(BSTR pattern, VARIANT_BOOL caseSensitive) {
        return SetFold(rule_.owner->Root(), pattern, caseSensitive, true);
    }
    // With True, the document's lines fold by their indentation (Python,
    // YAML): fold marks are not counted, and regions that span lines fold
    // under the line that opens them.
    HRESULT FoldByIndent(VARIANT_BOOL on) {
        if (Cancelled()) return E_ABORT;
        rule_.owner->SetFoldByIndent(on != VARIANT_FALSE);
        return S_OK;
    }
    static const DispEntry kTable[];

   private:
    // Identifiers of regions that may stay open: 1 to 59. Past that a region
    // closes with its line, which keeps every line state a valid one.
    int NextId() { return nextId_ < kMaxOpenRegion ? ++nextId_ : kLineRegion; }
    HRESULT Wrap(CSyntaxRegion* region, IDispatch** result) {
        *result = new CComRefCount<CSyntaxRegion_VB>(model_, rule_.owner, region);
        return S_OK;
    }

    int nextId_ = 0;
};
const DispEntry CParser_VB::kTable[] = {
    DispMethod<&CParser_VB::AddItem>(L"AddItem"),
    DispMethod<&CParser_VB::AddRegion>(L"AddRegion"),
    DispMethod<&CParser_VB::CreateRegion>(L"CreateRegion"),
    DispMethod<&CParser_VB::CreateStringRegion>(L"CreateStringRegion"),
    DispMethod<&CParser_VB::CreateMatchedRegion>(L"CreateMatchedRegion"),
    DispMethod<&CParser_VB::CreateQuoteRegion>(L"CreateQuoteRegion"),
    DispMethod<&CParser_VB::CreateSkip>(L"CreateSkip"),
    DispMethod<&CParser_VB::CreateItem>(L"CreateItem"),
    DispMethod<&CParser_VB::FoldText>(L"FoldText"),
    DispMethod<&CParser_VB::UnfoldText>(L"UnfoldText"),
    DispMethod<&CParser_VB::FoldByIndent>(L"FoldByIndent"),
    DispEnd(),
};

// "Parser": embedded in its site, whose count it shares.
class CParserList_VB : public IDispDynImpl {
   public:
    CParserList_VB(CScript* site, std::shared_ptr<Model> model)
        : IDispDynImpl(kTable), site_(site), model_(std::move(model)) {}
    STDMETHODIMP_(ULONG) AddRef() override { return site_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return site_->Release(); }

    HRESULT CreateParser(IDispatch** result) {
        if (model_->cancelled.load()) return E_ABORT;
        model_->parsers.push_back(std::make_unique<CSyntaxParser>());
        *result = new CComRefCount<CParser_VB>(model_, model_->parsers.back().get());
        return S_OK;
    }
    static const DispEntry kTable[];

   private:
    CScript* site_;
    std::shared_ptr<Model> model_;
};
const DispEntry CParserList_VB::kTable[] = {
    DispMethod<&CParserList_VB::CreateParser>(L"CreateParser"),
    DispEnd(),
};

// ---- The site -----------------------------------------------------------------

class CParserScript : public CScript {
   public:
    // Syntax scripts run on a worker while the calling thread waits: they
    // get no window to show boxes on.
    explicit CParserScript(std::shared_ptr<Model> model) : model_(model), parserList_(this, model) {
        SetWindowless(true);
    }

    IDispatch* FindNamedObject(const wchar_t* name) override {
        return _wcsicmp(name, L"Parser") == 0 ? &parserList_ : nullptr;
    }
    HRESULT AddNamedItems(IActiveScript* engine) override {
        uintptr_t begin = 0, end = 0;
        EngineExtent(engine, &begin, &end);
        model_->engineBase = begin;
        model_->engineEnd = end;
        return engine->AddNamedItem(L"Parser", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    }

   private:
    std::shared_ptr<Model> model_;
    CParserList_VB parserList_;
};

// ---- Running on a worker --------------------------------------------------------

struct Run {
    std::wstring path;
    std::shared_ptr<Model> model = std::make_shared<Model>();
    CParserScript* site = nullptr;  // one reference for the worker
    ScriptError error;
    bool ok = false;
};

DWORD WINAPI RunWorker(void* param) {
    // The worker's own reference: a run that was given up keeps what it uses.
    auto* run = static_cast<std::shared_ptr<Run>*>(param);
    {
        auto site = shell::ComPtrT<CParserScript>::Attach((*run)->site);
        try {
            (*run)->ok = CScriptHelper::RunFile(site.get(), (*run)->path, L"", &(*run)->error);
        } catch (...) {
            (*run)->ok = false;
        }
    }  // the worker's reference goes before the run
    delete run;
    return 0;
}

// Ends `thread` while it executes the engine's code; false when no such
// moment came.
bool StopInEngine(HANDLE thread, const Model& model) {
    if (!model.engineBase) return false;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const ThreadStop stop = StopThreadInModule(thread, model.engineBase, model.engineEnd);
        if (stop == ThreadStop::kStopped || stop == ThreadStop::kEnded) return true;
        if (stop == ThreadStop::kFailed) return false;
        if (WaitForSingleObject(thread, 1) == WAIT_OBJECT_0) return true;
    }
    return false;
}

}  // namespace

DWORD SetScriptTimeLimit(DWORD milliseconds) { return g_timeLimit.exchange(milliseconds); }

bool RunParserScript(const std::wstring& path, std::vector<std::unique_ptr<CSyntaxParser>>& parsers) {
    ScriptError error;
    const bool ok = RunParserScript(path, parsers, &error);
    ReportScriptError(error, GetActiveWindow());
    return ok;
}

bool RunParserScript(const std::wstring& path, std::vector<std::unique_ptr<CSyntaxParser>>& parsers,
                     ScriptError* failure) {
    *failure = ScriptError();
    auto run = std::make_shared<Run>();
    run->path = path;
    // This call's reference; the run's is the worker's.
    auto site = shell::ComPtrT<CParserScript>::Attach(new CParserScript(run->model));
    run->site = site.get();
    run->site->AddRef();  // for the worker
    auto* workerRef = new std::shared_ptr<Run>(run);
    const DWORD limit = g_timeLimit.load();
    std::wstring cwd(GetCurrentDirectoryW(0, nullptr), L'\0');
    cwd.resize(GetCurrentDirectoryW(DWORD(cwd.size()), cwd.data()));
    shell::CUniqueHandle thread(CreateThread(nullptr, 0, RunWorker, workerRef, 0, nullptr));
    if (!thread) {
        RunWorker(workerRef);  // no thread to spare: run here, without a limit
    } else if (WaitForSingleObject(thread.get(), limit) != WAIT_OBJECT_0) {
        // Too long: ask the engine, then the host objects, to stop; then
        // stop the thread. Either way the run's results are not used.
        run->model->cancelled = true;
        site->Interrupt();
        if (WaitForSingleObject(thread.get(), kGraceMs) != WAIT_OBJECT_0)
            StopInEngine(thread.get(), *run->model);
        thread.reset();
        SetCurrentDirectoryW(cwd.c_str());  // the script's folder may have been current
        ScriptError stopped;
        stopped.message = kMsgTimeLimit;
        stopped.path = path;
        stopped.seconds = int((limit + 999) / 1000);
        *failure = stopped;
        // This call's reference goes now; the worker's share stays with a
        // thread that never ended.
        return false;
    }
    thread.reset();
    for (auto& parser : run->model->parsers) parsers.push_back(std::move(parser));
    run->model->parsers.clear();
    const bool ok = run->ok;
    *failure = run->error;
    return ok;
}

}  // namespace syntax
