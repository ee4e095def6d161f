// The owners of system resources: each gives its resource back once, and a
// mapped file never reports more than it holds.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Owners.h"
#include "TestSupport.h"

namespace {

bool IsOpenHandle(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

}  // namespace

TEST(Owners, HandlesAreClosedOnceWhenTheOwnerGoesOrIsReset) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        shell::CUniqueHandle a(raw);
        shell::CUniqueHandle b(std::move(a));  // the new owner closes it, the old one nothing
        EXPECT_FALSE(a);
        EXPECT_TRUE(IsOpenHandle(raw));
    }
    EXPECT_FALSE(IsOpenHandle(raw));
    // INVALID_HANDLE_VALUE (what CreateFileW fails with) is no handle.
    EXPECT_FALSE(shell::CUniqueHandle(INVALID_HANDLE_VALUE));
    shell::CUniqueHandle kept(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE released = kept.release();
    EXPECT_TRUE(IsOpenHandle(released));
    CloseHandle(released);
}

TEST(Owners, ComPointersCountTheirReferences) {
    struct Counted : IUnknown {
        ULONG refs = 1;
        STDMETHODIMP QueryInterface(REFIID, void** out) override {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
        STDMETHODIMP_(ULONG) Release() override { return --refs; }
    } object;
    {
        auto p = shell::ComPtrT<IUnknown>::Attach(&object);
        {
            const shell::ComPtrT<IUnknown> copy = p;
            EXPECT_EQ(object.refs, 2u);
        }
        EXPECT_EQ(object.refs, 1u);
        const auto other = p.As<IUnknown>(IID_IDispatch);  // refused: nothing held
        EXPECT_FALSE(other);
    }
    EXPECT_EQ(object.refs, 0u);
}

TEST(Owners, AMappedFileHoldsItsBytesAndNoMore) {
    const std::wstring folder = testing_support::MakeTempFolder(L"OWN");
    const std::wstring full = folder + L"full.txt", empty = folder + L"empty.txt";
    ASSERT_TRUE(testing_support::WriteFileText(full, "three\nlines\nhere"));
    ASSERT_TRUE(testing_support::WriteFileText(empty, ""));
    struct Case {
        std::wstring path;
        shell::CMappedFile::Result result;
        size_t size;
    };
    const Case cases[] = {
        {full, shell::CMappedFile::Result::kOk, 16},
        {empty, shell::CMappedFile::Result::kEmpty, 0},
        {folder + L"missing.txt", shell::CMappedFile::Result::kFailed, 0},
    };
    for (const Case& c : cases) {
        shell::CMappedFile file;
        EXPECT_EQ(int(file.Open(c.path)), int(c.result)) << std::string(c.path.begin(), c.path.end());
        EXPECT_EQ(file.size(), c.size);
        if (c.size)
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.data()), file.size()),
                      "three\nlines\nhere");
    }
    // Mapped, the file stays open for others to write (shared for writing).
    shell::CMappedFile held;
    ASSERT_EQ(held.Open(full), shell::CMappedFile::Result::kOk);
    const shell::CUniqueHandle writer(CreateFileW(
        full.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(writer);
}

TEST(Owners, TheClipboardIsClosedWithItsGuard) {
    {
        const shell::CClipboardGuard guard(nullptr);
        ASSERT_TRUE(guard.opened());
    }
    EXPECT_FALSE(CloseClipboard()) << "the guard left the clipboard open";
}
