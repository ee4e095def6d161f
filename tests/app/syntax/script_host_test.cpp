// The script host under the system's VBScript engine: small scripts written
// to a temporary folder, run through a site with a "Probe" object that
// records what the script tells it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineChoice.h"
#include "MessageSink.h"
#include "Resources.h"
#include "ScriptHost.h"
#include "TestSupport.h"

using namespace syntax;
using testing_support::Messages;

namespace {

class TestSite;

class Probe : public IDispDynImpl {
   public:
    explicit Probe(TestSite* site);
    HRESULT Note(BSTR text);
    HRESULT Cwd(BSTR* dir);
    HRESULT Current(BSTR* path);

   private:
    TestSite* site_;
};

const DispEntry kProbeTable[] = {
    DispMethod<&Probe::Note>(L"Note"),
    DispMethod<&Probe::Cwd>(L"Cwd"),
    DispMethod<&Probe::Current>(L"Current"),
    DispEnd(),
};

class TestSite : public CScript {
   public:
    TestSite() : probe_(new CComRefCount<Probe>(this)) {}
    ~TestSite() override { probe_->Release(); }
    IDispatch* FindNamedObject(const wchar_t* name) override {
        return _wcsicmp(name, L"probe") == 0 ? probe_ : nullptr;
    }
    HRESULT AddNamedItems(IActiveScript* engine) override {
        return engine->AddNamedItem(L"Probe", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
    }
    std::vector<std::wstring> notes;

   private:
    IDispatch* probe_;
};

Probe::Probe(TestSite* site) : IDispDynImpl(kProbeTable), site_(site) {}

HRESULT Probe::Note(BSTR text) {
    site_->notes.push_back(text ? text : L"");
    return S_OK;
}

HRESULT Probe::Cwd(BSTR* dir) {
    wchar_t buf[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, buf);
    *dir = SysAllocString(buf);
    return S_OK;
}

HRESULT Probe::Current(BSTR* path) {
    *path = SysAllocString(site_->ScriptPath().c_str());
    return S_OK;
}

std::wstring NoSlash(std::wstring dir) {
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/')) dir.pop_back();
    return dir;
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = wchar_t(towlower(c));
    return s;
}

std::wstring Cwd() {
    wchar_t buf[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, buf);
    return buf;
}

class ScriptHostTest : public ::testing::TestWithParam<int> {
   protected:
    // The engine this run of the case uses.
    testing_support::EngineChoiceScope engine_{GetParam()};

    void SetUp() override {
        static HMODULE language = LoadLibraryW((testing_support::TestFolder() + L"mui\\en.dll").c_str());
        ASSERT_NE(language, nullptr);
        shell::SetResourceModule(language);
        folder_ = testing_support::MakeTempFolder(L"host");
        ASSERT_FALSE(folder_.empty());
        Messages().clear();
        cwd_ = Cwd();
    }
    void TearDown() override { Messages().clear(); }

    void Write(const std::wstring& name, const std::string& text) {
        const size_t slash = name.find_last_of(L'\\');
        if (slash != std::wstring::npos) CreateDirectoryW((folder_ + name.substr(0, slash)).c_str(), nullptr);
        ASSERT_TRUE(testing_support::WriteFileText(folder_ + name, text));
    }

    bool Run(const std::wstring& name, ScriptError* receiver = nullptr, const std::wstring& entry = L"") {
        auto* site = new TestSite;
        const bool ok = CScriptHelper::RunFile(site, folder_ + name, entry, receiver);
        notes_ = site->notes;
        site->Release();
        return ok;
    }

    std::wstring folder_, cwd_;
    std::vector<std::wstring> notes_;
};

TEST_P(ScriptHostTest, NamedItemsAndHelperAreGlobalAndMatchedIgnoringCase) {
    Write(L"a.vbs",
          "Note \"global\"\r\n"
          "Probe.Note \"by name\"\r\n"
          "PROBE.NOTE \"upper\"\r\n"
          "Note CStr(include(\"b.vbs\"))\r\n"
          "Note CStr(Helper.Include(\"missing.vbs\"))\r\n"
          "Note FromB(2)\r\n");
    Write(L"b.vbs", "Function FromB(n)\r\n  FromB = \"b\" & n\r\nEnd Function\r\nNote \"in b\"\r\n");
    EXPECT_TRUE(Run(L"a.vbs"));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"global", L"by name", L"upper", L"in b", L"True", L"False",
                                                 L"b2"}));
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ScriptHostTest, IncludesResolveAgainstTheRunningFileAndTheFolderIsRestored) {
    Write(L"main.vbs",
          "Note Cwd()\r\n"
          "Include \"lib\\one.vbs\"\r\n"
          "Note Cwd()\r\n"
          "Note Current()\r\n"
          "Note Two()\r\n");
    // one.vbs includes its neighbour by a path relative to its own folder.
    Write(L"lib\\one.vbs",
          "Note Cwd()\r\nNote Current()\r\nInclude \"deeper\\two.vbs\"\r\nNote Current()\r\n");
    Write(L"lib\\deeper\\two.vbs", "Function Two()\r\n Two = \"two\"\r\nEnd Function\r\nNote Current()\r\n");
    EXPECT_TRUE(Run(L"main.vbs"));
    std::vector<std::wstring> shown;  // the folder written as "~"
    for (const std::wstring& n : notes_) {
        const std::wstring l = Lower(NoSlash(n)), top = Lower(NoSlash(folder_));
        shown.push_back(l.compare(0, top.size(), top) == 0 ? L"~" + l.substr(top.size()) : l);
    }
    EXPECT_EQ(shown,
              (std::vector<std::wstring>{L"~", L"~\\lib", L"~\\lib\\one.vbs", L"~\\lib\\deeper\\two.vbs",
                                         L"~\\lib\\one.vbs", L"~", L"~\\main.vbs", L"two"}));
    EXPECT_EQ(Cwd(), cwd_);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ScriptHostTest, AnErrorInAnIncludedFileIsReportedOnceWithThatFileAndLine) {
    Write(L"main.vbs", "Note \"before\"\r\nInclude \"bad.vbs\"\r\nNote \"after\"\r\n");
    Write(L"bad.vbs", "Note \"bad 1\"\r\n\r\nx = 1 / 0\r\nNote \"bad 4\"\r\n");
    EXPECT_FALSE(Run(L"main.vbs"));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"before", L"bad 1"}));
    ASSERT_EQ(Messages().size(), 1u);
    const std::wstring& text = Messages()[0].text;
    EXPECT_NE(Lower(text).find(Lower(folder_ + L"bad.vbs")), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"Line 3"), std::wstring::npos) << text;
    EXPECT_EQ(Lower(text).find(L"main.vbs"), std::wstring::npos) << text;
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONWARNING));
    EXPECT_EQ(Cwd(), cwd_);
}

TEST_P(ScriptHostTest, TheErrorReceiverGetsTheErrorInsteadOfTheUser) {
    Write(L"main.vbs", "Note \"one\"\r\nNote \"two\"\r\nNoSuchFunction 1\r\nNote \"never\"\r\n");
    ScriptError error;
    EXPECT_FALSE(Run(L"main.vbs", &error));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"one", L"two"}));
    EXPECT_EQ(error.message, kMsgScriptError);
    EXPECT_EQ(Lower(error.path), Lower(folder_ + L"main.vbs"));
    EXPECT_EQ(error.line, 3);
    EXPECT_TRUE(FAILED(error.scode));
    EXPECT_FALSE(error.description.empty());
    // Reported later, it reads like the message shown at once.
    ReportScriptError(error, nullptr);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].text.find(L"Line 3"), std::wstring::npos) << Messages()[0].text;
}

TEST_P(ScriptHostTest, ACompileErrorGivesItsLineAndADescription) {
    Write(L"main.vbs", "Note \"one\"\r\nIf Then Else\r\n");
    ScriptError error;
    EXPECT_FALSE(Run(L"main.vbs", &error));
    EXPECT_TRUE(notes_.empty());  // nothing runs
    EXPECT_EQ(error.message, kMsgScriptError);
    EXPECT_EQ(error.line, 2);
    EXPECT_FALSE(error.description.empty());
}

TEST_P(ScriptHostTest, AMissingFileIsReportedWithItsPath) {
    EXPECT_FALSE(Run(L"nothing-here.vbs"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, shell::FormatLanguageString(15100, {folder_ + L"nothing-here.vbs"}));
    EXPECT_NE(Messages()[0].text.find(L"nothing-here.vbs"), std::wstring::npos);
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
    EXPECT_EQ(Messages()[0].caption, L"Morrowpad");

    ScriptError error;
    EXPECT_FALSE(Run(L"nothing-here.vbs", &error));
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_EQ(error.message, kMsgCannotOpen);
}

TEST_P(ScriptHostTest, WrongArgumentCountsAreScriptErrorsNotCrashes) {
    Write(L"main.vbs", "Note \"one\"\r\nNote \"a\", \"b\"\r\nNote \"never\"\r\n");
    ScriptError error;
    EXPECT_FALSE(Run(L"main.vbs", &error));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"one"}));
    EXPECT_EQ(error.message, kMsgScriptError);
    EXPECT_EQ(error.line, 2);

    Write(L"more.vbs", "x = Include()\r\n");
    EXPECT_FALSE(Run(L"more.vbs", &error));

    Write(L"type.vbs", "Include Probe\r\n");  // an object where a path belongs
    ScriptError typeError;
    EXPECT_FALSE(Run(L"type.vbs", &typeError));
    EXPECT_EQ(typeError.message, kMsgScriptError);
    EXPECT_TRUE(Messages().empty());
}

TEST_P(ScriptHostTest, AnEntryFunctionRunsAfterTheTopLevelCode) {
    Write(L"main.vbs", "Note \"top\"\r\nSub Main\r\n Note \"main\"\r\nEnd Sub\r\n");
    EXPECT_TRUE(Run(L"main.vbs", nullptr, L"Main"));
    EXPECT_EQ(notes_, (std::vector<std::wstring>{L"top", L"main"}));
    EXPECT_FALSE(Run(L"main.vbs", nullptr, L"NoSuchEntry"));
}

TEST_P(ScriptHostTest, EachKindOfFailureIsToldWithItsTextAndIcon) {
    ScriptError e;
    ReportScriptError(e, nullptr);  // nothing went wrong
    EXPECT_TRUE(Messages().empty());
    e.message = kMsgNoEngine;
    ReportScriptError(e, nullptr);
    e = ScriptError();
    e.message = kMsgScriptError;
    e.path = L"C:\\x\\a.vbs";
    e.source = L"Engine";
    e.scode = HRESULT(0x800A000Bu);
    e.description = L"Division by zero";
    e.line = 12;
    ReportScriptError(e, nullptr);
    e = ScriptError();
    e.message = kMsgTimeLimit;
    e.path = L"C:\\x\\loop.vbs";
    e.seconds = 5;
    ReportScriptError(e, nullptr);
    ASSERT_EQ(Messages().size(), 3u);
    EXPECT_EQ(Messages()[0].text, shell::LanguageString(15105));
    EXPECT_FALSE(Messages()[0].text.empty());
    EXPECT_EQ(Messages()[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
    EXPECT_EQ(Messages()[1].text, shell::FormatLanguageString(15104, {L"C:\\x\\a.vbs", L"Engine", L"800A000B",
                                                                      L"Division by zero", L"12"}));
    EXPECT_NE(Messages()[1].text.find(L"800A000B"), std::wstring::npos);
    EXPECT_EQ(Messages()[1].type & MB_ICONMASK, UINT(MB_ICONWARNING));
    EXPECT_EQ(Messages()[2].text, shell::FormatLanguageString(15109, {L"C:\\x\\loop.vbs", L"5"}));
    EXPECT_NE(Messages()[2].text.find(L"5 seconds"), std::wstring::npos) << Messages()[2].text;
    EXPECT_EQ(Messages()[2].type & MB_ICONMASK, UINT(MB_ICONWARNING));
}

TEST_P(ScriptHostTest, TheSiteAnswersTheEngineAsDocumented) {
    auto* site = new TestSite;
    IUnknown* item = nullptr;
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(site->GetItemInfo(L"helper", SCRIPTINFO_IUNKNOWN | SCRIPTINFO_ITYPEINFO, &item, &info), S_OK);
    EXPECT_EQ(info, nullptr);
    ASSERT_NE(item, nullptr);
    item->Release();
    EXPECT_EQ(site->GetItemInfo(L"PROBE", SCRIPTINFO_IUNKNOWN, &item, nullptr), S_OK);
    item->Release();
    EXPECT_EQ(site->GetItemInfo(L"Other", SCRIPTINFO_IUNKNOWN, &item, nullptr), E_FAIL);
    EXPECT_EQ(site->GetItemInfo(L"Helper", SCRIPTINFO_IUNKNOWN, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(site->GetItemInfo(L"Helper", 0, &item, nullptr), E_FAIL);
    LCID lcid;
    EXPECT_EQ(site->GetLCID(&lcid), E_NOTIMPL);
    BSTR version = nullptr;
    EXPECT_EQ(site->GetDocVersionString(&version), S_OK);
    EXPECT_STREQ(version, L"1.0.0.1");
    SysFreeString(version);
    void* p = nullptr;
    EXPECT_EQ(site->QueryInterface(IID_IDispatch, &p), E_NOINTERFACE);
    EXPECT_EQ(site->Release(), 0u);
}

}  // namespace

TEST_P(ScriptHostTest, AFileThatIncludesItselfIsAScriptErrorNotAStackOverflow) {
    Write(L"self.vbs", "Note \"in\"\r\nInclude \"self.vbs\"\r\n");
    Write(L"a.vbs", "Include \"b.vbs\"\r\n");
    Write(L"b.vbs", "Include \"a.vbs\"\r\n");
    EXPECT_FALSE(Run(L"self.vbs"));
    EXPECT_EQ(Messages().size(), 1u);
    EXPECT_LE(notes_.size(), 20u);
    Messages().clear();
    EXPECT_FALSE(Run(L"a.vbs"));
    EXPECT_EQ(Messages().size(), 1u);
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ(cwd, cwd_);
}

INSTANTIATE_TEST_SUITE_P(Engines, ScriptHostTest, testing_support::kBothEngines,
                         testing_support::EngineParamName);
