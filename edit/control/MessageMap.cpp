// The control's message map. Messages are sorted into families; each family
// answers the protocol messages it owns and leaves the rest unhandled, which
// the window procedure passes to DefWindowProcW.
#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "Commands.h"
#include "FileIO.h"
#include "LineFind.h"
#include "MessageArgs.h"
#include "View.h"

namespace {

// The messages marked Doc in the protocol's list.
bool NeedsDocument(UINT msg) {
    switch (msg) {
#define MRPAD_NEEDS_DOCUMENT(name, number, needs, w, l) \
    case name: return MessageNeeds::needs == MessageNeeds::Doc;
        MRPAD_MESSAGES(MRPAD_NEEDS_DOCUMENT)
#undef MRPAD_NEEDS_DOCUMENT
    }
    return false;
}

}  // namespace

LRESULT View::Message(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    handled = true;
    if (msg == MPM_TRANSLATEACCEL) return WindowMessage(msg, wp, lp, handled);
    if (msg == WM_COMMAND) {
        const int id = LOWORD(wp);
        handled = id >= 1 && id <= ECMD_LAST && OnCommand(id);
        return 0;
    }
    if (msg >= MPM_CANUNDO && msg <= MPM_LAST) {
        // Without a document (after 1030) what needs one answers 0.
        if (!doc_ && NeedsDocument(msg)) return msg == MPM_GETLINECOUNT ? 1 : 0;
        LRESULT r = DocumentMessage(msg, wp, lp, handled);
        if (handled) return r;
        handled = true;
        r = SelectionMessage(msg, wp, lp, handled);
        if (handled) return r;
        handled = true;
        return DisplayMessage(msg, wp, lp, handled);
    }
    return WindowMessage(msg, wp, lp, handled);
}

// Messages about the document: its text, history, lexer and attributes.
LRESULT View::DocumentMessage(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    switch (msg) {
        case MPM_SHAREDOC: return ShareDocument(Ptr<TextDocument>(wp));
        case MPM_CLOSEDOC: CloseDocument(); return 0;
        case MPM_NOP1045:
        case MPM_NOP1048:
        case MPM_NOP1070: return 0;
        case MPM_RECOVERFILE: {
            const wchar_t* path = Ptr<const wchar_t>(wp);
            return path ? RecoverInterruptedSave(path) : RecoverTemporaryFolder();
        }
        case MPM_HOLDGROUP:
            // The group is the process's, like the counter: it needs no document.
            if (wp ? undo_group::Hold() : undo_group::Release()) {
                if (wp)
                    HideCaret(hwnd_);
                else
                    ShowCaret(hwnd_);
            }
            return 0;
    }
    if (!doc_) {
        handled = false;
        return 0;
    }
    TextDocument& d = *doc_;
    switch (msg) {
        case MPM_CANUNDO: return !d.undo.Empty();
        case MPM_CANREDO: return !d.redo.Empty();
        case MPM_GETLINECOUNT: return d.LineCount();
        case MPM_GETFILENAME: return reinterpret_cast<LRESULT>(d.fileName.c_str());
        case MPM_GETCHARAT: {
            int n = 0;
            const wchar_t* t = d.LineText(Int(wp), &n);
            const int col = static_cast<int>(lp);
            return col >= 0 && col < n ? t[col] : 0;
        }
        case MPM_GETLINE: {
            const int line = Int(wp);
            if (line < 0 || line >= d.LineCount()) return 0;
            int n = 0;
            const wchar_t* t = d.LineText(line, &n);
            if (wchar_t* out = Ptr<wchar_t>(lp)) std::copy(t, t + n + 1, out);
            return n;
        }
        case MPM_GETLINES: {
            LinesArg* arg = Ptr<LinesArg>(lp);
            if (!arg || !arg->buffer || arg->capacity <= 0) return 0;
            arg->units = 0;
            return d.CopyLines(Int(wp), arg->maxLines, arg->buffer, arg->capacity, &arg->units);
        }
        case MPM_FINDLINE: {
            LineFindArg* arg = Ptr<LineFindArg>(lp);
            return arg ? FindLineWith(d, Int(wp), *arg) : 0;
        }
        case MPM_GETLINEPTR: {
            const int line = Int(wp);
            if (line < 0 || line >= d.LineCount()) return 0;
            if (!d.LineAt(line).Loaded() && !d.source) return 0;
            int n = 0;
            return reinterpret_cast<LRESULT>(d.LineText(line, &n));
        }
        case MPM_DELETERANGE: {
            const Position* a = Ptr<Position>(wp);
            const Position* b = Ptr<Position>(lp);
            if (!a || !b) return 0;
            const Position pa = d.Clamp(*a), pb = d.Clamp(*b);
            if (pa == pb) {
                ClearSelection();
                MoveCaret(pa);
                return 0;
            }
            DeleteCommand cmd(pa, pb);
            return Run(cmd, d);
        }
        case MPM_INSERTTEXT: {
            const TextArg* arg = Ptr<TextArg>(lp);
            if (!arg || !arg->text) return 0;
            const int len = arg->length < 0 ? int(wcslen(arg->text)) : arg->length;
            if (len == 0) return 0;
            if (const Position* at = Ptr<Position>(wp)) MoveCaret(*at);
            InsertCommand cmd(caret_, arg->text, len);
            return Run(cmd, d);
        }
        case MPM_REPLACERANGE: {
            const ReplaceRangeArg* arg = Ptr<ReplaceRangeArg>(lp);
            if (!arg || (!arg->text && arg->length != 0)) return 0;
            const int len = arg->length < 0 ? int(wcslen(arg->text)) : arg->length;
            Position a = d.Clamp(arg->start), b = d.Clamp(arg->end);
            if (Compare(b, a) < 0) std::swap(a, b);
            if (a == b && len == 0) return 0;
            ReplaceCommand cmd(a, b, arg->text ? arg->text : L"", len);
            return Run(cmd, d);
        }
        case MPM_REPLACERANGES: {
            if (!lp || Int(wp) <= 0) return 0;
            if (d.readOnly) {  // refused as by Run, before any line is read
                MessageBeep(MB_OK);
                return 0;
            }
            std::unique_ptr<CompoundReplaceCommand> cmd =
                CompoundReplaceCommand::FromRanges(d, Ptr<const ReplaceRangeArg>(lp), Int(wp));
            if (!cmd) return 0;
            // The caret and the selection end where the ranges replaced one
            // by one would leave them, not only where the one change that
            // the views are told of would.
            std::vector<Position> track(1 + 2 * ranges_.size());
            track[0] = caret_;
            for (size_t i = 0; i < ranges_.size(); ++i) {
                track[1 + 2 * i] = ranges_[i].start;
                track[2 + 2 * i] = ranges_[i].end;
            }
            std::vector<SelRange> ranges = ranges_;
            const bool column = column_;
            cmd->Track(track.data(), int(track.size()));
            if (!Run(*cmd, d)) return 0;
            for (size_t i = 0; i < ranges.size(); ++i) ranges[i] = {track[1 + 2 * i], track[2 + 2 * i]};
            ranges.erase(std::remove_if(ranges.begin(), ranges.end(),
                                        [](const SelRange& r) { return r.start == r.end; }),
                         ranges.end());
            ranges_ = std::move(ranges);
            column_ = column && ranges_.size() > 1;
            MoveCaret(track[0]);
            Invalidate();
            return 1;
        }
        case MPM_LINEBREAKTYPE:
            if (wp >= 1 && wp <= 3) {
                d.lineBreak = Int(wp);
                d.savePoint = TextDocument::kNeverSaved;
            }
            return d.lineBreak;
        case MPM_SETLEXER:
            d.SetLexer(Ptr<ILexer>(wp), lp != 0);
            for (DocView* v : std::vector<DocView*>(d.views))
                if (View* view = dynamic_cast<View*>(v)) view->LexerChanged();
            return 0;
        case MPM_GETLEXER: return reinterpret_cast<LRESULT>(d.lexer);
        case MPM_INDENTFOLDS:
            if ((wp == 0 || wp == 1) && d.indentFolds != (wp == 1)) {
                d.SetIndentFolds(wp == 1);
                for (DocView* v : std::vector<DocView*>(d.views))
                    if (View* view = dynamic_cast<View*>(v); view && view->FoldMode() == 1)
                        view->SetFoldMode(1);
            }
            return d.indentFolds;
        case MPM_ISMODIFIED: return d.IsModified();
        case MPM_SETLINEATTR:
        case MPM_GETLINEATTR: {
            LineAttrArg* arg = Ptr<LineAttrArg>(lp);
            const int line = Int(wp);
            if (!arg || line < 0 || line >= d.LineCount()) return 0;
            if (msg == MPM_SETLINEATTR) return d.SetAttr(line, arg->kind, arg->value);
            arg->value = d.GetAttr(line, arg->kind);
            return 1;
        }
        case MPM_CODEPAGE:
            if (Int(wp) != -1) {
                d.sourceCodePage = d.currentCodePage = Int(wp);
                if (d.source) d.source->SetCodePage(Int(wp));
                d.savePoint = TextDocument::kNeverSaved;
                // Lines now read as other units in every view of the document.
                for (DocView* v : std::vector<DocView*>(d.views))
                    if (View* view = dynamic_cast<View*>(v)) view->Reinterpreted();
            }
            return d.sourceCodePage;
        case MPM_BOM:
            if (wp == 0 || wp == 1) {
                d.hasBom = Int(wp);
                d.savePoint = TextDocument::kNeverSaved;
            }
            return d.hasBom;
        case MPM_GETRANGETEXT: {
            RangeTextArg* arg = Ptr<RangeTextArg>(wp);
            if (!arg) return 0;
            const Position a = {arg->startLine, arg->startColumn};
            const Position b = {arg->endLine, arg->endColumn};
            const Position s = Compare(a, b) <= 0 ? a : b, e = Compare(a, b) <= 0 ? b : a;
            if (!arg->buffer) return d.RangeLength(s, e, arg->lineBreak);
            d.CopyRange(s, e, arg->lineBreak, arg->buffer);
            return 0;
        }
        case MPM_UNDOGROUP:
            if (wp) {
                undo_group::Begin();
                HideCaret(hwnd_);
            } else {
                undo_group::End();
                ShowCaret(hwnd_);
            }
            return 0;
        case MPM_UPDATESTATES: {
            const int last = static_cast<int>(lp) < 0 ? d.LineCount() - 1 : static_cast<int>(lp);
            const bool changed = d.UpdateStates(Int(wp), last);
            Invalidate();
            return changed;
        }
        case MPM_READONLY:
            if (wp == 0 || wp == 1) d.readOnly = Int(wp);
            return d.readOnly;
        case MPM_RECORDING:
            if (wp == 0 || wp == 1) return d.SetRecording(wp == 1);
            return d.recording;
        case MPM_GETSTYLEAT: {
            const Position* p = Ptr<Position>(wp);
            return p ? d.StyleAt(*p) : 0;
        }
        case MPM_GETCODEPAGE: return d.currentCodePage;
        case MPM_EMPTYUNDO: d.EmptyUndo(); return 0;
        case MPM_LOADFILE:
        case MPM_LOADINPLACE: {
            const bool ok = LoadFile(d, Ptr<const wchar_t>(wp), LOWORD(lp), msg == MPM_LOADINPLACE);
            d.lineBreak = HIWORD(lp);
            return ok;
        }
        case MPM_SAVEFILE:
        case MPM_SAVECOPY:
            return SaveFile(d, Ptr<const wchar_t>(wp), Ptr<const SaveFormat>(lp), msg == MPM_SAVEFILE);
        case MPM_REPLACEFILE: {
            const FileReplaceArg* arg = Ptr<const FileReplaceArg>(wp);
            if (!arg || !arg->path) return 0;
            FileCommand cmd(arg->path, arg->codePage, arg->deleteFile != 0);
            Run(cmd, d);
            return 0;
        }
    }
    handled = false;
    return 0;
}
