// The light and dark colour schemes: which one is in use (the choice in
// setting.ini, else the Windows app mode), that both stay readable, where
// their tables come from, and switching them under open edit controls and
// from the options dialog.
// clang-format off
#include <windows.h>  // before the other system headers
// clang-format on
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "ColorScheme.h"
#include "DialogIds.h"
#include "EditProtocol.h"
#include "OptionsSheet.h"
#include "Resources.h"
#include "TestSupport.h"

using scheme::Scheme;
using settings::File;

namespace {

constexpr wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// WCAG contrast ratio of two colours (1 to 21).
double Luminance(COLORREF c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}
double Contrast(COLORREF a, COLORREF b) {
    const double x = Luminance(a), y = Luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The private-profile struct form: each byte as two hex digits, then the checksum.
std::wstring StructText(const COLORREF* table, bool damage = false) {
    const auto* bytes = reinterpret_cast<const BYTE*>(table);
    std::wstring text;
    unsigned sum = 0;
    wchar_t hex[3];
    for (int i = 0; i < scheme::kEntries * 4; ++i) {
        swprintf(hex, 3, L"%02X", bytes[i]);
        text += hex;
        sum += bytes[i];
    }
    swprintf(hex, 3, L"%02X", (sum + (damage ? 1 : 0)) % 256);
    return text + hex;
}

class ColorScheme : public ::testing::Test {
   protected:
    static void SetUpTestSuite() {
        static HMODULE language = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        ASSERT_NE(language, nullptr);
        shell::SetResourceModule(language);
        ASSERT_NE(LoadLibraryW(L"Edit.dll"), nullptr);
    }
    void SetUp() override {
        folder_ = testing_support::MakeTempFolder(L"mp-scheme-");
        ASSERT_FALSE(folder_.empty());
        settings::SetProgramFolder(folder_);
        DWORD value = 0, size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr,
                         &value, &size) == ERROR_SUCCESS)
            saved_ = value;
        SetWindowsMode(std::nullopt);
    }
    void TearDown() override {
        for (HWND w : windows_) DestroyWindow(w);
        SetWindowsMode(saved_);
        settings::SetProgramFolder(L"");
    }
    // AppsUseLightTheme: 1 light, 0 dark, nullopt removes the value.
    static void SetWindowsMode(std::optional<DWORD> light) {
        if (!light) {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalize, L"AppsUseLightTheme");
            return;
        }
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPersonalize, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"AppsUseLightTheme", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*light),
                       sizeof(DWORD));
        RegCloseKey(key);
    }
    // A shown window with an edit control that paints from `table`, as a
    // document pane and the output window do.
    HWND CreateControl(COLORREF* table) {
        if (!parent_) {
            parent_ = CreateWindowExW(0, L"STATIC", L"scheme", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                      300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            windows_.push_back(parent_);
        }
        const HWND edit = CreateWindowExW(0, L"MRPAD32", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, parent_,
                                          nullptr, GetModuleHandleW(L"Edit.dll"), nullptr);
        EXPECT_NE(edit, nullptr);
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), 1);
        SendMessageW(edit, MPM_COLORTABLE, reinterpret_cast<WPARAM>(table), 0);
        return edit;
    }
    // The colour painted below the last line.
    static COLORREF Ground(HWND edit) {
        RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        testing_support::COptionsSheet::Pump();
        HDC dc = GetDC(edit);
        const COLORREF c = GetPixel(dc, 280, 180);
        ReleaseDC(edit, dc);
        return c;
    }
    static const COLORREF* Used(HWND edit) {
        return reinterpret_cast<const COLORREF*>(SendMessageW(edit, MPM_COLORTABLE, 0, 0));
    }

    std::wstring folder_;
    std::optional<DWORD> saved_;
    HWND parent_ = nullptr;
    std::vector<HWND> windows_;
};

}  // namespace

// Nothing chosen follows Windows (a missing mode is light); a choice wins
// over Windows; a value out of range follows Windows.
TEST_F(ColorScheme, TheChoiceElseTheWindowsMode) {
    EXPECT_EQ(scheme::Chosen(), Scheme::FollowWindows);
    EXPECT_FALSE(scheme::DarkInUse());
    SetWindowsMode(0);
    EXPECT_TRUE(scheme::WindowsUsesDark());
    EXPECT_TRUE(scheme::DarkInUse());
    scheme::Choose(Scheme::Light);
    EXPECT_FALSE(scheme::DarkInUse());
    SetWindowsMode(1);
    scheme::Choose(Scheme::Dark);
    EXPECT_TRUE(scheme::DarkInUse());
    settings::WriteString(File::Setting, L"Theme", L"Scheme", L"7");
    EXPECT_EQ(scheme::Chosen(), Scheme::FollowWindows);
    EXPECT_FALSE(scheme::DarkInUse());
}

// Each scheme keeps every pair of text and ground that the control paints
// readable (WCAG: 4.5 for text, 3 for marks and large glyphs).
TEST_F(ColorScheme, BothSchemesAreReadable) {
    for (const COLORREF* t : {scheme::LightTable(), scheme::DarkTable()}) {
        const bool dark = t == scheme::DarkTable();
        SCOPED_TRACE(dark ? "dark" : "light");
        // Text, text on the current line, selected text, line numbers, fold
        // signs, the ruler, a matched brace, class 17.
        const struct {
            int text, ground;
            double least;
        } pairs[] = {{1, 0, 7},   {1, 12, 7},  {4, 3, 4.5},   {8, 7, 3},
                     {10, 24, 3}, {69, 68, 3}, {63, 64, 4.5}, {67, 66, 4.5}};
        for (const auto& p : pairs)
            EXPECT_GE(Contrast(t[p.text], t[p.ground]), p.least) << p.text << " on " << p.ground;
        for (int k = 1; k <= 15; ++k) {
            if (k == 11) continue;  // class 11 draws in the default colours
            EXPECT_GE(Contrast(t[43 + k], t[24 + k]), 3.0) << "class " << k;
            EXPECT_GE(Contrast(t[43 + k], t[12]), 3.0) << "class " << k << " on the current line";
        }
        for (int k = 0; k < 4; ++k) EXPECT_GE(Contrast(t[59 + k], t[40 + k]), 4.5) << "class " << 20 + k;
        EXPECT_EQ(Luminance(t[0]) < 0.05, dark) << "the ground";
        EXPECT_EQ(t[0], t[70]) << "below the last line";
    }
}

std::vector<COLORREF> Table(const COLORREF* t) { return std::vector<COLORREF>(t, t + scheme::kEntries); }
std::vector<COLORREF> ReadTable() {
    COLORREF got[scheme::kEntries] = {};
    scheme::ReadColors(got);
    return Table(got);
}

// The light scheme is the file's Colors block, else the shipped table; the
// dark one DarkColors, else the built-in table; a damaged block counts as
// missing.
TEST_F(ColorScheme, TablesComeFromTheFileElseTheBuiltInOnes) {
    EXPECT_EQ(ReadTable(), Table(scheme::LightTable()));
    COLORREF mine[scheme::kEntries];
    for (int i = 0; i < scheme::kEntries; ++i) mine[i] = RGB(i, 2 * i, 3 * i);
    settings::WriteString(File::Setting, L"Theme", L"Colors", StructText(mine).c_str());
    EXPECT_EQ(ReadTable(), Table(mine));
    scheme::Choose(Scheme::Dark);
    EXPECT_EQ(ReadTable(), Table(scheme::DarkTable()));
    settings::WriteString(File::Setting, L"Theme", L"DarkColors", StructText(mine).c_str());
    EXPECT_EQ(ReadTable(), Table(mine));
    settings::WriteString(File::Setting, L"Theme", L"DarkColors", StructText(mine, true).c_str());
    EXPECT_EQ(ReadTable(), Table(scheme::DarkTable()));
}

// Switching rewrites the tables that open controls paint from, and they
// repaint in the other scheme at once.
TEST_F(ColorScheme, SwitchingRecoloursOpenControls) {
    COLORREF a[scheme::kEntries], b[scheme::kEntries];
    scheme::ReadColors(a);
    scheme::ReadColors(b);
    const HWND first = CreateControl(a), second = CreateControl(b);
    EXPECT_EQ(Ground(first), scheme::LightTable()[70]);

    scheme::Choose(Scheme::Dark);
    EXPECT_EQ(scheme::ApplyToOpenWindows(), 2);
    EXPECT_EQ(Used(first), a) << "the control keeps the table it was given";
    EXPECT_EQ(Table(a), Table(scheme::DarkTable()));
    EXPECT_EQ(Table(b), Table(scheme::DarkTable()));
    EXPECT_EQ(Ground(first), scheme::DarkTable()[70]);
    EXPECT_EQ(Ground(second), scheme::DarkTable()[70]);

    scheme::Choose(Scheme::FollowWindows);
    scheme::ApplyToOpenWindows();
    EXPECT_EQ(Ground(second), scheme::LightTable()[70]);
}

// Windows announces a change of its app mode; the controls follow it unless
// a scheme was chosen.
TEST_F(ColorScheme, AChangeOfTheWindowsModeIsFollowed) {
    COLORREF table[scheme::kEntries];
    scheme::ReadColors(table);
    const HWND edit = CreateControl(table);
    SetWindowsMode(0);
    EXPECT_FALSE(scheme::OnSettingChange(reinterpret_cast<LPARAM>(L"Environment")));
    EXPECT_FALSE(scheme::OnSettingChange(0));
    EXPECT_EQ(Ground(edit), scheme::LightTable()[70]);
    EXPECT_TRUE(scheme::OnSettingChange(reinterpret_cast<LPARAM>(L"ImmersiveColorSet")));
    EXPECT_EQ(Ground(edit), scheme::DarkTable()[70]);
    scheme::Choose(Scheme::Dark);
    SetWindowsMode(1);
    EXPECT_FALSE(scheme::OnSettingChange(reinterpret_cast<LPARAM>(L"ImmersiveColorSet")));
    EXPECT_EQ(Ground(edit), scheme::DarkTable()[70]);
}

// The General page shows the choice and applies a new one to open controls.
TEST_F(ColorScheme, TheGeneralPageSwitchesTheScheme) {
    COLORREF table[scheme::kEntries];
    scheme::ReadColors(table);
    const HWND edit = CreateControl(table);
    keys::CKeyTables keys;
    testing_support::COptionsSheet sheet(parent_, keys);
    ASSERT_TRUE(sheet.Open(shell::OptionsPage::General));
    ASSERT_EQ(sheet.Count(IDC_GEN_SCHEME, CB_GETCOUNT), 3);
    EXPECT_EQ(sheet.Text(IDC_GEN_SCHEME), shell::LanguageString(IDS_SCHEME_FOLLOW));
    sheet.ChooseCombo(IDC_GEN_SCHEME, 2);
    EXPECT_TRUE(sheet.Apply());
    EXPECT_EQ(scheme::Chosen(), Scheme::Dark);
    EXPECT_EQ(Ground(edit), scheme::DarkTable()[70]);
}
