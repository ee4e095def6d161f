// Find in files: a searcher that walks a folder and reports every line that
// contains a plain string or matches an expression, in one line format that
// the output window and the result document's highlighting parse:
//   #<full path>:(line from 1,column from 0):whole line text
// The search runs on a worker thread; it reaches the user interface only
// through the progress call-back and through its output. Inside, the walk
// and the reading of the files run ahead on threads of their own, while the
// calling thread matches and reports, file by file in walk order.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Owners.h"

namespace GrepUtil {

// The progress dialog's side, called from the worker thread.
struct IGrepCallBack {
    virtual void Progress(const wchar_t* path, int total) = 0;  // 0: the file being searched
    virtual bool KeepGoing() = 0;                               // 1: false once Stop was pressed
    virtual void Finished() = 0;                                // 2: the search ended
   protected:
    ~IGrepCallBack() = default;
};

struct GrepOptions {
    std::wstring pattern;
    bool matchCase = false;
    bool regex = false;
    bool subfolders = true;
    bool invert = false;     // report the lines that do not match (column 0)
    bool namesOnly = false;  // one line per file with a hit: its path
    int codePage = -1;       // -1: detect per file
    std::wstring fileTypes;  // "*.cpp;*.h"; empty or one "*.*" entry: every file
};

// What a search met besides its hits.
struct GrepStats {
    int files = 0;              // files searched (admitted, read and of a code page that converts)
    int skipped = 0;            // files that could not be opened or mapped, or not converted
    bool tooComplex = false;    // the expression ran out of its budget: the search stopped
    bool stopped = false;       // Stop was pressed
    std::wstring patternError;  // the engine refused the expression: nothing was searched
};

class CGreper {
   public:
    CGreper();
    virtual ~CGreper();  // 0
    CGreper(const CGreper&) = delete;
    CGreper& operator=(const CGreper&) = delete;

    // Stores the options, builds the filter and compiles the expression.
    void Configure(const GrepOptions& options);
    // Walks `folder`, calls Finish and then the call-back's Finished (when
    // given); answers the number of reported lines.
    int Run(const std::wstring& folder, IGrepCallBack* callBack);

    // The expression steps a search starts with (tests); each line searched
    // alone adds to them in proportion to its length.
    void SetBudget(uint64_t steps) { budgetSteps_ = steps; }
    // The threads that read files ahead of the matching (1 to 8, 2 unless
    // set; benchmarks and tests).
    void SetReaders(int readers) { readers_ = readers < 1 ? 1 : readers > 8 ? 8 : readers; }

    const GrepOptions& Options() const { return options_; }
    const GrepStats& Stats() const { return stats_; }
    int Total() const { return total_; }

   protected:
    virtual void Report(const std::wstring& path, int line, int column, const wchar_t* text,
                        int length) = 0;                             // 1
    virtual void Finish(int total, const std::wstring& folder) = 0;  // 2
    // Called on the walk's thread for each admitted file as it is listed,
    // before it is read (tests).
    virtual void Listed(const std::wstring& path) { (void)path; }  // 3

    GrepOptions options_;
    GrepStats stats_;
    int total_ = 0;
    DWORD startTick_ = 0;
    uint64_t budgetSteps_ = 50000000;
    int readers_ = 2;

   private:
    void SearchFile(const std::wstring& path, const uint8_t* data, size_t n);
    bool MayHold(const uint8_t* bytes, size_t length) const;
    size_t NextCandidate(const uint8_t* bytes, size_t from, size_t to, size_t size) const;
    int Convert(const uint8_t* bytes, size_t length, int codePage, bool keepsAscii);
    bool Match(const wchar_t* text, int length, int* column);
    bool SearchBlock(const std::wstring& path);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Whether the filter (";" + file types + ";", or empty for every file)
// admits the file name: a name without an extension always is.
bool FilterAdmits(const std::wstring& filter, const std::wstring& fileName);

// Results into the output window: `append` is called from the worker with
// each piece of text, in order (the caller marshals it to the window). Hits
// come in batches: one is handed on when it holds 100 lines or when a hit
// comes 50 ms or more after the batch began; the rest comes with the
// summary.
class COutputGreper : public CGreper {
   public:
    explicit COutputGreper(std::function<void(const std::wstring&)> append);

   protected:
    void Report(const std::wstring& path, int line, int column, const wchar_t* text, int length) override;
    void Finish(int total, const std::wstring& folder) override;

   private:
    void Flush();
    std::function<void(const std::wstring&)> append_;
    std::wstring pending_;
    int pendingLines_ = 0;
    DWORD lastFlush_ = 0;
};

// Results into a temporary "FT_" file (UTF-16LE, no byte-order mark) in the
// system's temporary folder, with the elapsed time in its summary; the
// caller opens it as a new document when the search has finished.
class CFileGreper : public CGreper {
   public:
    CFileGreper();
    ~CFileGreper() override;
    const std::wstring& Path() const { return path_; }
    // Whether the file was created (it is closed again by Finish).
    bool Created() const { return created_; }
    // The file was handed to a document, which deletes it when it closes;
    // otherwise the searcher deletes it when it goes (a search abandoned
    // with the frame, a start that failed).
    void Keep() const { keep_ = true; }

   protected:
    void Report(const std::wstring& path, int line, int column, const wchar_t* text, int length) override;
    void Finish(int total, const std::wstring& folder) override;

   private:
    void Write(const std::wstring& text, bool flush);
    shell::CUniqueHandle file_;
    std::wstring path_;
    std::wstring buffer_;
    bool created_ = false;
    mutable bool keep_ = false;
};

}  // namespace GrepUtil
