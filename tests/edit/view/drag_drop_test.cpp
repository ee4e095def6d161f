// Drag-and-drop into a control: the drop target's methods called with a data
// object, as OLE's drag loop would. The control runs in this process so that
// the test can reach its drop target.
#include <gtest/gtest.h>
#include <ole2.h>
#include <windows.h>

#include <string>

#include "ControlScript.h"
#include "InProcessEdit.h"
#include "View.h"

using namespace testing_support;

namespace {

class DragDrop : public InProcessEdit {
   protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        InProcessEdit::SetUpTestSuite();
    }
    void SetUp() override {
        InProcessEdit::SetUp();
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
        Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_));
        Send(MPM_VIEWPART, 0, 1);
        cw_ = int(Send(MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"x"), 1));
        lh_ = int(Send(MPM_LINEHEIGHT));
        view_ = reinterpret_cast<View*>(GetWindowLongPtrW(edit_, GWLP_USERDATA));
        target_ = view_->DropTarget();
    }
    void TearDown() override {
        InProcessEdit::TearDown();
        DeleteObject(font_);
    }
    // One whole drag of `text` (the own selection's when `own`) ending in a
    // drop in the middle of a character cell; returns the effect shown while
    // dragging and, in `told`, the one told at the drop.
    DWORD DragAndDrop(const wchar_t* text, bool own, int col, int line, DWORD keys, DWORD allowed,
                      DWORD* told) {
        POINT p = {2 + col * cw_ + 1, line * lh_ + lh_ / 2};
        ClientToScreen(edit_, &p);
        const POINTL at = {p.x, p.y};
        IDataObject* data = CreateTextDataObject(text);
        if (own) view_->SetOwnDrag(data);
        DWORD shown = allowed;
        target_->DragEnter(data, keys, at, &shown);
        shown = allowed;
        target_->DragOver(keys, at, &shown);
        *told = allowed;
        target_->Drop(data, keys, at, told);
        view_->SetOwnDrag(nullptr);
        data->Release();
        return shown;
    }

    HFONT font_ = nullptr;
    View* view_ = nullptr;
    IDropTarget* target_ = nullptr;
    int cw_ = 0, lh_ = 0;
};

}  // namespace

// The keys held at the drop and the effects that the source allows decide
// what a drag of the own selection does: Ctrl copies, Shift moves, Ctrl and
// Shift link (the text is inserted, the source left alone), no key moves
// when the source allows it. What the source does not allow does nothing,
// and the source is told what happened, as is the pointer while dragging.
// A drop inside the own selection changes nothing; a move backward deletes
// first, then inserts. The dropped text is selected, one undo step.
TEST_F(DragDrop, TheKeysAndTheAllowedEffectsDecideWhatADropDoes) {
    const DWORD kUnasked = 0xFFFF, copy = DROPEFFECT_COPY, move = DROPEFFECT_MOVE, link = DROPEFFECT_LINK,
                none = DROPEFFECT_NONE;
    struct Case {
        const wchar_t* before;  // the selection dragged in it
        int col, line;          // where it is dropped
        DWORD keys, allowed;
        const wchar_t* after;
        DWORD told;
    };
    const Case cases[] = {
        {L"abc[XY]|defgh", 8, 0, 0, copy | move, L"abcdef[XY]|gh", move},
        {L"abc[XY]|defgh", 8, 0, 0, copy, L"abcXYdef[XY]|gh", copy},
        {L"abc[XY]|defgh", 8, 0, 0, link, L"abcXYdef[XY]|gh", link},
        {L"abc[XY]|defgh", 8, 0, 0, copy | move | link, L"abcdef[XY]|gh", move},
        {L"abc[XY]|defgh", 8, 0, MK_CONTROL, copy | move, L"abcXYdef[XY]|gh", copy},
        {L"abc[XY]|defgh", 8, 0, MK_CONTROL, move, L"abc[XY]|defgh", none},
        {L"abc[XY]|defgh", 8, 0, MK_SHIFT, copy | move, L"abcdef[XY]|gh", move},
        {L"abc[XY]|defgh", 8, 0, MK_SHIFT, copy | link, L"abc[XY]|defgh", none},
        {L"abc[XY]|defgh", 8, 0, MK_CONTROL | MK_SHIFT, copy | move | link, L"abcXYdef[XY]|gh", link},
        {L"abc[XY]|defgh", 8, 0, MK_CONTROL | MK_SHIFT, copy | move, L"abc[XY]|defgh", none},
        {L"abc[XY]|defgh", 8, 0, 0, none, L"abc[XY]|defgh", none},
        {L"[ab]|cdef", 4, 0, MK_CONTROL, copy | move, L"abcd[ab]|ef", copy},
        {L"first\n[sec]|ond", 0, 0, 0, copy | move, L"[sec]|first\nond", move},  // backward: deleted first
        {L"01[2345]|6789", 4, 0, 0, copy | move, L"01[2345]|6789", kUnasked},    // inside the selection
    };
    auto text = [](std::wstring state) {
        std::erase_if(state, [](wchar_t c) { return c == L'[' || c == L']' || c == L'|'; });
        return state;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "keys " << c.keys << " allowed " << c.allowed << " into " << c.col);
        SetState(edit_, c.before);
        const std::wstring dragged = GlobalText(Send(MPM_GETSELTEXT));
        DWORD told = 0;
        const DWORD shown = DragAndDrop(dragged.c_str(), true, c.col, c.line, c.keys, c.allowed, &told);
        EXPECT_EQ(State(edit_), c.after) << "the dropped text is selected";
        if (c.told != kUnasked) {
            EXPECT_EQ(shown, c.told) << "the pointer while dragging";
            EXPECT_EQ(told, c.told);
        }
        if (text(c.after) == text(c.before)) {
            EXPECT_EQ(Send(MPM_CANUNDO), 0);
            continue;
        }
        Send(WM_COMMAND, ECMD_UNDO);
        EXPECT_EQ(text(State(edit_)), text(c.before)) << "one undo step";
    }
}

TEST_F(DragDrop, ForeignTextIsInsertedAndSelected) {
    SetState(edit_, L"|abcdef");
    DWORD told = 0;
    DragAndDrop(L"<\r\n>", false, 0, 0, 0, DROPEFFECT_COPY, &told);
    EXPECT_EQ(State(edit_), L"[<\n>]|abcdef");
}

TEST_F(DragDrop, DataObjectsAnswerTheStandardCodes) {
    IDataObject* data = CreateTextDataObject(L"text");
    FORMATETC ok = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC bad = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&ok), S_OK);
    EXPECT_EQ(data->QueryGetData(&bad), DV_E_FORMATETC);
    STGMEDIUM m = {};
    EXPECT_EQ(data->GetData(&bad, &m), DV_E_FORMATETC);
    ASSERT_EQ(data->GetData(&ok, &m), S_OK);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(m.hGlobal))), L"text");
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    IEnumFORMATETC* e = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    FORMATETC f[2];
    ULONG got = 0;
    EXPECT_EQ(e->Next(2, f, &got), S_FALSE);
    EXPECT_EQ(got, 1u);
    e->Release();
    DWORD conn = 0;
    EXPECT_EQ(data->DAdvise(&ok, 0, nullptr, &conn), OLE_E_ADVISENOTSUPPORTED);
    data->Release();
}
