// The clipboard (copy, cut, paste, column paste, paste with indentation)
// and OLE drag-and-drop, where each control is both a source and a target.
#include <algorithm>
#include <shlobj.h>

#include "Commands.h"
#include "View.h"

namespace {

UINT ColumnFormat() {
    static const UINT format = RegisterClipboardFormatW(L"MSDEVColumnSelect");
    return format;
}

// The clipboard, open for the lifetime of the object.
class ClipboardScope {
public:
    explicit ClipboardScope(HWND h) : open_(OpenClipboard(h) != 0) {}
    ~ClipboardScope() {
        if (open_) CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    bool open() const { return open_; }

private:
    bool open_;
};

wchar_t* Dup(const std::wstring& s) {
    wchar_t* p = new wchar_t[s.size() + 1];
    std::copy(s.begin(), s.end(), p);
    p[s.size()] = 0;
    return p;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> out(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

}  // namespace

bool View::Copy() {
    if (!doc_ || ranges_.empty()) return false;
    ClipboardScope clip(hwnd_);
    if (!clip.open()) return false;
    EmptyClipboard();
    HGLOBAL block = SelectionBlock();
    if (!block) return false;
    if (!SetClipboardData(CF_UNICODETEXT, block)) {
        GlobalFree(block);
        return false;
    }
    // The column marker is data of its own (one empty string), not delayed
    // rendering: it must outlive this window.
    if (column_) {
        if (HGLOBAL marker = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(wchar_t)))
            if (!SetClipboardData(ColumnFormat(), marker)) GlobalFree(marker);
    }
    return true;
}

void View::Paste(bool indent) {
    if (!doc_) return;
    std::wstring text;
    bool column = false;
    {
        ClipboardScope clip(hwnd_);
        if (!clip.open()) return;
        HANDLE h = GetClipboardData(CF_UNICODETEXT);
        if (!h) return;
        if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text.assign(p, wcsnlen(p, GlobalSize(h) / sizeof(wchar_t)));
            GlobalUnlock(h);
        }
        column = IsClipboardFormatAvailable(ColumnFormat()) != 0;
    }
    if (text.empty()) return;
    if (doc_->readOnly) {
        RefuseReadOnly();
        return;
    }
    if (column) {
        PasteColumn(text);
        return;
    }
    // Stream text over a column selection replaces the block: the ranges go
    // and the text goes in once, at the caret.
    if (column_ && ranges_.size() > 1) {
        {
            undo_group::Scope group;
            DeleteSelection();
            InsertCommand c(caret_, text.c_str(), int(text.size()));
            RunCommand(c);
        }
        ScrollCaretIntoView();
        return;
    }
    if (indent) {
        int n = 0;
        const wchar_t* t = doc_->LineText(caret_.line, &n);
        int k = 0;
        while (k < n && (t[k] == L' ' || t[k] == L'\t')) ++k;
        if (k > 0) {
            const std::wstring lead(t, size_t(k));
            const std::vector<std::wstring> lines = SplitLines(text);
            std::wstring joined;
            for (size_t i = 0; i < lines.size(); ++i) {
                if (i > 0) joined += L'\n';
                if (i > 0 && !lines[i].empty()) joined += lead;
                joined += lines[i];
            }
            text = joined;
        }
    }
    TypeText(text.c_str(), int(text.size()));
}

// Each line of the block goes to the next line down at the caret's x, padded
// with spaces where a line is too short; lines past the end are appended.
void View::PasteColumn(const std::wstring& text) {
    const std::vector<std::wstring> pieces = SplitLines(text);
    undo_group::Scope group;
    if (!ranges_.empty()) DeleteSelection();
    const int x = caretRec_.x, sp = std::max(metrics_.Width(L' '), 1);
    const int tab = std::max(TabPixels(), 1);
    MacroCommand macro;
    const int count = doc_->LineCount();
    for (size_t i = 0; i < pieces.size(); ++i) {
        const int line = caret_.line + int(i);
        const std::wstring& piece = pieces[i];
        if (line < count) {
            if (piece.empty()) continue;
            int n = 0;
            const wchar_t* t = doc_->LineText(line, &n);
            int d = 0, col = 0;
            while (col < n) {
                const int w = t[col] == L'\t' ? tab - d % tab : metrics_.CharWidth(t, col, n);
                if (d + w > x) break;
                d += w;
                col += CharUnits(t, col, n);  // a surrogate pair stays whole
            }
            std::wstring ins = piece;
            if (col == n && d < x) ins.insert(0, size_t((x - d) / sp), L' ');
            macro.AddBack(new InsertCommand({line, col}, Dup(ins), int(ins.size()), true));
        } else {
            const std::wstring ins = L"\n" + std::wstring(size_t(x / sp), L' ') + piece;
            macro.AddBack(new InsertCommand({INT32_MAX, INT32_MAX}, Dup(ins), int(ins.size()), true));
        }
    }
    if (macro.Count()) RunCommand(macro);
    ScrollCaretIntoView();
}

// Drag-and-drop COM objects ----------------------------------------------------------

namespace {

template <typename I>
class ComBase : public I {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs_;
        if (r == 0) delete this;
        return r;
    }
    virtual ~ComBase() = default;

protected:
    HRESULT Query(REFIID riid, void** out, REFIID mine) {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == mine) {
            *out = static_cast<I*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG refs_ = 1;
};

class CEnumFormatEtc final : public ComBase<IEnumFORMATETC> {
public:
    explicit CEnumFormatEtc(std::vector<FORMATETC> formats, ULONG pos = 0) : formats_(std::move(formats)), pos_(pos) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return Query(riid, out, IID_IEnumFORMATETC);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG n, FORMATETC* out, ULONG* fetched) override {
        ULONG k = 0;
        while (k < n && pos_ < formats_.size()) out[k++] = formats_[pos_++];
        if (fetched) *fetched = k;
        return k == n ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
        pos_ = std::min<ULONG>(ULONG(formats_.size()), pos_ + n);
        return pos_ < formats_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        pos_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = new CEnumFormatEtc(formats_, pos_);
        return S_OK;
    }

private:
    std::vector<FORMATETC> formats_;
    ULONG pos_;
};

class CIDataObject final : public ComBase<IDataObject> {
public:
    ~CIDataObject() override {
        for (auto& e : entries_) ReleaseStgMedium(&e.second);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return Query(riid, out, IID_IDataObject);
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* want, STGMEDIUM* out) override {
        if (!want || !out) return E_INVALIDARG;
        for (auto& e : entries_) {
            if (!(want->tymed & e.first.tymed) || want->dwAspect != e.first.dwAspect || want->cfFormat != e.first.cfFormat)
                continue;
            out->tymed = e.second.tymed;
            out->pUnkForRelease = nullptr;
            if (e.second.tymed == TYMED_HGLOBAL) {
                out->hGlobal = static_cast<HGLOBAL>(OleDuplicateData(e.second.hGlobal, e.first.cfFormat, 0));
                return out->hGlobal ? S_OK : E_OUTOFMEMORY;
            }
            return DV_E_FORMATETC;
        }
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* want) override {
        if (!want) return E_INVALIDARG;
        for (auto& e : entries_)
            if ((want->tymed & e.first.tymed) && want->cfFormat == e.first.cfFormat && want->dwAspect == e.first.dwAspect)
                return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* fmt, STGMEDIUM* medium, BOOL) override {
        if (!fmt || !medium) return E_INVALIDARG;
        entries_.push_back({*fmt, *medium});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        for (auto& e : entries_) formats.push_back(e.first);
        *out = new CEnumFormatEtc(formats);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::pair<FORMATETC, STGMEDIUM>> entries_;
};

class CIDropSource final : public ComBase<IDropSource> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return Query(riid, out, IID_IDropSource);
    }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        if (keys & (MK_LBUTTON | MK_RBUTTON)) return S_OK;
        dropped = true;
        return DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
    bool dropped = false;
};

const FORMATETC kTextFormat = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

}  // namespace

// A drop target for Unicode text in global memory: remembers whether the
// current drag offers it and tells the shell's drag-image helper (when it
// exists) of every step. Subclasses place the drop caret and run the drop.
class CIDropTarget : public ComBase<IDropTarget> {
public:
    explicit CIDropTarget(HWND hwnd) : hwnd_(hwnd) {
        // Drag images are a nicety: without the shell's helper they do not appear.
        if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper,
                                    reinterpret_cast<void**>(&helper_))))
            helper_ = nullptr;
    }
    ~CIDropTarget() override {
        if (helper_) helper_->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return Query(riid, out, IID_IDropTarget);
    }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        POINT p = {pt.x, pt.y};
        if (helper_) helper_->DragEnter(hwnd_, data, &p, *effect);
        FORMATETC f = kTextFormat;
        accepting_ = data && data->QueryGetData(&f) == S_OK;
        *effect = accepting_ ? Effect(keys, *effect) : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
        POINT p = {pt.x, pt.y};
        if (helper_) helper_->DragOver(&p, *effect);
        *effect = accepting_ ? Effect(keys, *effect) : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        if (helper_) helper_->DragLeave();
        accepting_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        POINT p = {pt.x, pt.y};
        if (helper_) helper_->Drop(data, &p, *effect);
        const DWORD e = accepting_ ? Effect(keys, *effect) : DROPEFFECT_NONE;
        *effect = DROPEFFECT_NONE;
        if (accepting_ && data && e != DROPEFFECT_NONE) {
            FORMATETC f = kTextFormat;
            STGMEDIUM m = {};
            if (data->GetData(&f, &m) == S_OK) {
                if (m.tymed == TYMED_HGLOBAL)
                    if (const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(m.hGlobal))) {
                        const std::wstring s(text, wcsnlen(text, GlobalSize(m.hGlobal) / sizeof(wchar_t)));
                        GlobalUnlock(m.hGlobal);
                        ScreenToClient(hwnd_, &p);
                        if (OnDrop(data, p, s, e)) *effect = e;
                    }
                ReleaseStgMedium(&m);
            }
        }
        accepting_ = false;
        return S_OK;
    }

protected:
    virtual DWORD Effect(DWORD keys, DWORD allowed) = 0;
    virtual bool OnDrop(IDataObject* data, POINT client, const std::wstring& text, DWORD effect) = 0;
    HWND hwnd_;
    bool accepting_ = false;

private:
    IDropTargetHelper* helper_ = nullptr;
};

// The drop target of a view: the drop caret follows the pointer, and a drop
// inserts (or moves) the text.
class ViewDropTarget final : public CIDropTarget {
public:
    ViewDropTarget(HWND hwnd, View& view) : CIDropTarget(hwnd), view_(view) {}
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
        CIDropTarget::DragOver(keys, pt, effect);
        if (!accepting_) return S_OK;
        POINT p = {pt.x, pt.y};
        ScreenToClient(hwnd_, &p);
        view_.DragOver(p);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        CIDropTarget::DragLeave();
        view_.EndDropCaret();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        CIDropTarget::Drop(data, keys, pt, effect);
        view_.EndDropCaret();
        return S_OK;
    }

private:
    DWORD Effect(DWORD keys, DWORD allowed) override { return view_.DropEffect(keys, allowed); }
    bool OnDrop(IDataObject* data, POINT client, const std::wstring& text, DWORD effect) override {
        return view_.Drop(client, text.c_str(), effect, view_.IsOwnDrag(data));
    }
    View& view_;
};

IDropTarget* CreateDropTarget(HWND hwnd, View& view) { return new ViewDropTarget(hwnd, view); }

DWORD View::DropEffect(DWORD keys, DWORD allowed) const {
    const bool ctrl = keys & MK_CONTROL, shift = keys & MK_SHIFT;
    if (ctrl && shift) return allowed & DROPEFFECT_LINK;
    if (ctrl) return allowed & DROPEFFECT_COPY;
    if (shift) return allowed & DROPEFFECT_MOVE;
    if (allowed & DROPEFFECT_MOVE) return DROPEFFECT_MOVE;
    if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
    return allowed & DROPEFFECT_LINK;
}

void View::DragOver(POINT pt) {
    if (!doc_) return;
    if (pt.y < textArea_.top + LineHeight()) pt.y = textArea_.top - LineHeight();
    const Position p = HitTest(pt, nullptr, nullptr);
    const CaretPos saved = caretRec_;
    caretRec_ = Map(p.line, p.column);
    ScrollCaretIntoView();
    const CaretPos at = caretRec_;
    caretRec_ = saved;
    if (!dropCaret_) {
        CreateCaret(hwnd_, reinterpret_cast<HBITMAP>(1), 2, metrics_.Height());
        ShowCaret(hwnd_);
        dropCaret_ = true;
    }
    SetCaretPos(textArea_.left - hOffset_ * metrics_.AveWidth() + at.x - 1,
                textArea_.top + extraSpacing_ / 2 + LineHeight() * (at.row - scroll_.topRow));
}

void View::EndDropCaret() {
    if (!dropCaret_) return;
    dropCaret_ = false;
    DestroyCaret();
    hasCaret_ = false;
    if (GetFocus() == hwnd_) OnFocus(true);
}

// Inserts dropped text at the point; a move of this view's own selection
// deletes the source range in the same undo group.
bool View::Drop(POINT pt, const wchar_t* text, DWORD effect, bool own) {
    if (!doc_ || !text) return false;
    const Position p0 = HitTest(pt, nullptr, nullptr);
    if (own && ranges_.size() == 1 && Compare(p0, ranges_[0].start) >= 0 && Compare(p0, ranges_[0].end) <= 0)
        return false;
    if (doc_->readOnly) {
        RefuseReadOnly();
        return false;
    }
    const int n = int(wcslen(text));
    Position p = p0;
    undo_group::Begin();
    HideCaret(hwnd_);
    if (own && ranges_.size() == 1) {
        const SelRange s = ranges_[0];
        ranges_.clear();
        if (Compare(p, s.end) >= 0) {
            InsertCommand ins(p, text, n);
            RunCommand(ins);
            if (effect == DROPEFFECT_MOVE) {
                DeleteCommand del(s.start, s.end);
                RunCommand(del);
                p = AdjustPosition(p, s.start, s.end, s.start);
            }
        } else {
            if (effect == DROPEFFECT_MOVE) {
                DeleteCommand del(s.start, s.end);
                RunCommand(del);
            }
            InsertCommand ins(p, text, n);
            RunCommand(ins);
        }
    } else {
        InsertCommand ins(p, text, n);
        RunCommand(ins);
    }
    undo_group::End();
    ShowCaret(hwnd_);
    // Select the inserted text.
    Position end = p;
    for (int i = 0; i < n; ++i) {
        if (text[i] == L'\r' && i + 1 < n && text[i + 1] == L'\n') ++i;
        if (text[i] == L'\r' || text[i] == L'\n') end = {end.line + 1, 0};
        else ++end.column;
    }
    ExtendTo(p, end);
    MoveCaret(end);
    Invalidate();
    return true;
}

namespace {
// A data object holding a block of Unicode text (the object owns the block).
CIDataObject* TextDataObject(HGLOBAL block) {
    auto* data = new CIDataObject;
    FORMATETC f = kTextFormat;
    STGMEDIUM m = {};
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = block;
    data->SetData(&f, &m, TRUE);
    return data;
}
}  // namespace

void View::StartDrag() {
    HGLOBAL block = SelectionBlock();
    if (!block) return;
    CIDataObject* data = TextDataObject(block);
    auto* source = new CIDropSource;
    ownDrag_ = data;
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    ownDrag_ = nullptr;
    source->Release();
    data->Release();
}

IDataObject* CreateTextDataObject(const wchar_t* text) {
    const size_t n = wcslen(text);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (n + 1) * sizeof(wchar_t));
    if (!g) return nullptr;
    std::copy(text, text + n + 1, static_cast<wchar_t*>(GlobalLock(g)));
    GlobalUnlock(g);
    return TextDataObject(g);
}
