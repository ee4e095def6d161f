// Drag-and-drop into a control: the drop target's methods called with a data
// object, as OLE's drag loop would. The control runs in this process so that
// the test can reach its drop target.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <string>

#include "EditWindow.h"
#include "View.h"

namespace {

class DragDrop : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        RegisterEditClass(GetModuleHandleW(nullptr));
    }
    void SetUp() override {
        edit_ = CreateWindowExW(0, MRPAD_CLASS_NAME, L"", WS_POPUP, 100, 100, 600, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit_, nullptr);
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY,
                            FIXED_PITCH, L"Courier New");
        SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
        SendMessageW(edit_, MPM_VIEWPART, 0, 1);
        cw_ = int(SendMessageW(edit_, MPM_TEXTWIDTH, reinterpret_cast<WPARAM>(L"x"), 1));
        lh_ = int(SendMessageW(edit_, MPM_LINEHEIGHT, 0, 0));
        view_ = reinterpret_cast<View*>(GetWindowLongPtrW(edit_, GWLP_USERDATA));
        target_ = view_->DropTarget();
    }
    void TearDown() override {
        DestroyWindow(edit_);
        DeleteObject(font_);
    }
    void SetText(const wchar_t* s) {
        TextArg a = {s, -1};
        SendMessageW(edit_, MPM_INSERTTEXT, 0, reinterpret_cast<LPARAM>(&a));
    }
    void Select(Position a, Position b) {
        SendMessageW(edit_, MPM_SELECT, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    }
    std::wstring Text() {
        RangeTextArg arg = {0, 0, INT_MAX, INT_MAX, nullptr, LB_LF};
        std::wstring s(size_t(SendMessageW(edit_, MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg), 0)), L'\0');
        arg.buffer = s.data();
        SendMessageW(edit_, MPM_GETRANGETEXT, reinterpret_cast<WPARAM>(&arg), 0);
        return s;
    }
    std::wstring Selected() {
        HGLOBAL g = reinterpret_cast<HGLOBAL>(SendMessageW(edit_, MPM_GETSELTEXT, 0, 0));
        if (!g) return L"<none>";
        std::wstring s(static_cast<const wchar_t*>(GlobalLock(g)));
        GlobalUnlock(g);
        GlobalFree(g);
        return s;
    }
    // Screen point of a text position (the middle of the character cell).
    POINTL At(int col, int line) {
        POINT p = {2 + col * cw_ + 1, line * lh_ + lh_ / 2};
        ClientToScreen(edit_, &p);
        return {p.x, p.y};
    }
    // One whole drag over the control ending in a drop; returns the effect.
    DWORD DragAndDrop(IDataObject* data, POINTL at, DWORD keys, DWORD allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE) {
        DWORD effect = allowed;
        target_->DragEnter(data, keys, at, &effect);
        effect = allowed;
        target_->DragOver(keys, at, &effect);
        effect = allowed;
        target_->Drop(data, keys, at, &effect);
        return effect;
    }

    HWND edit_ = nullptr;
    HFONT font_ = nullptr;
    View* view_ = nullptr;
    IDropTarget* target_ = nullptr;
    int cw_ = 0, lh_ = 0;
};

}  // namespace

TEST_F(DragDrop, DroppingInsideTheOwnSelectionChangesNothing) {
    SetText(L"0123456789");
    SendMessageW(edit_, MPM_EMPTYUNDO, 0, 0);
    Select({0, 2}, {0, 6});
    IDataObject* data = CreateTextDataObject(L"2345");
    view_->SetOwnDrag(data);
    DragAndDrop(data, At(4, 0), 0);
    view_->SetOwnDrag(nullptr);
    data->Release();
    EXPECT_EQ(Text(), L"0123456789");
    EXPECT_EQ(SendMessageW(edit_, MPM_CANUNDO, 0, 0), 0);
}

TEST_F(DragDrop, MovingForwardWithinALineSelectsTheMovedText) {
    SetText(L"abcXYZdefgh");
    Select({0, 3}, {0, 6});
    IDataObject* data = CreateTextDataObject(L"XYZ");
    view_->SetOwnDrag(data);
    EXPECT_EQ(DragAndDrop(data, At(9, 0), 0), DWORD(DROPEFFECT_MOVE));
    view_->SetOwnDrag(nullptr);
    data->Release();
    EXPECT_EQ(Text(), L"abcdefXYZgh");
    EXPECT_EQ(Selected(), L"XYZ");
    SendMessageW(edit_, WM_COMMAND, ECMD_UNDO, 0);  // one undo step
    EXPECT_EQ(Text(), L"abcXYZdefgh");
}

TEST_F(DragDrop, MovingBackwardDeletesFirstThenInserts) {
    SetText(L"first\nsecond");
    Select({1, 0}, {1, 3});
    IDataObject* data = CreateTextDataObject(L"sec");
    view_->SetOwnDrag(data);
    DragAndDrop(data, At(0, 0), 0);
    view_->SetOwnDrag(nullptr);
    data->Release();
    EXPECT_EQ(Text(), L"secfirst\nond");
    EXPECT_EQ(Selected(), L"sec");
}

TEST_F(DragDrop, CtrlCopiesAndForeignDataIsInserted) {
    SetText(L"abcdef");
    Select({0, 0}, {0, 2});
    IDataObject* own = CreateTextDataObject(L"ab");
    view_->SetOwnDrag(own);
    EXPECT_EQ(DragAndDrop(own, At(4, 0), MK_CONTROL), DWORD(DROPEFFECT_COPY));
    view_->SetOwnDrag(nullptr);
    own->Release();
    EXPECT_EQ(Text(), L"abcdabef");
    IDataObject* foreign = CreateTextDataObject(L"<\r\n>");
    DragAndDrop(foreign, At(0, 0), 0, DROPEFFECT_COPY);
    foreign->Release();
    EXPECT_EQ(Text(), L"<\n>abcdabef");
    EXPECT_EQ(Selected(), L"<\r\n>");
}

// The keys held at the drop and the effects that the source allows decide
// what a drag of the own selection does: Ctrl copies, Shift moves, Ctrl and
// Shift link (the text is inserted, the source left alone), no key moves
// when the source allows it. What the source does not allow does nothing,
// and the source is told what happened, as is the pointer while dragging.
TEST_F(DragDrop, TheKeysAndTheAllowedEffectsDecideWhatADropDoes) {
    const DWORD copy = DROPEFFECT_COPY, move = DROPEFFECT_MOVE, link = DROPEFFECT_LINK;
    struct Case {
        DWORD keys;
        DWORD allowed;
        const wchar_t* text;  // after dropping "XY" (columns 3-5) at column 8
        DWORD told;
    };
    const Case cases[] = {
        {0, copy | move, L"abcdefXYgh", move},
        {0, copy, L"abcXYdefXYgh", copy},
        {0, link, L"abcXYdefXYgh", link},
        {0, copy | move | link, L"abcdefXYgh", move},
        {MK_CONTROL, copy | move, L"abcXYdefXYgh", copy},
        {MK_CONTROL, move, L"abcXYdefgh", DROPEFFECT_NONE},
        {MK_SHIFT, copy | move, L"abcdefXYgh", move},
        {MK_SHIFT, copy | link, L"abcXYdefgh", DROPEFFECT_NONE},
        {MK_CONTROL | MK_SHIFT, copy | move | link, L"abcXYdefXYgh", link},
        {MK_CONTROL | MK_SHIFT, copy | move, L"abcXYdefgh", DROPEFFECT_NONE},
        {0, DROPEFFECT_NONE, L"abcXYdefgh", DROPEFFECT_NONE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "keys " << c.keys << " allowed " << c.allowed);
        SetText(L"abcXYdefgh");
        SendMessageW(edit_, MPM_EMPTYUNDO, 0, 0);
        Select({0, 3}, {0, 5});
        IDataObject* data = CreateTextDataObject(L"XY");
        view_->SetOwnDrag(data);
        DWORD shown = c.allowed;
        target_->DragEnter(data, c.keys, At(8, 0), &shown);
        shown = c.allowed;
        target_->DragOver(c.keys, At(8, 0), &shown);
        EXPECT_EQ(shown, c.told) << "the pointer while dragging";
        DWORD told = c.allowed;
        target_->Drop(data, c.keys, At(8, 0), &told);
        view_->SetOwnDrag(nullptr);
        data->Release();
        EXPECT_EQ(Text(), c.text);
        EXPECT_EQ(told, c.told);
        if (told == DROPEFFECT_NONE) {
            EXPECT_EQ(SendMessageW(edit_, MPM_CANUNDO, 0, 0), 0);
        } else {
            EXPECT_EQ(Selected(), L"XY") << "the dropped text is selected";
            SendMessageW(edit_, WM_COMMAND, ECMD_UNDO, 0);  // one step
            EXPECT_EQ(Text(), L"abcXYdefgh");
        }
        // Clear the text for the next case.
        Select({0, 0}, {0, 99});
        SendMessageW(edit_, WM_COMMAND, ECMD_DELETE, 0);
    }
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
