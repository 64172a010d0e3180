#include "base/uTextFile.h"

#include "base/uErrors.h"
#include "base/uNumberText.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
std::string SystemMessage(int err)
{
    return std::strerror(err);
}
}  // namespace

namespace {
// Writes |Value| (finite, non-zero) as d.dddddddddE+dd, rounded as the exact binary value
// to ten digits, ties to even, as the library's scientific formatting does; false when
// the value is out of the range the 128-bit arithmetic below covers exactly.
bool ExactScientific10(float Value, char* Out)
{
    using u128 = unsigned __int128;
    uint32_t bits;
    std::memcpy(&bits, &Value, sizeof bits);
    const int biased = int((bits >> 23) & 0xFF);
    if (biased == 0 || biased == 0xFF)
        return false;  // subnormals and non-finite values take the library's path
    const uint64_t m = (bits & 0x7FFFFF) | 0x800000;
    const int e = biased - 150;  // |Value| = m * 2^e
    static constexpr auto kPow10 = [] {
        std::array<u128, 39> p{};
        p[0] = 1;
        for (size_t i = 1; i < p.size(); ++i)
            p[i] = p[i - 1] * 10;
        return p;
    }();
    constexpr uint64_t kLow = 1000000000ull, kHigh = 10000000000ull;
    // floor(log10 |Value|), or one below it: 78913 / 2^18 is just under log10(2).
    int k = ((biased - 127) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int p = 9 - k;  // N = |Value| * 10^p, wanted in [1e9, 1e10)
        u128 whole, rest, half;
        bool exactHalfUnit = false;
        if (p >= 0 && p <= 12 && e < 0 && e > -64) {
            // Most values of a mesh: m * 10^p stays below 2^64.
            const uint64_t scaled = m * static_cast<uint64_t>(kPow10[size_t(p)]);
            whole = scaled >> -e;
            rest = scaled & ((uint64_t{1} << -e) - 1);
            half = uint64_t{1} << (-e - 1);
            exactHalfUnit = true;
        } else if (p >= 0) {
            if (p > 27 || e < -120)
                return false;
            const u128 scaled = u128(m) * kPow10[size_t(p)];  // < 2^114
            if (e >= 0) {
                if (e > 13)
                    return false;
                whole = scaled << e;
                rest = 0;
                half = 1;
            } else {
                whole = scaled >> -e;
                rest = scaled & ((u128(1) << -e) - 1);
                half = u128(1) << (-e - 1);
                exactHalfUnit = true;
            }
        } else {
            if (-p > 38 || e < 0 || e + 24 > 127)
                return false;
            const u128 integer = u128(m) << e;
            const u128 divisor = kPow10[size_t(-p)];
            whole = integer / divisor;
            rest = integer % divisor;
            half = divisor / 2;  // divisor is even
            exactHalfUnit = true;
        }
        if (whole >= kHigh) {
            ++k;
            continue;
        }
        if (whole < kLow) {
            --k;
            continue;
        }
        uint64_t n = uint64_t(whole);
        if (exactHalfUnit && (rest > half || (rest == half && (n & 1))))
            ++n;
        int exponent = k;
        if (n == kHigh) {
            n = kLow;
            ++exponent;
        }
        // Two digits at a time: five short dependency chains instead of ten.
        static constexpr auto kPairs = [] {
            std::array<char, 200> t{};
            for (int i = 0; i < 100; ++i) {
                t[size_t(2 * i)] = char('0' + i / 10);
                t[size_t(2 * i + 1)] = char('0' + i % 10);
            }
            return t;
        }();
        // Written straight into place: reading back bytes stored one by one stalls.
        const uint32_t upper = uint32_t(n / 100000), lower = uint32_t(n % 100000);
        Out[0] = char('0' + upper / 10000);
        Out[1] = '.';
        std::memcpy(Out + 2, &kPairs[size_t(2 * (upper / 100 % 100))], 2);
        std::memcpy(Out + 4, &kPairs[size_t(2 * (upper % 100))], 2);
        Out[6] = char('0' + lower / 10000);
        std::memcpy(Out + 7, &kPairs[size_t(2 * (lower / 100 % 100))], 2);
        std::memcpy(Out + 9, &kPairs[size_t(2 * (lower % 100))], 2);
        Out[11] = 'E';
        Out[12] = exponent < 0 ? '-' : '+';
        const int a = exponent < 0 ? -exponent : exponent;
        Out[13] = char('0' + a / 10);
        Out[14] = char('0' + a % 10);
        return true;
    }
    return false;
}
}  // namespace

void AppendFileReal(std::string& Out, float Value)
{
    Value = WrittenFloat(Value);
    if (Value != 0) {
        const size_t at = Out.size();
        Out.resize(at + 16);
        char* text = Out.data() + at;
        if (ExactScientific10(Value, text + 1)) {
            text[0] = Value < 0 ? '-' : ' ';
            return;
        }
        Out.resize(at);
    }
    // Zero, subnormals and extreme exponents: to_chars writes "1.000000000e-40"; float
    // exponents always fit two digits.
    char buf[32];
    buf[0] = ' ';
    const bool negative = std::signbit(Value);
    const auto r = std::to_chars(buf + (negative ? 0 : 1), buf + sizeof buf,
                                 static_cast<double>(Value), std::chars_format::scientific, 9);
    const size_t n = static_cast<size_t>(r.ptr - buf);
    std::replace(buf, buf + n, 'e', 'E');
    Out.append(buf, n);
}

std::string FormatFileReal(float Value)
{
    std::string s;
    AppendFileReal(s, Value);
    return s;
}

std::string FormatFileReals(std::initializer_list<float> Values)
{
    std::string s;
    bool first = true;
    for (float v : Values) {
        if (!first)
            s += ' ';
        AppendFileReal(s, v);
        first = false;
    }
    return s;
}

namespace {
TFileFaultHook FaultHook;

// Asks the test hook first; returns false with errno set when it fails the call.
bool Allowed(TFileCall Call, const std::string& Path)
{
    if (!FaultHook)
        return true;
    const int err = FaultHook(Call, Path);
    if (err == 0)
        return true;
    errno = err;
    return false;
}

// A file-size limit would otherwise kill the editor in the middle of a save; ignored,
// the write fails with EFBIG and the user keeps the session.
void IgnoreFileSizeSignal()
{
    static const bool ignored = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)ignored;
}

bool WriteAll(int Fd, const char* Data, size_t Size, const std::string& Path)
{
    while (Size > 0) {
        if (!Allowed(TFileCall::Write, Path))
            return false;
        const ssize_t n = ::write(Fd, Data, Size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Data += n;
        Size -= static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

void SetFileFaultHook(TFileFaultHook Hook)
{
    FaultHook = std::move(Hook);
}

TTextFileWriter::TTextFileWriter(const std::string& FileName)
    : FileName(FileName), ReportedName(FileName)
{
    Open(O_WRONLY | O_CREAT | O_TRUNC, 0666);
}

TTextFileWriter::TTextFileWriter(const std::string& FileName, unsigned Mode,
                                 const std::string& ReportedName)
    : FileName(FileName), ReportedName(ReportedName.empty() ? FileName : ReportedName)
{
    Open(O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, Mode);
}

void TTextFileWriter::Open(int Flags, unsigned Mode)
{
    IgnoreFileSizeSignal();
    if (!Allowed(TFileCall::Create, FileName) ||
        (File = ::open(FileName.c_str(), Flags | O_CLOEXEC, static_cast<mode_t>(Mode))) < 0) {
        const int err = errno;
        File = -1;
        EInOutError error("Cannot create file \"" + ReportedName + "\": " + SystemMessage(err));
        errno = err;  // the caller may tell a read-only folder by it
        throw error;
    }
    Buffer.reserve(1 << 20);
}

TTextFileWriter::~TTextFileWriter()
{
    if (File >= 0)
        ::close(File);
}

void TTextFileWriter::Fail(const char* What, int Error)
{
    if (File >= 0)
        ::close(File);
    File = -1;
    throw EInOutError(std::string(What) + " file \"" + ReportedName +
                      "\": " + SystemMessage(Error));
}

void TTextFileWriter::WriteLine(std::string_view Line)
{
    if (File < 0)
        throw EInOutError("File \"" + ReportedName + "\" is closed");
    Buffer.append(Line);
    Buffer.append("\r\n");
    if (Buffer.size() >= (1 << 20))
        Flush();
}

void TTextFileWriter::Flush()
{
    if (Buffer.empty())
        return;
    if (!WriteAll(File, Buffer.data(), Buffer.size(), FileName))
        Fail("Cannot write", errno);
    Buffer.clear();
}

void TTextFileWriter::Close()
{
    if (File < 0)
        return;
    Flush();
    if (!Allowed(TFileCall::Sync, FileName) || ::fsync(File) != 0)
        Fail("Cannot write", errno);
    const int fd = File;
    File = -1;
    // Each failure reports its own errno, read at once: nothing in between may change it.
    if (!Allowed(TFileCall::Close, FileName)) {
        const int err = errno;
        ::close(fd);
        throw EInOutError("Cannot close file \"" + ReportedName + "\": " + SystemMessage(err));
    }
    if (::close(fd) != 0)
        throw EInOutError("Cannot close file \"" + ReportedName + "\": " + SystemMessage(errno));
}

namespace {
// The file a save writes: FileName, or the file a chain of symbolic links at FileName
// ends in (which need not exist yet).
std::string ResolveSaveTarget(const std::string& FileName)
{
    std::string path = FileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size())
            throw EInOutError("Cannot follow the link \"" + FileName +
                              "\": " + SystemMessage(n < 0 ? errno : ENAMETOOLONG));
        target.resize(static_cast<size_t>(n));
        const std::filesystem::path t(target);
        path = t.is_absolute() ? target : (std::filesystem::path(path).parent_path() / t).string();
    }
    throw EInOutError("Cannot follow the link \"" + FileName + "\": " + SystemMessage(ELOOP));
}

// 0 when nothing is at Path, else lstat's answer in St.
bool Exists(const std::string& Path, struct stat& St)
{
    return ::lstat(Path.c_str(), &St) == 0;
}

bool DeleteFile(const std::string& Path)
{
    return Allowed(TFileCall::Delete, Path) && ::unlink(Path.c_str()) == 0;
}

// Copies the regular file From to To (which must not exist), synced; false with errno.
bool CopyFile(const std::string& From, const std::string& To, mode_t Mode)
{
    if (!Allowed(TFileCall::Copy, To))
        return false;
    const int in = ::open(From.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(To.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, Mode);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        errno = err;
        return false;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!WriteAll(out, buffer.data(), static_cast<size_t>(n), To)) {
            ok = false;
            break;
        }
    }
    ok = ok && ::fsync(out) == 0;
    const int err = errno;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (!ok) {
        ::unlink(To.c_str());
        errno = err ? err : EIO;
    }
    return ok;
}

std::string FolderOf(const std::string& Path)
{
    const std::string folder = std::filesystem::path(Path).parent_path().string();
    return folder.empty() ? "." : folder;
}

void SyncFolderOf(const std::string& Path)
{
    if (!Allowed(TFileCall::SyncFolder, Path))
        return;
    const std::string folder = FolderOf(Path);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

std::string WithReason(const std::string& Message, int Error)
{
    return Message + "\r\n" + SystemMessage(Error);
}

// Whether a file is at Target (its lstat in Old); raises when the save may not replace it.
EInOutError ReadOnlyFolderError(const std::string& Quoted, const std::string& Folder, int Error)
{
    return EInOutError("Cannot save " + Quoted + ": the file is read-only: its folder \"" + Folder +
                       "\" does not allow changes (" + SystemMessage(Error) + ").");
}

bool CheckSaveTarget(const std::string& Target, const std::string& Quoted, struct stat& Old)
{
    const bool existed = Exists(Target, Old);
    if (existed && S_ISDIR(Old.st_mode))
        throw EInOutError("Cannot save " + Quoted + ": a folder has that name.");
    if (existed && !S_ISREG(Old.st_mode))
        throw EInOutError("Cannot save " + Quoted + ": it is not a regular file.");
    if (existed &&
        ((Old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(Target.c_str(), W_OK) != 0))
        throw EInOutError("Cannot save " + Quoted + ": the file is read-only.");
    // The new file is made beside the old one: a folder that takes no new files makes
    // the file read-only for a save, whatever its own permission bits say.
    const std::string folder = FolderOf(Target);
    if (::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS))
        throw ReadOnlyFolderError(Quoted, folder, errno);
    return existed;
}

// Whether Path is, without following a link, the regular file Device and Inode name.
bool IsSameFile(const std::string& Path, dev_t Device, ino_t Inode)
{
    struct stat st;
    return ::lstat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == Device &&
           st.st_ino == Inode;
}

EInOutError TemporaryReplacedError(const std::string& FileName, const std::string& Temporary)
{
    return EInOutError("Cannot save \"" + FileName + "\": its temporary file \"" + Temporary +
                       "\" was replaced by another file.");
}

}  // namespace

TNewFile::TNewFile(const std::string& FileName, unsigned Mode)
{
    Create(FileName, Mode);
    if (Fd < 0)
        throw EInOutError("Cannot create file \"" + FileName + "\": " + SystemMessage(errno));
}

TNewFile TNewFile::Beside(const std::string& Target, unsigned Mode)
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 random{std::random_device{}()};
    TNewFile file;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = Target + ".";
        for (int i = 0; i < 6; ++i)
            name += kLetters[random() % (sizeof kLetters - 1)];
        name += ".tmp";
        file.Create(name, Mode);
        if (file.Fd >= 0 || errno != EEXIST)
            break;
    }
    if (file.Fd < 0)
        throw EInOutError("Cannot create a temporary file beside \"" + Target +
                          "\": " + SystemMessage(errno));
    return file;
}

// Leaves Fd -1 and the name empty (nothing to delete: the name may be another's file)
// when the file cannot be created.
void TNewFile::Create(const std::string& Name, unsigned Mode)
{
    if (!Allowed(TFileCall::Create, Name))
        return;
    Fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                static_cast<mode_t>(Mode));
    struct stat st;
    if (Fd >= 0 && ::fstat(Fd, &st) == 0) {
        Device = st.st_dev;
        Inode = st.st_ino;
    }
    if (Fd >= 0 && !Allowed(TFileCall::WriteNew, Name)) {
        const int err = errno;
        ::close(Fd);
        ::unlink(Name.c_str());
        Fd = -1;
        errno = err;
    }
    if (Fd >= 0)
        FileName = Name;
}

TNewFile::TNewFile(TNewFile&& Other) noexcept
    : FileName(std::move(Other.FileName)), Fd(Other.Fd), Device(Other.Device), Inode(Other.Inode),
      Kept(Other.Kept)
{
    Other.Fd = -1;
    Other.Kept = true;
}

TNewFile::~TNewFile()
{
    if (Fd >= 0)
        ::close(Fd);
    // Whatever now has the name goes with it: a file, or a link put in its place.
    if (!Kept && !FileName.empty())
        ::unlink(FileName.c_str());
}

void TNewFile::Finish(const std::string& ReportedName)
{
    const int fd = Fd;
    Fd = -1;
    const bool synced = Allowed(TFileCall::Sync, FileName) && ::fsync(fd) == 0;
    const int err = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed)
        throw EInOutError("Cannot write file \"" + ReportedName +
                          "\": " + SystemMessage(synced ? errno : err));
}

bool TNewFile::HasItsName() const
{
    return IsSameFile(FileName, static_cast<dev_t>(Device), static_cast<ino_t>(Inode));
}

void SaveFileSafely(const std::string& FileName,
                    const std::function<void(int TemporaryFile)>& Write)
{
    const std::string target = ResolveSaveTarget(FileName);
    const std::string quoted = "\"" + FileName + "\"";
    struct stat old {};
    const bool existed = CheckSaveTarget(target, quoted, old);
    const mode_t mode = existed ? (old.st_mode & 07777) : 0666;
    TNewFile temp = TNewFile::Beside(target, mode);
    if (existed) {
        ::fchmod(temp.Descriptor(), mode);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(temp.Descriptor(), old.st_uid, old.st_gid);
    }
    Write(temp.Descriptor());
    // The content on disk before the name points at it.
    temp.Finish(FileName);
    if (!temp.HasItsName())
        throw TemporaryReplacedError(FileName, temp.Name());
    if (!Allowed(TFileCall::Rename, target) || ::rename(temp.Name().c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        throw EInOutError(WithReason("Unable to replace file: " + FileName, renameError));
    }
    temp.Keep();
    SyncFolderOf(target);
}

void SaveTextFileSafely(const std::string& FileName, const TSafeSaveMessages& Messages,
                        const std::function<void(TTextLineSink&)>& WriteLines)
{
    const std::string target = ResolveSaveTarget(FileName);
    const std::string temp = target + ".tmp";
    const std::string backup = target + ".bak";
    const std::string quoted = "\"" + FileName + "\"";

    struct stat old {};
    const bool existed = CheckSaveTarget(target, quoted, old);
    const auto readOnlyFolder = [&](int Error) {
        return ReadOnlyFolderError(quoted, FolderOf(target), Error);
    };

    struct stat st;
    if (Exists(temp, st)) {
        if (!S_ISREG(st.st_mode))
            throw EInOutError("Cannot save " + quoted + ": \"" + temp +
                              "\" is in the way and is not a regular file.");
        if (!DeleteFile(temp))
            throw EInOutError("Cannot delete the old temporary file \"" + temp +
                              "\": " + SystemMessage(errno));
    }

    // 1. The new content, complete and on disk, under the temporary name. It is written
    // through the descriptor that created it; the name is only renamed, once it is
    // known to be the same file.
    struct stat written {};
    const mode_t mode = existed ? (old.st_mode & 07777) : 0666;
    {
        std::optional<TTextFileWriter> created;
        try {
            created.emplace(temp, mode, FileName);
        } catch (const EInOutError&) {
            const int err = errno;
            if (err == EACCES || err == EPERM || err == EROFS)
                throw readOnlyFolder(err);
            throw;
        }
        TTextFileWriter& writer = *created;
        ::fstat(writer.Descriptor(), &written);
        try {
            if (existed) {
                // The bits asked for at creation pass through the umask; set them as they were.
                ::fchmod(writer.Descriptor(), mode);
                if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
                    (void)!::fchown(writer.Descriptor(), old.st_uid, old.st_gid);
            }
            WriteLines(writer);
            writer.Close();
        } catch (...) {
            ::unlink(temp.c_str());
            throw;
        }
    }

    // 2. The old content kept under the backup name, without moving it away.
    bool backedUp = false;
    if (existed) {
        int err = 0;
        if (Exists(backup, st) && !S_ISREG(st.st_mode))
            err = EISDIR;
        else if (Exists(backup, st) && !DeleteFile(backup))
            err = errno;
        else if (!Allowed(TFileCall::Link, backup) || ::link(target.c_str(), backup.c_str()) != 0) {
            err = errno;
            // No hard links on this file system: a copy does the same job.
            const bool noLinks = err == EPERM || err == EXDEV || err == EMLINK || err == ENOTSUP ||
                                 err == EOPNOTSUPP || err == ENOSYS;
            if (noLinks)
                err = CopyFile(target, backup, mode) ? 0 : errno;
        }
        if (err != 0) {
            ::unlink(temp.c_str());
            if (err == EISDIR)
                throw EGeneralError(Messages.BackupFailed + FileName + "\r\n\"" + backup +
                                    "\" is in the way and is not a regular file.");
            throw EGeneralError(WithReason(Messages.BackupFailed + FileName, err));
        }
        backedUp = true;
    }

    // 3. One atomic step: the name holds the old file until it holds the new one.
    if (!IsSameFile(temp, written.st_dev, written.st_ino)) {
        ::unlink(temp.c_str());
        if (backedUp)
            ::unlink(backup.c_str());
        throw TemporaryReplacedError(FileName, temp);
    }
    if (!Allowed(TFileCall::Rename, target) || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        if (backedUp)
            ::unlink(backup.c_str());
        throw EGeneralError(WithReason(Messages.ReplaceFailed + FileName, err));
    }
    SyncFolderOf(target);
    // The save is complete; a backup that cannot be deleted is only left behind.
    if (backedUp)
        DeleteFile(backup);
}

bool TTextLineSource::ReadLineView(std::string_view& Line)
{
    const bool read = ReadLine(Scratch);
    Line = Scratch;
    return read;
}

TStringLineSource TStringLineSource::FromText(std::string_view Text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < Text.size()) {
        size_t end = Text.find('\n', pos);
        if (end == std::string_view::npos)
            end = Text.size();
        std::string_view line = Text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        pos = end + 1;
    }
    return TStringLineSource(std::move(lines));
}

bool TStringLineSource::ReadLine(std::string& Line)
{
    if (Next >= Lines.size()) {
        Line.clear();
        return false;
    }
    Line = Lines[Next++];
    return true;
}

bool TStringLineSource::ReadLineView(std::string_view& Line)
{
    if (Next >= Lines.size()) {
        Line = {};
        return false;
    }
    Line = Lines[Next++];
    return true;
}

size_t Utf8CharCount(std::string_view Text)
{
    return static_cast<size_t>(std::count_if(Text.begin(), Text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool NameTooLong(std::string_view Name)
{
    return Name.size() > kMaxNameChars && Utf8CharCount(Name) > kMaxNameChars;
}

std::string NameTooLongMessage()
{
    return "A name can have at most " + std::to_string(kMaxNameChars) + " characters.";
}

void CheckNameLength(std::string_view Name)
{
    if (NameTooLong(Name))
        throw EGeneralError(NameTooLongMessage());
}

std::string TextExcerpt(std::string_view Text, size_t MaxChars)
{
    if (Text.size() <= MaxChars)
        return std::string(Text);
    return std::string(Text.substr(0, MaxChars)) + "...";
}

TTextFileReader::TTextFileReader(const std::string& FileName, size_t MaxLineBytes)
    : FileName(FileName), MaxLineBytes(MaxLineBytes)
{
    // Not blocking on a pipe's open: only regular files are read.
    File = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (File < 0 || ::fstat(File, &st) != 0) {
        const int err = errno;
        if (File >= 0)
            ::close(File);
        File = -1;
        throw EInOutError("Cannot open file \"" + FileName + "\": " + SystemMessage(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(File);
        File = -1;
        throw EInOutError("Cannot open file \"" + FileName + "\": " +
                          (S_ISDIR(st.st_mode) ? SystemMessage(EISDIR)
                                               : std::string("it is not a regular file")));
    }
    ::fcntl(File, F_SETFL, ::fcntl(File, F_GETFL) & ~O_NONBLOCK);
    FileSize = static_cast<uint64_t>(st.st_size);
    // A small file gets a small buffer (a load of a few lines must not pay for a large
    // one); it grows only for a line longer than itself, to the longest line and its end.
    Buffer.resize(static_cast<size_t>(
        std::clamp<uint64_t>(FileSize + 2, 4096, std::max(kBlockSize, MaxLineBytes + 2))));
}

TTextFileReader::~TTextFileReader()
{
    if (File >= 0)
        ::close(File);
}

bool TTextFileReader::Fill() const
{
    if (Eof)
        return false;
    if (Begin > 0) {
        std::memmove(Buffer.data(), Buffer.data() + Begin, End - Begin);
        Consumed += Begin;
        End -= Begin;
        Begin = 0;
    }
    if (End == Buffer.size()) {
        // One line longer than the buffer, still within the bound (the caller checked).
        assert(Buffer.size() < MaxLineBytes + 2);
        Buffer.resize(std::min(Buffer.size() * 2, MaxLineBytes + 2));
    }
    for (;;) {
        const ssize_t n = ::read(File, Buffer.data() + End, Buffer.size() - End);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EInOutError("Cannot read file \"" + FileName + "\": " + SystemMessage(errno));
        if (n == 0) {
            Eof = true;
            return false;
        }
        End += static_cast<size_t>(n);
        return true;
    }
}

void TTextFileReader::LineTooLong() const
{
    throw EInOutError("Cannot read file \"" + FileName + "\": line " +
                      std::to_string(LinesRead + 1) + " is longer than " +
                      std::to_string(MaxLineBytes) + " characters.");
}

bool TTextFileReader::ReadLineView(std::string_view& Line)
{
    size_t searched = 0;  // bytes after Begin known to hold no line end
    for (;;) {
        const char* first = Buffer.data() + Begin;
        const size_t unread = End - Begin;
        const void* nl = std::memchr(first + searched, '\n', unread - searched);
        size_t len;
        if (nl != nullptr) {
            len = static_cast<size_t>(static_cast<const char*>(nl) - first);
            // A CR before the line end is not part of the line.
            if (len > MaxLineBytes + (len > 0 && first[len - 1] == '\r'))
                LineTooLong();
            Begin += len + 1;
        } else {
            searched = unread;
            // MaxLineBytes and a CR, with no line end yet: too long, whatever follows.
            if (unread > MaxLineBytes + 1)
                LineTooLong();
            if (Fill())
                continue;  // Fill may have moved the bytes: look again from the front
            if (Begin >= End) {
                Line = {};
                return false;
            }
            // The last line, without a line end.
            first = Buffer.data() + Begin;
            len = End - Begin;
            if (len > MaxLineBytes + (first[len - 1] == '\r'))
                LineTooLong();
            Begin = End;
        }
        if (len > 0 && first[len - 1] == '\r')
            --len;
        ++LinesRead;
        Line = std::string_view(first, len);
        return true;
    }
}

bool TTextFileReader::ReadLine(std::string& Line)
{
    std::string_view view;
    const bool read = ReadLineView(view);
    Line.assign(view);
    return read;
}

bool TTextFileReader::AtEnd() const
{
    return Begin >= End && !Fill();
}

std::optional<uint64_t> TTextFileReader::RemainingBytes() const
{
    // A file that grows while it is read may hold more; never less than what is buffered.
    const uint64_t done = Consumed + Begin;
    return std::max<uint64_t>(done < FileSize ? FileSize - done : 0, End - Begin);
}

namespace {

// Calls Item(view) for each blank-separated item until it returns False.
template <class TItem>
void ForEachBlankItem(std::string_view Text, TItem&& Item)
{
    size_t i = 0;
    while (i < Text.size()) {
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) <= 32)
            ++i;
        const size_t start = i;
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) > 32)
            ++i;
        if (i > start && !Item(Text.substr(start, i - start)))
            return;
    }
}

}  // namespace

std::vector<std::string_view> SplitBlanks(std::string_view Text)
{
    std::vector<std::string_view> out;
    ForEachBlankItem(Text, [&](std::string_view Item) {
        out.push_back(Item);
        return true;
    });
    return out;
}

size_t SplitBlanksInto(std::string_view Text, std::span<std::string_view> Out)
{
    size_t n = 0;
    ForEachBlankItem(Text, [&](std::string_view Item) {
        if (n == Out.size())
            return false;
        Out[n++] = Item;
        return true;
    });
    return n;
}
