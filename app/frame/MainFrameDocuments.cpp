#include "MainFrameParts.h"

namespace shell {

// ---------------------------------------------------------------------------
// Documents

size_t CMainFrame::IndexOf(HWND document) const {
    const auto it = std::find(documents_.begin(), documents_.end(), document);
    return it == documents_.end() ? size_t(-1) : size_t(it - documents_.begin());
}

HWND CMainFrame::ActivePane() const {
    IView* view = documents::ViewOf(ActiveDocument());
    return view ? view->GetActivePane() : nullptr;
}

HWND CMainFrame::NewDocument(bool defaults, bool activate, int viewType) {
    documents::CSplitTextView* doc =
        documents::CSplitTextView::Create(Window(), Window(), this, this, editLibrary_, viewType);
    startup::Mark("document window");
    if (!doc) return nullptr;
    const HWND hwnd = doc->Window();
    documents_.push_back(hwnd);
    const std::wstring title = FileNamePart(WindowText(hwnd));
    tabTitles_[hwnd] = title;
    if (tabs_) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(title.c_str());
        item.lParam = reinterpret_cast<LPARAM>(hwnd);
        item.iImage = 0;
        SendMessageW(tabs_, TCM_INSERTITEMW, WPARAM(documents_.size() - 1), reinterpret_cast<LPARAM>(&item));
    }
    if (defaults) {
        const HWND pane = doc->ActivePane();
        SendMessageW(
            pane, MPM_CODEPAGE,
            WPARAM(settings::ReadClampedInt(settings::File::Setting, L"Setting", L"DefaultEncoding")), 0);
        SendMessageW(
            pane, MPM_LINEBREAKTYPE,
            WPARAM(settings::ReadClampedInt(settings::File::Setting, L"Setting", L"DefaultFileFormat")), 0);
        SendMessageW(pane, MPM_EMPTYUNDO, 0, 0);
    }
    startup::Mark("document: tab, defaults");
    if (activate) Activate(documents_.size() - 1);
    return hwnd;
}

// A new document of a syntax definition's type: its lexer, and its template
// when it has one.
HWND CMainFrame::NewFromEntry(int index) {
    const syntax::SyntaxEntry* entry = syntax::Entry(index);
    if (!entry) return nullptr;
    const HWND doc = NewDocument(true);
    if (!doc) return nullptr;
    const documents::TemplateEntry request = {entry->title.c_str(), entry->templateFile.c_str()};
    SendMessageW(doc, MPD_NEW_FROM_TEMPLATE, reinterpret_cast<WPARAM>(&request), 0);
    SendMessageW(doc, MPD_UPDATE, 0, 0);
    return doc;
}

// One entry per syntax definition, at the cursor.
void CMainFrame::ShowTemplateMenu() {
    HMENU popup = CreatePopupMenu();
    if (!popup) return;
    const int count = std::min(syntax::EntryCount(), int(ID_TEMPLATE_LAST - ID_TEMPLATE_FIRST + 1));
    for (int i = 0; i < count; ++i)
        AppendMenuW(popup, MF_STRING, ID_TEMPLATE_FIRST + UINT(i), syntax::Entry(i)->title.c_str());
    if (count == 0) AppendMenuW(popup, MF_STRING | MF_GRAYED, ID_TEMPLATE_FIRST, L"(none)");
    POINT at = {};
    GetCursorPos(&at);
    const UINT chosen =
        UINT(TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, Window(), nullptr));
    DestroyMenu(popup);
    // As a command, so that the recorder and listeners see it.
    if (chosen >= ID_TEMPLATE_FIRST && chosen < ID_TEMPLATE_FIRST + UINT(count))
        SendMessageW(Window(), WM_COMMAND, chosen, 0);
}

// The documents let go of their lexers, the list is read again and each
// takes its syntax back by name (or by its file's extension).
void CMainFrame::ReloadSyntax() {
    // A copy: a message box of a failing script lets other messages in.
    const std::vector<HWND> docs = documents_;
    for (HWND doc : docs) SendMessageW(doc, MPD_REMEMBER_SYNTAX, 0, 0);
    if (HWND output = OutputWindow()) SendMessageW(output, MPD_REMEMBER_SYNTAX, 0, 0);
    syntax::Reload();
    for (HWND doc : docs)
        if (IsWindow(doc)) SendMessageW(doc, MPD_APPLY_SYNTAX, 0, 0);
    if (HWND output = OutputWindow()) SendMessageW(output, MPD_APPLY_SYNTAX, 0, 0);
    if (HWND doc = ActiveDocument()) SendMessageW(doc, MPD_UPDATE, 0, 0);
}

HWND CMainFrame::OpenDocument(const std::wstring& given, const documents::OpenRequest* request,
                              int viewType) {
    if (given.empty()) return nullptr;
    // Known by its full path: a relative name means the current folder now,
    // not whatever folder is current when the document is saved.
    const std::wstring path = FullPath(given);
    for (size_t i = 0; i < documents_.size(); ++i) {
        if (documents::HasFile(documents_[i]) && SameAsciiPath(WindowText(documents_[i]), path)) {
            Activate(i);
            return documents_[i];
        }
    }
    // The new window becomes the active tab only once its file is open, so
    // that the title and the tabs never show a document that fails to open.
    const HWND doc = NewDocument(false, false, viewType);
    if (!doc) return nullptr;
    if (IView* view = documents::ViewOf(doc)) RecoverInterruptedSaves(view->GetActivePane(), path);
    if (!SendMessageW(doc, MPD_OPEN, reinterpret_cast<WPARAM>(path.c_str()),
                      reinterpret_cast<LPARAM>(request))) {
        RemoveDocument(doc);
        DestroyWindow(doc);
        return nullptr;
    }
    if (!(request && request->internalFile)) AddRecent(WindowText(doc));
    tabTitles_[doc] = FileNamePart(WindowText(doc));
    if (tabs_) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(tabTitles_[doc].c_str());
        SendMessageW(tabs_, TCM_SETITEMW, WPARAM(IndexOf(doc)), reinterpret_cast<LPARAM>(&item));
    }
    Activate(IndexOf(doc));
    SetFocus(doc);
    SendMessageW(doc, MPD_UPDATE, 0, 0);
    return doc;
}

void CMainFrame::RecoverInterruptedSaves(HWND pane, const std::wstring& path) {
    if (!pane) return;
    if (!leftoversSought_) {
        leftoversSought_ = true;
        if (SendMessageW(pane, MPM_RECOVERFILE, 0, 0) & kRecoveredFile) {
            static const wchar_t kLine[] =
                L"A file that was being saved when Morrowpad last ended was put back as it was before that "
                L"save.\n";
            AppendOutput(kLine, -1);
        }
    }
    if (path.empty()) return;
    if (SendMessageW(pane, MPM_RECOVERFILE, reinterpret_cast<WPARAM>(path.c_str()), 0) & kRecoveredFile) {
        const std::wstring line =
            path + L": put back from what a save that was interrupted left beside it.\n";
        AppendOutput(line.c_str(), -1);
    }
}

void CMainFrame::Activate(size_t index) {
    if (index >= documents_.size()) return;
    // What the status bar said was about the document left (a search's
    // result, a refused edit); a running macro's message stays.
    if (documents_[index] != shownDocument_ && !automation::RunningMacros()) SetStatusMessage(L"");
    shownDocument_ = documents_[index];
    active_ = index;
    if (tabs_) SendMessageW(tabs_, TCM_SETCURSEL, WPARAM(index), 0);
    ShowDocument(index);
    UpdateTitle();
    PostMessageW(Window(), MPF_CHECK_FILES, reinterpret_cast<WPARAM>(documents_[index]), 0);
    // The next idle pass shows this document's states, also when nothing
    // else reaches the queue (a hand-over is a sent message).
    PostMessageW(Window(), MPF_UPDATE_UI, 0, 0);
}

HWND CMainFrame::OutputWindow() const { return output_ ? output_->Window() : nullptr; }

// Made and docked at the bottom on first use; after that a hidden window is
// docked again with the focus, a visible one hidden with the focus going to
// the frame (and so to the active document).
// The program's own showing of the output window: not a command, so that
// the macro recorder and plug-ins' listeners do not take it for the user's.
void CMainFrame::ShowOutput() {
    const HWND output = OutputWindow();
    if (!output || !docking_.IsVisible(output)) ToggleOutput();
}

void CMainFrame::ToggleOutput() {
    HWND output = OutputWindow();
    if (!output) {
        if (!docking_.Window()) return;
        output_ = std::make_unique<COutputWindow>();
        output = output_->Create(docking_.Window(), editLibrary_, this);
        if (!output || !docking_.DockPane(output, L"Output")) {
            output_.reset();
            return;
        }
        Layout();
        return;
    }
    if (docking_.IsVisible(output)) {
        docking_.HidePane(output);
        SetFocus(Window());
    } else {
        docking_.DockPane(output, nullptr);
        SetFocus(output);
    }
    Layout();
}

void CMainFrame::ShowDocument(size_t index) {
    for (size_t i = 0; i < documents_.size(); ++i)
        if (i != index) ShowWindow(documents_[i], SW_HIDE);
    if (index < documents_.size()) {
        Layout();
        ShowWindow(documents_[index], SW_SHOW);
        if (IsWindowVisible(Window()) && GetForegroundWindow() == Window()) SetFocus(documents_[index]);
    }
}

void CMainFrame::RemoveDocument(HWND document) {
    const size_t i = IndexOf(document);
    if (i == size_t(-1)) return;
    documents_.erase(documents_.begin() + ptrdiff_t(i));
    tabTitles_.erase(document);
    if (tabs_) SendMessageW(tabs_, TCM_DELETEITEM, WPARAM(i), 0);
    if (i < active_)
        --active_;
    else if (active_ >= documents_.size())
        active_ = documents_.empty() ? 0 : documents_.size() - 1;
}

// Asks the document; false when it cancelled. `answer` gets its answer.
bool CMainFrame::CloseDocument(size_t index, int* answer) {
    const HWND doc = documents_[index];
    *answer = int(SendMessageW(doc, WM_COMMAND, ID_FILE_CLOSE, 0));
    if (*answer == IDCANCEL) return false;
    SendMessageW(doc, WM_CLOSE, 0, 0);
    if (!IsWindow(doc)) RemoveDocument(doc);
    return true;
}

void CMainFrame::CloseActive() {
    if (documents_.empty()) {
        NewDocument(false);
        return;
    }
    int answer = 0;
    if (!CloseDocument(active_, &answer)) return;
    if (documents_.empty()) {
        NewDocument(false);
        return;
    }
    Activate(std::min(active_, documents_.size() - 1));
}

int CMainFrame::CloseAll(bool exceptActive) {
    if (documents_.empty()) return exceptActive ? 1 : IDNO;
    const HWND keep = exceptActive ? ActiveDocument() : nullptr;
    // Every document is asked first, each shown while it is asked; only when
    // none cancelled do they close, so that a Cancel keeps all of them open.
    int answer = IDNO;
    std::vector<HWND> closing;
    for (size_t i = documents_.size(); i-- > 0;) {
        const HWND doc = documents_[i];
        if (doc == keep) continue;
        IView* view = documents::ViewOf(doc);
        if (view && view->IsModified() && i != active_) Activate(i);
        answer = int(SendMessageW(doc, WM_COMMAND, ID_FILE_CLOSE, 0));
        if (answer == IDCANCEL) {
            if (exceptActive) return 1;
            Activate(IndexOf(doc));  // the one that cancelled: it holds what the user kept
            return IDCANCEL;
        }
        closing.push_back(doc);
    }
    for (HWND doc : closing) {
        SendMessageW(doc, WM_CLOSE, 0, 0);
        if (!IsWindow(doc)) RemoveDocument(doc);
    }
    if (!documents_.empty()) Activate(keep ? IndexOf(keep) : std::min(active_, documents_.size() - 1));
    return exceptActive ? 1 : answer;
}

void CMainFrame::OnSetTab(HWND document, const void* record) {
    const size_t i = IndexOf(document);
    if (i == size_t(-1) || !record) return;
    const auto* tab = static_cast<const documents::DocumentTab*>(record);
    std::wstring title = tab->title ? tab->title : L"";
    tabTitles_[document] = title;
    if (tabs_) {
        if (!settings::ReadKeyBool(settings::File::Setting, L"Tab", L"ShowMark") && title.size() >= 2 &&
            title.compare(title.size() - 2, 2, L" *") == 0)
            title.resize(title.size() - 2);
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(title.c_str());
        item.iImage = tab->state >= 0 && tab->state <= 3 ? tab->state : 0;
        SendMessageW(tabs_, TCM_SETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    if (i == active_) UpdateTitle();
}

void CMainFrame::UpdateTitle() {
    const HWND doc = ActiveDocument();
    std::wstring title = MORROWPAD_CAPTION;
    if (doc) {
        const auto it = tabTitles_.find(doc);
        const std::wstring name = it != tabTitles_.end() ? it->second : FileNamePart(WindowText(doc));
        title = name + L" - " + MORROWPAD_CAPTION;
    }
    if (WindowText(Window()) != title) SetWindowTextW(Window(), title.c_str());
}

void CMainFrame::OnNotify(NMHDR* header, LRESULT* result, bool* handled) {
    *handled = false;
    if (!header) return;
    if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
        const LRESULT sel = SendMessageW(tabs_, TCM_GETCURSEL, 0, 0);
        if (sel >= 0) Activate(size_t(sel));
        *handled = true;
        return;
    }
    if (header->hwndFrom == tabs_ && header->code == NM_RCLICK) {
        POINT pt;
        GetCursorPos(&pt);
        TCHITTESTINFO hit = {pt, 0};
        ScreenToClient(tabs_, &hit.pt);
        const LRESULT i = SendMessageW(tabs_, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (i >= 0) Activate(size_t(i));
        if (HMENU menu = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDM_PANE_CONTEXT))) {
            TrackMenu(GetSubMenu(menu, 0), pt.x, pt.y, TRUE);
            DestroyMenu(menu);
        }
        *handled = true;
        *result = 1;
        return;
    }
    if (header->code == EN_MP_PROGRESS && IsChild(Window(), header->hwndFrom)) {
        // An undo or redo of a large group: its progress, and Esc stops it.
        const auto* progress = reinterpret_cast<const ProgressNotify*>(header);
        *handled = true;
        *result = 0;
        const bool edit = progress->kind == 1;
        if (progress->done < 0) {
            const bool stopped = replayWork_ && replayWork_->Stopped();
            replayWork_.reset();
            if (stopped) SetStatusMessage(LanguageString(edit ? IDS_EDIT_STOPPED : IDS_UNDO_STOPPED));
            return;
        }
        if (!replayWork_)
            replayWork_ =
                std::make_unique<CLongWork>([this](const std::wstring& text) { SetStatusMessage(text); },
                                            edit ? IDS_PROGRESS_EDITING : IDS_PROGRESS_UNDOING);
        *result = replayWork_->Tick(progress->done, progress->total) ? 0 : 1;
        return;
    }
    if (header->code == EN_MP_READONLY && IsChild(Window(), header->hwndFrom)) {
        SetStatusMessage(LanguageString(IDS_DOCUMENT_READ_ONLY));
        *handled = true;
        return;
    }
    if (header->hwndFrom == statusBar_ && header->code == NM_CLICK) {
        const auto* mouse = reinterpret_cast<NMMOUSE*>(header);
        if (mouse->dwItemSpec < statusPanes_.size())
            PostMessageW(Window(), WM_COMMAND, MAKEWPARAM(ID_STATUS_PANE, statusPanes_[mouse->dwItemSpec]),
                         reinterpret_cast<LPARAM>(statusBar_));
        *handled = true;
        return;
    }
    if (header->code == TTN_GETDISPINFOW && toolBar_) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        const UINT id = UINT(header->idFrom);
        if (SendMessageW(toolBar_, TB_COMMANDTOINDEX, id, 0) >= 0 && menu_) {
            static wchar_t text[128];
            text[0] = 0;
            GetMenuStringW(menu_, id, text, 128, MF_BYCOMMAND);
            std::wstring clean;
            for (const wchar_t* p = text; *p && *p != L'\t'; ++p)
                if (*p != L'&') clean += *p;
            while (!clean.empty() && clean.back() == L'.') clean.pop_back();
            wcsncpy(text, clean.c_str(), 127);
            text[127] = 0;
            info->lpszText = text;
            *handled = true;
        }
    }
}

// ---------------------------------------------------------------------------
// Recent documents

HMENU CMainFrame::RecentMenu() const {
    if (!menu_) return nullptr;
    HMENU file = GetSubMenu(menu_, MENU_FILE);
    if (!file) return nullptr;
    // Item 7 of the File menu; the tear-off strip, once inserted, moves it by one.
    const int offset = GetMenuItemID(file, 0) == ID_TEAR_OFF ? 1 : 0;
    return GetSubMenu(file, MENU_FILE_RECENT_ITEM + offset);
}

void CMainFrame::RebuildRecentMenu() { recent_.FillMenu(RecentMenu(), recentPlaceholder_); }

void CMainFrame::AddRecent(const std::wstring& path) {
    if (!recent_.Add(path)) return;
    recent_.Save();
    RebuildRecentMenu();
}

void CMainFrame::OpenRecent(size_t k) {
    const std::wstring* entry = recent_.Newest(k);
    if (!entry) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    const std::wstring path = *entry;
    if (!OpenDocument(path)) {
        recent_.RemoveNewest(k);
        recent_.Save();
        RebuildRecentMenu();
    }
}

void CMainFrame::RebuildFontMenu() {
    if (!menu_) return;
    for (int slot = ID_FONT_FIRST; slot <= ID_FONT_LAST; ++slot) {
        const settings::FontSpec f = settings::ReadFontSlot(slot);
        const int n = slot - ID_FONT_FIRST + 1;
        std::wstring label = (n < 10 ? L"&" + std::to_wstring(n) : L"1&0") + L"  " + f.face + L", " +
                             std::to_wstring(f.size) + (f.bold ? L", bold" : L"");
        ModifyMenuW(menu_, UINT(slot), MF_BYCOMMAND | MF_STRING, UINT(slot), label.c_str());
    }
}

// ---------------------------------------------------------------------------
// Messages from outside

LRESULT CMainFrame::OnCopyData(const COPYDATASTRUCT* record) {
    if (!record) return 0;
    if (record->dwData != MORROWPAD_HANDOVER_TAG) {
        MessageBeep(0xFFFFFFFF);
        return 0;
    }
    const std::optional<std::wstring> line = ReadHandOver(record);
    if (!line) return 0;
    if (IsIconic(Window())) ShowWindow(Window(), SW_RESTORE);
    if (const std::optional<std::wstring> file = FileArgument(*line)) OpenDocument(*file);
    return 0;
}

void CMainFrame::OnDropFiles(HDROP drop) {
    const UINT count = sys::DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = sys::DragQueryFile(drop, i, nullptr, 0);
        std::wstring path(size_t(length) + 1, L'\0');
        path.resize(sys::DragQueryFile(drop, i, path.data(), length + 1));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (!path.empty() &&
            (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
            paths.push_back(path);
    }
    sys::DragFinish(drop);
    for (const std::wstring& p : paths) OpenDocument(p);
}

void CMainFrame::OnClose() {
    // A macro still uses the documents: it stops, then the close happens.
    if (automation::RunningMacros()) {
        closePending_ = true;
        automation::StopMacros();
        return;
    }
    if (CloseAll(false) == IDCANCEL) return;
    SavePlacement(Window());
    settings::WriteBool(settings::File::Setting, L"Setting", L"ToolBar", BarVisible(toolBar_));
    settings::WriteBool(settings::File::Setting, L"Setting", L"StatusBar", BarVisible(statusBar_));
    DestroyWindow(Window());
}

void CMainFrame::CheckFiles(HWND only) {
    if (checkingFiles_ || creating_ || !IsWindowEnabled(Window())) return;
    // A macro holds one undo step open and may have inserts on their way: a
    // reload would come between them; the next look after it takes the change.
    if (automation::RunningMacros() > 0) return;
    if (!settings::ReadKeyBool(settings::File::Setting, L"Setting", L"DetectChanges")) return;
    checkingFiles_ = true;
    const HWND active = ActiveDocument();
    const std::vector<HWND> docs = documents_;  // a reload or a box lets other messages in
    for (HWND doc : docs) {
        if ((only && doc != only) || !IsWindow(doc)) continue;
        SendMessageW(doc, MPD_CHECK_FILE, doc == active && appActive_ ? 1 : 0, 0);
    }
    checkingFiles_ = false;
}

void CMainFrame::OnActivateApp(bool active) {
    appActive_ = active;
    if (!active) {
        HWND focus = GetFocus();
        if (!focus) focus = GetActiveWindow();
        HWND top = focus ? GetAncestor(focus, GA_ROOT) : nullptr;
        const bool ours = top == Window() || (top && GetWindow(top, GW_OWNER) == Window());
        lastFocus_ = ours ? focus : nullptr;
        return;
    }
    if (lastFocus_ && IsWindow(lastFocus_)) SetFocus(lastFocus_);
    const std::vector<HWND> docs = documents_;
    for (size_t i = docs.size(); i-- > 0;)
        if (IsWindow(docs[i])) SendMessageW(docs[i], WM_ACTIVATEAPP, TRUE, 0);
    PostMessageW(Window(), MPF_CHECK_FILES, 0, 0);
}

void CMainFrame::OnInitMenuPopup(HMENU popup, bool systemMenu) {
    if (systemMenu || !popup) return;
    if (GetMenuItemCount(popup) > 0 && GetMenuItemID(popup, 0) != ID_TEAR_OFF && tearOffBitmap_) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_BITMAP | MIIM_FTYPE;
        item.fType = MFT_STRING;
        item.wID = ID_TEAR_OFF;
        item.hbmpItem = tearOffBitmap_.get();
        InsertMenuItemW(popup, 0, TRUE, &item);
    }
    if (!macroMenuFilled_ && popup == MacroMenu()) FillMacroMenu();
    states_.ApplyToMenu(popup);
}

}  // namespace shell
