#include "MainFrameParts.h"

namespace shell {

// ---------------------------------------------------------------------------
// Creation and destruction

LRESULT CMainFrame::OnCreate() {
    startup::Mark("WM_CREATE");
    creating_ = true;
    // The panes' "More..." code-page entry opens the code-page dialog.
    documents::SetChooseCodePage(&documents::ChooseCodePage);
    menu_ = LoadMenuW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SetMenu(Window(), nullptr);
    startup::Mark("menu loaded");
    CreateBars();
    startup::Mark("rebar, command bar, tool bar");
    CreateStatusBar();
    startup::Mark("status bar");
    docking_.Create(Window());
    startup::Mark("docking");
    CreateTabs();
    startup::Mark("tabs");
    if (HFONT font = InterfaceFont()) {
        if (statusBar_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (tabs_) SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    FillCommandStates();
    statesReady_ = true;
    startup::Mark("command states");
    // Recent list, then the first document, so that it is recorded too.
    if (HMENU recent = RecentMenu()) {
        wchar_t text[256] = {};
        GetMenuStringW(recent, ID_RECENT_FIRST, text, 256, MF_BYCOMMAND);
        recentPlaceholder_ = text;
    }
    recent_.Load();
    RebuildRecentMenu();
    startup::Mark("recent list");
    const std::optional<std::wstring> file = FileArgument(commandLine_);
    if (!file || !OpenDocument(*file)) SendMessageW(Window(), WM_COMMAND, ID_FILE_NEW, 0);
    startup::Mark("first document");
    // Accepting dropped files is this style (the shell's call only sets it).
    SetWindowLongPtrW(Window(), GWL_EXSTYLE, GetWindowLongPtrW(Window(), GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    loop_ = MessageLoopOfThread();
    if (loop_) {
        loop_->AddMessageFilter(this);
        loop_->AddIdleHandler(this);
    }
    RebuildFontMenu();
    startup::Mark("font menu");
    CreateToolRunner();
    startup::Mark("tool runner");
    ShowBar(toolBar_, settings::ReadKeyBool(settings::File::Setting, L"Setting", L"ToolBar"));
    ShowBar(statusBar_, settings::ReadKeyBool(settings::File::Setting, L"Setting", L"StatusBar"));
    keys_.Load(settings::PathOf(settings::File::Key));
    SetTimer(Window(), kFileCheckTimer, kFileCheckMs, nullptr);
    startup::Mark("bars shown, keys");
    creating_ = false;
    Layout();
    RECT client = {};
    GetClientRect(Window(), &client);
    createdLayout_ = {client.right, client.bottom};
    startup::Mark("layout");
    // The states the first idle pass would give, while nothing is shown:
    // the bars' first paint shows them, and none is painted twice.
    UpdateCommandStates();
    startup::Mark("command states shown");
    // In the program, what can wait follows the first paint (the first idle
    // pass posts it); a frame without a message loop (a test's) does it now.
    if (loop_)
        afterFirstPaint_ = true;
    else
        AfterFirstPaint();
    return 0;
}

void CMainFrame::CreateBars() {
    rebar_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                 RBS_BANDBORDERS | RBS_AUTOSIZE | CCS_NODIVIDER | CCS_TOP,
                             0, 0, 0, 0, Window(), reinterpret_cast<HMENU>(kRebarId),
                             GetModuleHandleW(nullptr), nullptr);
    startup::Mark("rebar");
    if (!rebar_) return;
    REBARINFO info = {};
    info.cbSize = sizeof info;
    SendMessageW(rebar_, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    // The font first: the buttons are then made once, in it.
    if (HFONT font = InterfaceFont()) commandBar_.SetFont(font);
    if (menu_ && commandBar_.Create(rebar_, Window(), menu_)) {
        const SIZE size = commandBar_.IdealSize();
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_IDEALSIZE | RBBIM_SIZE;
        band.fStyle = RBBS_NOGRIPPER | RBBS_BREAK;
        band.hwndChild = commandBar_.Window();
        band.cxMinChild = 0;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        band.cx = size.cx;
        SendMessageW(rebar_, RB_INSERTBANDW, WPARAM(-1), reinterpret_cast<LPARAM>(&band));
    }
    startup::Mark("command bar");
    toolBar_ = CreateToolBarFromResource(rebar_, GetModuleHandleW(nullptr), IDR_MAIN_TOOLBAR, IDB_TOOLBAR,
                                         kToolBarId);
    if (toolBar_) {
        SIZE size = {};
        SendMessageW(toolBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_IDEALSIZE | RBBIM_SIZE;
        band.fStyle = RBBS_NOGRIPPER | RBBS_BREAK;
        band.hwndChild = toolBar_;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        band.cx = size.cx;
        SendMessageW(rebar_, RB_INSERTBANDW, WPARAM(-1), reinterpret_cast<LPARAM>(&band));
    }
    tearOffBitmap_.reset(LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_TEAR_OFF)));
}

void CMainFrame::CreateStatusBar() {
    statusBar_ = CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBARS_SIZEGRIP, 0, 0, 0, 0,
        Window(), reinterpret_cast<HMENU>(kStatusId), GetModuleHandleW(nullptr), nullptr);
    if (!statusBar_) return;
    if (HFONT font = InterfaceFont())
        SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // A new bar shows nothing yet: the panes must not think it shows their texts.
    documents::CTextView::ForgetStatusTexts();
    statusPanes_ = kStatusOrder;
    SizeStatusBar();
}

// The parts and their icons at the frame's resolution and the bar's font.
void CMainFrame::SizeStatusBar() {
    if (!statusBar_) return;
    // Each pane but the first is as wide as its sample text (strings 1-10).
    std::vector<int> widths;
    {  // measured in the bar's font; the DC goes before the parts are set
        const CWindowDc barDc(statusBar_);
        const HDC dc = barDc.get();
        const CSelectScope font(dc, reinterpret_cast<HFONT>(SendMessageW(statusBar_, WM_GETFONT, 0, 0)));
        int borders[3] = {};
        SendMessageW(statusBar_, SB_GETBORDERS, 0, reinterpret_cast<LPARAM>(borders));
        for (size_t i = 1; i < statusPanes_.size(); ++i) {
            std::wstring sample = LanguageString(statusPanes_[i]);
            if (sample.empty()) sample = L"00000000";
            SIZE size = {};
            GetTextExtentPoint32W(dc, sample.c_str(), int(sample.size()), &size);
            const UINT pane = statusPanes_[i];
            const bool icon = pane == 10 || pane == 9 || pane == 7 || pane == 5;
            widths.push_back(size.cx + borders[2] + dpi::Scale(Window(), 6) +
                             (icon ? dpi::Scale(Window(), 20) : 0));
        }
    }
    RECT rc = {};
    GetClientRect(Window(), &rc);
    std::vector<int> rights(statusPanes_.size());
    int right = -1;
    rights.back() = right;
    // Parts are given by their right edges: the message pane takes what is left.
    int total = 0;
    for (int w : widths) total += w;
    // The system's metric is at the system's resolution.
    const int grip = MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi::Of(Window()), dpi::Of(nullptr));
    int x = std::max<int>(dpi::Scale(Window(), 100), rc.right - total - grip);
    rights[0] = x;
    for (size_t i = 1; i < statusPanes_.size(); ++i) {
        x += widths[i - 1];
        rights[i] = i + 1 == statusPanes_.size() ? -1 : x;
    }
    SendMessageW(statusBar_, SB_SETPARTS, WPARAM(rights.size()), reinterpret_cast<LPARAM>(rights.data()));
    // The syntax and tab panes, and the panes that open a menu, carry icons,
    // loaded at their size (a shared icon keeps the size it was first
    // loaded at) and kept until the next ones are set.
    HINSTANCE exe = GetModuleHandleW(nullptr);
    auto icon = [&](int id, int cx, int cy) {
        return static_cast<HICON>(LoadImageW(exe, MAKEINTRESOURCEW(id), IMAGE_ICON, dpi::Scale(Window(), cx),
                                             dpi::Scale(Window(), cy), 0));
    };
    std::vector<HICON> previous;
    previous.swap(statusIcons_);
    for (size_t part = 0; part < statusPanes_.size(); ++part) {
        HICON h = nullptr;
        switch (statusPanes_[part]) {
            case 10: h = icon(IDI_PANE_SYNTAX, 16, 16); break;
            case 9: h = icon(IDI_PANE_TABS, 16, 16); break;
            case 7:
            case 5: h = icon(IDI_PANE_MENU, 9, 16); break;
        }
        if (h) {
            SendMessageW(statusBar_, SB_SETICON, WPARAM(part), reinterpret_cast<LPARAM>(h));
            statusIcons_.push_back(h);
        }
    }
    for (HICON h : previous) DestroyIcon(h);
}

// Moved to a monitor of another resolution (after the children heard it):
// the interface font made anew at the new resolution and given to the bars,
// the tab images and spacing, the status bar's parts and icons.
void CMainFrame::OnDpiChanged() {
    if (HIMAGELIST images = MakeTabImages(dpi::Of(Window()))) {
        if (tabs_ && SendMessageW(tabs_, TCM_GETIMAGELIST, 0, 0))
            SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        if (tabImages_) ImageList_Destroy(tabImages_);
        tabImages_ = images;
    }
    SizeTabs();
    ApplyInterfaceFont();
    SizeStatusBar();
    if (statusBar_) SendMessageW(statusBar_, WM_SIZE, 0, 0);
}

namespace {

// The tab strip's look from section Tab.
DWORD TabStyle(bool* icons) {
    using settings::File;
    DWORD s = 0;
    if (settings::ReadKeyBool(File::Setting, L"Tab", L"Bottom")) s |= TCS_BOTTOM;
    if (settings::ReadKeyBool(File::Setting, L"Tab", L"FixedWidth")) s |= TCS_FIXEDWIDTH;
    const int style = settings::ReadClampedInt(File::Setting, L"Tab", L"Style");
    if (style == 1) s |= TCS_BUTTONS;
    if (style >= 2) s |= TCS_BUTTONS | TCS_FLATBUTTONS;
    *icons = settings::ReadKeyBool(File::Setting, L"Tab", L"ShowIcon");
    return s;
}

}  // namespace

void CMainFrame::CreateTabs() {
    if (!tabImages_) tabImages_ = MakeTabImages(dpi::Of(Window()));
    startup::Mark("tab images");
    bool icons = true;
    const DWORD style = TabStyle(&icons);
    HWND tabs =
        CreateWindowExW(0, WC_TABCONTROLW, nullptr,
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_FOCUSNEVER | TCS_TOOLTIPS | style, 0, 0,
                        0, 0, Window(), reinterpret_cast<HMENU>(kTabsId), GetModuleHandleW(nullptr), nullptr);
    if (!tabs) return;
    // A strip made anew (its look changed) takes over the tabs of the old one.
    if (tabs_) {
        const int n = int(SendMessageW(tabs_, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            wchar_t text[512] = {};
            TCITEMW item = {};
            item.mask = TCIF_TEXT | TCIF_PARAM | TCIF_IMAGE;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(tabs_, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
            SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        }
        SendMessageW(tabs, TCM_SETCURSEL, SendMessageW(tabs_, TCM_GETCURSEL, 0, 0), 0);
        DestroyWindow(tabs_);
    }
    tabs_ = tabs;
    tabStyle_ = style;
    if (interfaceFont_.get())
        SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(interfaceFont_.get()), FALSE);
    SizeTabs();
    SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons ? tabImages_ : nullptr));
    // Below the document windows.
    SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// The tabs' padding and fixed width at the frame's resolution.
void CMainFrame::SizeTabs() {
    if (!tabs_) return;
    SendMessageW(tabs_, TCM_SETPADDING, 0, MAKELPARAM(dpi::Scale(Window(), 10), dpi::Scale(Window(), 3)));
    if (tabStyle_ & TCS_FIXEDWIDTH)
        SendMessageW(tabs_, TCM_SETITEMSIZE, 0, MAKELPARAM(dpi::Scale(Window(), 140), 0));
}

void CMainFrame::ApplyTabSettings() {
    if (!tabs_) return;
    bool icons = true;
    if (TabStyle(&icons) != tabStyle_) {
        CreateTabs();  // the tab control takes its look only when it is made
    } else {
        SendMessageW(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons ? tabImages_ : nullptr));
    }
    for (size_t i = 0; i < documents_.size(); ++i) {
        const auto it = tabTitles_.find(documents_[i]);
        if (it == tabTitles_.end()) continue;
        std::wstring title = it->second;
        if (!settings::ReadKeyBool(settings::File::Setting, L"Tab", L"ShowMark") && title.size() >= 2 &&
            title.compare(title.size() - 2, 2, L" *") == 0)
            title.resize(title.size() - 2);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        SendMessageW(tabs_, TCM_SETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    }
    Layout();
}

// The font of slot 1442, made once until it changes.
HFONT CMainFrame::InterfaceFont() {
    if (!interfaceFont_.get()) interfaceFont_.reset(settings::CreateSlotFont(ID_FONT_INTERFACE, Window()));
    return interfaceFont_.get();
}

void CMainFrame::ApplyInterfaceFont() {
    HFONT font = settings::CreateSlotFont(ID_FONT_INTERFACE, Window());
    if (!font) return;
    if (commandBar_.Window()) commandBar_.SetFont(font);
    if (statusBar_) SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (tabs_) SendMessageW(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    for (auto& [menu, panel] : tearOffs_)
        if (panel->Window()) panel->SetFont(font);
    interfaceFont_.reset(font);  // the old one only once nothing uses it
    if (rebar_ && commandBar_.Window()) {
        const SIZE size = commandBar_.IdealSize();
        REBARBANDINFOW band = {};
        band.cbSize = sizeof band;
        band.fMask = RBBIM_CHILDSIZE | RBBIM_IDEALSIZE;
        band.cyMinChild = size.cy;
        band.cxIdeal = size.cx;
        const LRESULT index = SendMessageW(rebar_, RB_IDTOINDEX, 0, 0);
        SendMessageW(rebar_, RB_SETBANDINFOW, WPARAM(index < 0 ? 0 : index), reinterpret_cast<LPARAM>(&band));
    }
    Layout();
}

// Every command of the menu and the tool bar, and the status-bar panes.
void CMainFrame::FillCommandStates() {
    struct Walk {
        static void Menu(CCommandStateTable& t, HMENU menu) {
            const int n = GetMenuItemCount(menu);
            for (int i = 0; i < n; ++i) {
                if (HMENU sub = GetSubMenu(menu, i)) {
                    Menu(t, sub);
                    continue;
                }
                const UINT id = GetMenuItemID(menu, i);
                if (id && id != UINT(-1) && !IsListEntry(id)) t.Add(id, UPDUI_MENUPOPUP);
            }
        }
    };
    if (menu_) Walk::Menu(states_, menu_);
    for (UINT id = ID_FONT_FIRST; id <= ID_FONT_LAST; ++id) states_.Add(id, UPDUI_MENUPOPUP);
    if (toolBar_) {
        const int n = int(SendMessageW(toolBar_, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) {
            TBBUTTON b = {};
            if (!SendMessageW(toolBar_, TB_GETBUTTON, WPARAM(i), reinterpret_cast<LPARAM>(&b)) ||
                !b.idCommand)
                continue;
            if (!states_.Add(UINT(b.idCommand), UPDUI_MENUPOPUP | UPDUI_TOOLBAR)) {
                const auto* s = states_.Find(UINT(b.idCommand));
                states_.Remove(UINT(b.idCommand));
                states_.Add(UINT(b.idCommand), (s ? UINT(UPDUI_MENUPOPUP) : 0u) | UPDUI_TOOLBAR);
            }
        }
    }
    // Pane identifiers 0-10 are also edit commands 1-10 and items of the
    // status-bar popups: as panes they name texts of the status bar only.
    for (UINT pane : kStatusOrder) {
        states_.Remove(pane);
        states_.Add(pane, UPDUI_STATUSBAR);
    }
    for (UINT id : {UINT(ID_VIEW_TOOLBAR), UINT(ID_VIEW_STATUS_BAR), UINT(ID_TOGGLE_TABS),
                    UINT(ID_CLIPBOARD_MONITOR), UINT(ID_FULL_SCREEN), UINT(ID_MACRO_RECORD)})
        states_.Add(id, UPDUI_MENUPOPUP);
}

void CMainFrame::OnDestroy() {
    KillTimer(Window(), kFileCheckTimer);
    UnloadPlugins();
    if (inClipboardChain_) {
        ChangeClipboardChain(Window(), nextViewer_);
        inClipboardChain_ = false;
    }
    if (loop_) {
        loop_->RemoveMessageFilter(this);
        loop_->RemoveIdleHandler(this);
        loop_ = nullptr;
    }
    tearOffs_.clear();
    grep_.reset();  // a running search stops first
    find_.reset();
    if (fullScreenDialog_) DestroyWindow(fullScreenDialog_);
    fullScreenDialog_ = nullptr;
    documents_.clear();
    PostQuitMessage(0);
}

// ---------------------------------------------------------------------------
// Layout and bars

void CMainFrame::Layout() {
    if (!Window() || creating_) return;  // once, at the end of the creation
    RECT client = {};
    GetClientRect(Window(), &client);
    if (BarVisible(rebar_)) {
        SendMessageW(rebar_, WM_SIZE, 0, 0);
        RECT rc = {};
        GetWindowRect(rebar_, &rc);
        client.top += rc.bottom - rc.top;
    }
    if (BarVisible(statusBar_)) {
        RECT rc = {};
        GetWindowRect(statusBar_, &rc);
        client.bottom -= rc.bottom - rc.top;
    }
    if (client.bottom < client.top) client.bottom = client.top;
    const RECT area = docking_.Window() ? docking_.Layout(client) : client;
    RECT docRect = area;
    if (tabs_) {
        ShowWindow(tabs_, tabsVisible_ ? SW_SHOWNA : SW_HIDE);
        if (tabsVisible_) {
            // The strip holds only its row of tabs, the documents the rest:
            // a tab control covering the whole area paints all of it, which
            // costs a visual style's gradients at every start.
            RECT inner = {0, 0, area.right - area.left, area.bottom - area.top};
            SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&inner));
            const bool bottom = (GetWindowLongPtrW(tabs_, GWL_STYLE) & TCS_BOTTOM) != 0;
            const LONG strip =
                std::max<LONG>(0, bottom ? (area.bottom - area.top) - inner.bottom + 2 : inner.top - 2);
            if (bottom) {
                MoveWindow(tabs_, area.left, area.bottom - strip, area.right - area.left, strip, TRUE);
                docRect.bottom = std::max(area.top, area.bottom - strip);
            } else {
                MoveWindow(tabs_, area.left, area.top, area.right - area.left, strip, TRUE);
                docRect.top = std::min(area.bottom, area.top + strip);
            }
        }
    }
    for (size_t i = 0; i < documents_.size(); ++i)
        SetWindowPos(documents_[i], HWND_TOP, docRect.left, docRect.top,
                     std::max<LONG>(0, docRect.right - docRect.left),
                     std::max<LONG>(0, docRect.bottom - docRect.top),
                     SWP_NOACTIVATE | (i == active_ ? 0 : SWP_NOZORDER));
}

void CMainFrame::ShowBar(HWND bar, bool show) {
    if (!bar) return;
    if (bar == toolBar_ && rebar_) {
        const LRESULT count = SendMessageW(rebar_, RB_GETBANDCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            REBARBANDINFOW band = {};
            band.cbSize = sizeof band;
            band.fMask = RBBIM_CHILD;
            if (SendMessageW(rebar_, RB_GETBANDINFOW, WPARAM(i), reinterpret_cast<LPARAM>(&band)) &&
                band.hwndChild == toolBar_)
                SendMessageW(rebar_, RB_SHOWBAND, WPARAM(i), show);
        }
    } else {
        ShowWindow(bar, show ? SW_SHOWNA : SW_HIDE);
    }
    Layout();
}

}  // namespace shell
