#pragma once
// Line-oriented text files: the scene file and the sections inside it. Lines end with
// CR LF on writing; readers accept CR LF or LF. Writes are buffered and checked: a
// full disk or a failed close raises EInOutError, never a silent truncation.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The 16-character real of the scene file: sign or blank, d.ddddddddd, "E", sign and
// two exponent digits (" 1.000000000E+00", "-2.500000000E-01"). Non-finite values and
// -0 are written as 0.
std::string FormatFileReal(float Value);
void AppendFileReal(std::string& Out, float Value);
// Reals joined by one blank each.
std::string FormatFileReals(std::initializer_list<float> Values);

// Accumulates lines; sections write into it without knowing the file.
class TTextLineSink {
public:
    virtual ~TTextLineSink() = default;
    virtual void WriteLine(std::string_view Line) = 0;
};

class TStringLineSink : public TTextLineSink {
public:
    void WriteLine(std::string_view Line) override { Lines.emplace_back(Line); }
    std::vector<std::string> Lines;
};

// The file-system calls of the writer and the safe save. A hook set for tests is asked
// before each one; a non-zero answer fails that call with that errno.
// WriteNew is asked when a new file has been created and before anything is written to it.
enum class TFileCall {
    Create,
    Write,
    Sync,
    Close,
    Delete,
    Link,
    Copy,
    Rename,
    SyncFolder,
    WriteNew
};
using TFileFaultHook = std::function<int(TFileCall Call, const std::string& Path)>;
void SetFileFaultHook(TFileFaultHook Hook);

class TTextFileWriter : public TTextLineSink {
public:
    // Creates or truncates FileName.
    explicit TTextFileWriter(const std::string& FileName);
    // Creates FileName, which must not exist, with the permission bits Mode. Errors name
    // ReportedName (the file the user knows) when it is given.
    TTextFileWriter(const std::string& FileName, unsigned Mode,
                    const std::string& ReportedName = {});
    ~TTextFileWriter() override;  // closes without raising; call Close to see errors
    TTextFileWriter(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(const TTextFileWriter&) = delete;

    void WriteLine(std::string_view Line) override;
    // Writes what is buffered, syncs to disk and closes; raises EInOutError naming the
    // call that failed and its reason.
    void Close();
    int Descriptor() const { return File; }

private:
    void Open(int Flags, unsigned Mode);
    void Flush();
    [[noreturn]] void Fail(const char* What, int Error);
    std::string FileName;
    std::string ReportedName;  // the name errors give
    int File = -1;
    std::string Buffer;
};

// Replaces FileName with the lines WriteLines writes, so that the name holds the old or
// the new content at every moment, crash included: the new text goes to FileName +
// ".tmp" beside the file, synced; the old file is kept as FileName + ".bak" (a hard link,
// or a copy where links are not possible); the temporary file is renamed over the old
// one in one step; the backup is deleted. A symbolic link is written through to its
// target and stays a link; the file keeps its permission bits. Only regular files are
// ever replaced or deleted: a folder, a read-only file or anything else at one of the
// three names refuses the save. On failure the old file is untouched, the temporary
// file is gone and EInOutError or EGeneralError says why; the two messages below start
// the errors of the backup and of the final rename (the name and the reason follow).
struct TSafeSaveMessages {
    std::string BackupFailed = "Unable to create backup: ";
    std::string ReplaceFailed = "Unable to replace file: ";
};
void SaveTextFileSafely(const std::string& FileName, const TSafeSaveMessages& Messages,
                        const std::function<void(TTextLineSink&)>& WriteLines);

// A file that did not exist, created exclusively and never through a link (O_EXCL,
// O_NOFOLLOW), to be written through its descriptor only: its name may be swapped for
// a link by someone else meanwhile, so the name is only used to move or delete it.
class TNewFile {
public:
    // Creates FileName, which must not exist; raises EInOutError.
    TNewFile(const std::string& FileName, unsigned Mode);
    // Creates Target, a dot, six random letters or digits and ".tmp"; another name is
    // drawn while one is taken.
    static TNewFile Beside(const std::string& Target, unsigned Mode);
    TNewFile(TNewFile&& Other) noexcept;
    TNewFile& operator=(TNewFile&&) = delete;
    TNewFile(const TNewFile&) = delete;
    ~TNewFile();  // closes, and deletes the file unless it was kept
    int Descriptor() const { return Fd; }
    const std::string& Name() const { return FileName; }
    // Syncs and closes; raises EInOutError naming ReportedName.
    void Finish(const std::string& ReportedName);
    // Whether the name still is this file (and not, say, a link put in its place).
    bool HasItsName() const;
    // The file has been moved to its final name: not deleted at destruction.
    void Keep() { Kept = true; }

private:
    TNewFile() = default;
    void Create(const std::string& Name, unsigned Mode);
    std::string FileName;
    int Fd = -1;
    unsigned long long Device = 0, Inode = 0;
    bool Kept = false;
};

// Replaces FileName with a file that Write writes through the descriptor it is given
// (of a new, empty file beside FileName, see TNewFile::Beside; Write leaves it open), in
// one rename once that file is complete and on disk. No other file is ever replaced or
// deleted. Links, permission bits and what may be replaced as above. When Write or a
// file-system call raises, FileName is untouched, the temporary file is gone and the
// error goes on.
void SaveFileSafely(const std::string& FileName,
                    const std::function<void(int TemporaryFile)>& Write);

// Hands out lines one at a time.
class TTextLineSource {
public:
    virtual ~TTextLineSource() = default;
    // False at the end of the input (Line is then empty).
    virtual bool ReadLine(std::string& Line) = 0;
    // The same without a copy: Line stays valid until the next read.
    virtual bool ReadLineView(std::string_view& Line);
    virtual bool AtEnd() const = 0;
    // An upper bound of the bytes still to come, when the source knows one: a reader can
    // size an array by it without trusting a count it was given.
    virtual std::optional<uint64_t> RemainingBytes() const { return std::nullopt; }

private:
    std::string Scratch;
};

class TStringLineSource : public TTextLineSource {
public:
    explicit TStringLineSource(std::vector<std::string> Lines) : Lines(std::move(Lines)) {}
    // Splits Text at LF, dropping a CR before each LF.
    static TStringLineSource FromText(std::string_view Text);
    bool ReadLine(std::string& Line) override;
    bool ReadLineView(std::string_view& Line) override;
    bool AtEnd() const override { return Next >= Lines.size(); }

private:
    std::vector<std::string> Lines;
    size_t Next = 0;
};

// The longest line a reader takes. A scene file's longest lines are its names and paths;
// everything else (mesh, modifier, animation and floor-plan lines) stays below a few
// hundred characters. A longer line is not one this program wrote.
constexpr size_t kMaxTextLineBytes = 1 << 20;

// The longest name a user can give a node or a plan, in characters. Four bytes a
// character at most keeps every such name far inside a line the reader takes.
constexpr size_t kMaxNameChars = 65536;
// UTF-8 characters of Text (bytes that do not continue a sequence).
size_t Utf8CharCount(std::string_view Text);
bool NameTooLong(std::string_view Name);
// "A name can have at most 65536 characters."
std::string NameTooLongMessage();
// Raises EGeneralError with that message for a name over the limit.
void CheckNameLength(std::string_view Name);

// At most MaxChars characters of Text for a message, "..." marking a cut: an error never
// carries more than a short excerpt of a file.
std::string TextExcerpt(std::string_view Text, size_t MaxChars = 80);

// Reads the file through one buffer of bounded size (at most the block size or the
// longest line), so reading costs no memory in proportion to the file. A line longer than
// MaxLineBytes is refused as soon as it is seen, naming its line number, before the rest of it is
// read.
class TTextFileReader : public TTextLineSource {
public:
    // EInOutError when unreadable.
    explicit TTextFileReader(const std::string& FileName, size_t MaxLineBytes = kMaxTextLineBytes);
    ~TTextFileReader() override;
    TTextFileReader(const TTextFileReader&) = delete;
    TTextFileReader& operator=(const TTextFileReader&) = delete;

    bool ReadLine(std::string& Line) override;
    bool ReadLineView(std::string_view& Line) override;
    bool AtEnd() const override;
    std::optional<uint64_t> RemainingBytes() const override;

    static constexpr size_t kBlockSize = 1 << 20;

private:
    // Moves what is unread to the front and reads more; false when nothing more came.
    bool Fill() const;
    [[noreturn]] void LineTooLong() const;
    std::string FileName;
    size_t MaxLineBytes;
    int64_t LinesRead = 0;
    int File = -1;
    uint64_t FileSize = 0;
    mutable uint64_t Consumed = 0;  // bytes of the file before Buffer[Begin]
    mutable std::vector<char> Buffer;
    mutable size_t Begin = 0, End = 0;
    mutable bool Eof = false;
};

// Splits at runs of characters with codes 0..32.
std::vector<std::string_view> SplitBlanks(std::string_view Text);
// The same into Out, without allocating: the number of items stored, at most Out's size
// (items beyond it are not looked for).
size_t SplitBlanksInto(std::string_view Text, std::span<std::string_view> Out);
