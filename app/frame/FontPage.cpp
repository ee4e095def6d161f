// The font page: one entry per font slot (1430..1442). Editing a field
// edits the chosen slot; applying writes FontN for each edited slot, tells
// the frame about each and then has it rebuild its font menu.
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <commdlg.h>

#include "DialogIds.h"
#include "OptionsDialog.h"
#include "OptionsPages.h"
#include "Owners.h"
#include "ProgramIds.h"
#include "SystemCalls.h"

namespace shell {
namespace {

std::wstring SlotName(int index) {
    if (index < 10) return L"Document font " + std::to_wstring(index + 1);
    if (index == 10) return L"Output window";
    if (index == 11) return L"Reserved";
    return L"Interface";
}

int CALLBACK AddFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD, LPARAM combo) {
    if (lf->lfFaceName[0] == L'@') return 1;  // vertical variants
    HWND box = reinterpret_cast<HWND>(combo);
    if (SendMessageW(box, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(lf->lfFaceName)) == CB_ERR)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lf->lfFaceName));
    return 1;
}

int PixelsPerInch() {
    const CWindowDc dc(nullptr);
    const int ppi = dc ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 96;
    return ppi > 0 ? ppi : 96;
}

}  // namespace

CFontPage::CFontPage(COptionsDlg& owner) : COptionsPage(owner, IDD_OPT_FONT) {}

CFontPage::~CFontPage() = default;

void CFontPage::OnInit() {
    HWND list = Item(IDC_FONT_SLOTS);
    for (int slot = settings::kFontSlotFirst; slot <= settings::kFontSlotLast; ++slot) {
        Slot s;
        s.font = settings::ReadFontSlot(slot);
        s.size = std::to_wstring(s.font.size);
        slots_.push_back(std::move(s));
        SendMessageW(list, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(SlotName(slot - settings::kFontSlotFirst).c_str()));
    }
    HWND faces = Item(IDC_FONT_FACE);
    {
        const CWindowDc dc(Window());
        LOGFONTW all = {};
        all.lfCharSet = DEFAULT_CHARSET;
        EnumFontFamiliesExW(dc.get(), &all, &AddFace, reinterpret_cast<LPARAM>(faces), 0);
    }
    HWND charsets = Item(IDC_FONT_CHARSET);
    for (const settings::CharsetEntry& c : settings::Charsets()) {
        const LRESULT at = SendMessageW(charsets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.name));
        SendMessageW(charsets, CB_SETITEMDATA, WPARAM(at), c.charset);
    }
    HWND qualities = Item(IDC_FONT_QUALITY);
    for (int q = 0; q <= 6; ++q) {
        const LRESULT at =
            SendMessageW(qualities, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(settings::QualityName(q)));
        SendMessageW(qualities, CB_SETITEMDATA, WPARAM(at), q);
    }
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    ShowSlot(0);
}

void CFontPage::ShowSlot(int index) {
    if (index < 0 || index >= int(slots_.size())) return;
    current_ = index;
    filling_ = true;
    const Slot& s = slots_[size_t(index)];
    SetText(IDC_FONT_FACE, s.font.face);
    SetText(IDC_FONT_SIZE, s.size);
    Check(IDC_FONT_BOLD, s.font.bold != 0);
    if (!SelectComboData(Item(IDC_FONT_CHARSET), s.font.charset))
        SendMessageW(Item(IDC_FONT_CHARSET), CB_SETCURSEL, WPARAM(-1), 0);
    if (!SelectComboData(Item(IDC_FONT_QUALITY), s.font.quality))
        SendMessageW(Item(IDC_FONT_QUALITY), CB_SETCURSEL, WPARAM(-1), 0);
    filling_ = false;
    UpdateSample();
}

void CFontPage::UpdateSample() {
    if (current_ < 0) return;
    settings::FontSpec chosen = slots_[size_t(current_)].font;
    int size = 0;
    if (ParseNumber(slots_[size_t(current_)].size, &size) && size > 0 && size <= 200) chosen.size = size;
    LOGFONTW lf = settings::ToLogFont(chosen, PixelsPerInch());
    UniqueGdiT<HFONT> font(CreateFontIndirectW(&lf));
    SendMessageW(Item(IDC_FONT_SAMPLE), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    sample_ = std::move(font);  // the one the sample used before goes
}

void CFontPage::Edited(int id, int code) {
    if (filling_ || current_ < 0) return;
    Slot& s = slots_[size_t(current_)];
    switch (id) {
        case IDC_FONT_FACE:
            if (code == CBN_EDITCHANGE) {
                s.font.face = Text(id);
            } else if (code == CBN_SELCHANGE) {
                HWND box = Item(id);
                const LRESULT at = SendMessageW(box, CB_GETCURSEL, 0, 0);
                const LRESULT n = at < 0 ? -1 : SendMessageW(box, CB_GETLBTEXTLEN, WPARAM(at), 0);
                if (n < 0) return;
                std::wstring face(size_t(n) + 1, L'\0');
                SendMessageW(box, CB_GETLBTEXT, WPARAM(at), reinterpret_cast<LPARAM>(face.data()));
                face.resize(size_t(n));
                s.font.face = face;
            } else {
                return;
            }
            break;
        case IDC_FONT_SIZE:
            if (code != EN_CHANGE) return;
            s.size = Text(id);
            break;
        case IDC_FONT_BOLD:
            if (code != BN_CLICKED) return;
            s.font.bold = Checked(id) ? 1 : 0;
            break;
        case IDC_FONT_CHARSET:
        case IDC_FONT_QUALITY: {
            if (code != CBN_SELCHANGE) return;
            const LPARAM data = SelectedComboData(Item(id), -1);
            if (data < 0) return;
            (id == IDC_FONT_CHARSET ? s.font.charset : s.font.quality) = int(data);
            break;
        }
        default: return;
    }
    s.edited = true;
    MarkChanged();
    UpdateSample();
}

// The face field as it reads now: the combo box does not report every
// change of its edit field (Wine drops the first after the box set the text).
void CFontPage::SyncFace() {
    if (current_ < 0) return;
    Slot& s = slots_[size_t(current_)];
    const std::wstring face = Text(IDC_FONT_FACE);
    if (face == s.font.face) return;
    s.font.face = face;
    s.edited = true;
    MarkChanged();
}

void CFontPage::OnCommand(int id, int code, HWND) {
    if (id == IDC_FONT_SLOTS) {
        if (code == LBN_SELCHANGE) {
            SyncFace();
            ShowSlot(int(SendMessageW(Item(id), LB_GETCURSEL, 0, 0)));
        }
        return;
    }
    if (id == IDC_FONT_CHOOSE && code == BN_CLICKED && current_ >= 0) {
        Slot& s = slots_[size_t(current_)];
        const int ppi = PixelsPerInch();
        LOGFONTW lf = settings::ToLogFont(s.font, ppi);
        CHOOSEFONTW choose = {};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = GetParent(Window());
        choose.lpLogFont = &lf;
        choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
        if (!sys::ChooseFont(&choose)) return;
        const int quality = s.font.quality;
        s.font = settings::FromLogFont(lf, ppi);
        s.font.quality = quality;  // the system dialog does not offer it
        s.size = std::to_wstring(s.font.size);
        s.edited = true;
        ShowSlot(current_);
        MarkChanged();
        return;
    }
    Edited(id, code);
}

bool CFontPage::Apply() {
    SyncFace();
    for (size_t i = 0; i < slots_.size(); ++i) {
        int size = 0;
        if (!slots_[i].edited || (ParseNumber(slots_[i].size, &size) && size > 0)) continue;
        MessageBeep(MB_ICONEXCLAMATION);
        SendMessageW(Item(IDC_FONT_SLOTS), LB_SETCURSEL, i, 0);
        ShowSlot(int(i));
        FocusField(IDC_FONT_SIZE);
        return false;
    }
    bool any = false;
    HWND frame = owner_.Frame();
    for (size_t i = 0; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        if (!s.edited) continue;
        ParseNumber(s.size, &s.font.size);
        const int slot = settings::kFontSlotFirst + int(i);
        settings::WriteFontSlot(slot, s.font);
        if (frame) SendMessageW(frame, MPF_FONT_CHANGED, WPARAM(slot), 0);
        s.edited = false;
        any = true;
    }
    if (any && frame) SendMessageW(frame, MPF_REBUILD_FONT_MENU, 0, 0);
    return true;
}

}  // namespace shell
