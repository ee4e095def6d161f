// A document window: one document shown in one pane, or in two panes side
// by side or one above the other, every pane an edit control attached to
// the same document (so an edit in one shows in the other at once, each
// keeping its own caret, selection and scroll position). The window owns
// the document: it takes it from its first pane and closes it when it is
// destroyed. It opens, saves and closes its file, fills new documents from
// templates, and reports its states to the frame.
//
// The frame talks to it through messages (MPD_*, WM_COMMAND) and its IView.
// The object owns itself: it is deleted after its window's last message.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "DevEnv.h"
#include "Document.h"
#include "EditProtocol.h"
#include "Splitter.h"
#include "Window.h"

namespace documents {

class CTextView;

// What a document knows of its file on the disk: whether it is there, which
// file it is (volume and file index), its size and last write.
struct DiskStamp {
    bool exists = false;
    DWORD volume = 0;
    uint64_t index = 0;
    uint64_t size = 0;
    uint64_t written = 0;
    bool operator==(const DiskStamp&) const = default;
    bool SameFile(const DiskStamp& o) const {
        return exists && o.exists && volume == o.volume && index == o.index;
    }
};
// The stamp of `path` now, read without opening its contents (so also while
// another process holds it open).
DiskStamp StampOf(const std::wstring& path);

// The window implementation of a split view: a content window (a pane or a
// splitter) that always fills the client area.
template <class T>
class CSplitViewT : public shell::BaseWindow<T> {
protected:
    HWND content_ = nullptr;
    void LayoutContent() {
        RECT rc = {};
        GetClientRect(this->Window(), &rc);
        if (content_) MoveWindow(content_, 0, 0, rc.right, rc.bottom, TRUE);
    }
};

class CSplitTextView final : public IView, public CSplitViewT<CSplitTextView> {
public:
    // A hidden child of `parent` (the frame's document area) that reports its
    // states to `ui`, its tab to `frame`, and shows popups and boxes through
    // `env`. Null on failure. `viewType` 1 makes a result document.
    static CSplitTextView* Create(HWND parent, HWND frame, IUpdateUI* ui, IDevEnv* env, HMODULE editLibrary,
                                  int viewType = 0);
    static CSplitTextView* FromWindow(HWND window);

    HWND ActivePane() const { return focus_; }
    HWND PaneWindow(int i) const;  // 0 or 1; null when there is no such pane
    bool IsSplit() const { return splitter_ != nullptr; }
    bool IsSplitSideBySide() const;
    bool IsSynchronised() const { return synchronised_; }
    bool HasFileName() const { return hasFile_; }
    // The document's file is gone from its name (deleted or renamed away);
    // the text stays, and Save writes it back.
    bool FileMissing() const { return missing_; }
    void* Document() const { return document_; }

    // IView
    int MORROWPAD_CALL GetCaption(wchar_t* buffer, int size) override;
    HWND MORROWPAD_CALL GetActivePane() override { return focus_; }
    BOOL MORROWPAD_CALL IsModified() override;

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void OnFinalMessage() { delete this; }

private:
    CSplitTextView(HWND frame, IUpdateUI* ui, IDevEnv* env, HMODULE editLibrary, int viewType);
    ~CSplitTextView();

    LRESULT OnCreate();
    HWND CreatePane(HWND parent);
    void Split(CSplitter::Orientation orientation);
    void SetSynchronised(bool on);
    bool Open(const wchar_t* path, const OpenRequest* request);
    void Update();
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    int AskToClose();
    // Files changed by other programs (MPD_CHECK_FILE): the stamp now is
    // compared with the one of the last load or save. A change acted on has
    // settled (the stamp stayed the same for kQuietMs). Without changes of
    // its own the document is read again (or, by the setting, asked); with
    // them it asks, only when `mayAsk` and never twice at once.
    void CheckFile(bool mayAsk);
    int AskAboutFile(UINT stringId);
    void KeepOver();
    // Reads the file again, keeping the caret and the first visible line.
    bool Reload();
    void ReloadCommand();
    void RememberDisk();
    void UpdateTab();
    int Save();
    int SaveAs();
    void NewFromTemplate(const TemplateEntry* entry);
    // Syntax: the lexer for a new path's extension (kept when the extension
    // is that of `oldPath`), setting one with its definition's tab size and
    // the folding method, and the name kept across a reload of the list.
    void ChooseSyntax(const std::wstring& path, const std::wstring& oldPath);
    void SetSyntax(ILexer* lexer);
    void RememberSyntax();
    void ReapplySyntax();
    void ApplyFont();
    void CaptureClipboard();
    void CopyCaption();
    void Report(UINT stringId, const std::wstring& path, UINT icon);
    void ReportSaveFailure(const std::wstring& path, DWORD error);
    bool SaveTo(const std::wstring& path, const SaveFormat& format);
    SaveFormat OwnFormat();
    std::wstring Caption() const;

    HWND frame_;
    IUpdateUI* ui_;
    IDevEnv* env_;
    HMODULE editLibrary_;
    int viewType_;
    void* document_ = nullptr;  // the shared document, taken from the first pane
    HWND focus_ = nullptr;      // the pane that last had the focus
    std::unique_ptr<CSplitter> splitter_;
    bool synchronised_ = false;
    bool saved_ = false;
    bool hasFile_ = false;  // the caption is the file's full path
    std::wstring openedPath_;
    std::wstring rememberedSyntax_;
    bool syntaxRemembered_ = false;
    int fontCommand_ = 1430;
    COLORREF colors_[80] = {};
    bool haveColors_ = false;
    shell::UniqueGdiT<HFONT> font_;
    std::wstring lastTabTitle_;
    int lastTabState_ = -1;
    // The file on the disk: as last loaded or saved, as last seen and since
    // when, whether it is gone, whether the document read it in place, and
    // a change the user chose to keep the document over (it counts as
    // modified until saved or read again).
    DiskStamp known_;
    DiskStamp seen_;
    uint64_t seenAt_ = 0;
    bool missing_ = false;
    bool inPlace_ = false;
    bool keptOver_ = false;
    bool saveAsOnly_ = false;  // kept over a rewrite in place: Save asks for a name
    bool asking_ = false;
};

}  // namespace documents
