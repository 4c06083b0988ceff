// The emulated service manager's store on disk: files in a directory.
#include "platform/host/scm_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "platform/errors.h"
#include "platform/scoped_handle.h"

namespace platform::host {
namespace {

// The largest record the store writes or reads. Windows bounds a registry value only by available
// memory; this bound is far above any record a command line can ask for (Linux passes at most
// 6 MiB of arguments, which the record's lines make at most three times as long), so no run of the
// program meets it, while a runaway file is still refused rather than read whole.
constexpr std::size_t kMaxRecordSize = std::size_t{32} << 20;
constexpr const char* kRecordSuffix = ".svc";

struct DirTraits {
    using Type = DIR*;
    static DIR* Invalid() { return nullptr; }
    static void Close(DIR* dir) { ::closedir(dir); }
};
using Dir = ScopedHandle<DirTraits>;

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool HasNul(std::string_view value) { return value.find('\0') != std::string_view::npos; }

// A value that a "Key=Value" line cannot hold as it is: one with a line break.
bool NeedsEncoding(std::string_view value) { return value.find_first_of("\r\n") != std::string_view::npos; }

// The value of a "Key*=" line: '%', CR and LF as "%25", "%0D" and "%0A", every other byte as it is.
std::string EncodeValue(std::string_view value) {
    std::string text;
    for (char c : value) {
        if (c == '%')
            text += "%25";
        else if (c == '\r')
            text += "%0D";
        else if (c == '\n')
            text += "%0A";
        else
            text += c;
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a "Key*=" value back: '%' and two hex digits is that byte, which may not be NUL.
bool DecodeValue(std::string_view text, std::string& value) {
    value.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            value += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
        value += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool ValidState(uint32_t state) { return state >= kServiceStopped && state <= kServicePaused; }

// Refuses what the store would not read back: a name that is no file name, a NUL in a value (no
// value of the service manager's can hold one), an empty dependency, a state or count out of its
// range (ERROR_INVALID_PARAMETER), or a record over the size bound (ERROR_NOT_ENOUGH_MEMORY).
uint32_t CheckStorable(const ServiceEntry& entry, std::size_t textSize) {
    if (!ValidServiceName(entry.name)) return kErrorInvalidName;
    if (HasNul(entry.name) || HasNul(entry.displayName) || HasNul(entry.imagePath) || HasNul(entry.objectName))
        return kErrorInvalidParameter;
    for (const std::string& dependency : entry.dependencies)
        if (dependency.empty() || HasNul(dependency)) return kErrorInvalidParameter;
    if (!ValidState(entry.state) || !ValidState(entry.stateAfterStop) || entry.stopPending < -1)
        return kErrorInvalidParameter;
    for (int pid : entry.openHandles)
        if (pid <= 0) return kErrorInvalidParameter;
    if (textSize > kMaxRecordSize) return kErrorNotEnoughMemory;
    return kErrorSuccess;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

uint32_t SyncDirectory(const std::string& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) return ErrnoToWin32(errno);
    if (::fsync(fd.Get()) != 0) return ErrnoToWin32(errno);
    return kErrorSuccess;
}

// Makes `path` and its parents as directories.
uint32_t MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return ErrnoToWin32(errno);
        if (slash == std::string::npos) break;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return ErrnoToWin32(errno);
    return S_ISDIR(info.st_mode) ? kErrorSuccess : kErrorFileNotFound;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Takes an exclusive flock on `fd`, waiting at most `timeout`: kErrorServiceDatabaseLocked when it
// is still held elsewhere by then.
uint32_t LockWithin(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return kErrorSuccess;
        if (errno != EWOULDBLOCK && errno != EINTR) return ErrnoToWin32(errno);
        if (std::chrono::steady_clock::now() >= deadline) return kErrorServiceDatabaseLocked;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Opens a lock file of the store to lock it: read-write, made if missing, or read-only for a
// caller that may not write the store (flock needs no write access).
Fd OpenLockFile(const std::string& path) {
    Fd lock(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock.Valid() && (errno == EACCES || errno == EROFS || errno == EPERM))
        lock = Fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return lock;
}

// --- On disk ----------------------------------------------------------------------------------

class DiskSession : public StoreSession {
public:
    DiskSession(std::string dir, Fd lock) : dir_(std::move(dir)), lock_(std::move(lock)) {}
    ~DiskSession() override {
        if (lock_.Valid()) ::flock(lock_.Get(), LOCK_UN);
    }

    uint32_t Load(std::string_view name, ServiceEntry& entry) override {
        return LoadFile(LowerName(name), entry);
    }

    uint32_t List(std::vector<ServiceEntry>& entries) override {
        Dir dir(::opendir(dir_.c_str()));
        if (!dir.Get()) return ErrnoToWin32(errno);
        std::vector<std::string> stems;
        errno = 0;
        while (const dirent* item = ::readdir(dir.Get())) {
            std::string_view file = item->d_name;
            // Temporary files and the store's lock never end in ".svc"; a machine's named lock
            // might. Other names that begin with a dot are services' own.
            if (!EndsWith(file, kRecordSuffix) || file.rfind(".lock.", 0) == 0) continue;
            stems.emplace_back(file.substr(0, file.size() - std::string_view(kRecordSuffix).size()));
        }
        if (errno != 0) return ErrnoToWin32(errno);
        std::sort(stems.begin(), stems.end());
        entries.clear();
        for (const std::string& stem : stems) {
            ServiceEntry entry;
            uint32_t error = LoadFile(stem, entry);
            if (error == kErrorServiceDoesNotExist) continue;  // removed by hand meanwhile
            if (error != kErrorSuccess) return error;
            entries.push_back(std::move(entry));
        }
        return kErrorSuccess;
    }

    uint32_t Save(const ServiceEntry& entry) override {
        std::string text;
        if (uint32_t error = FormatRecord(entry, text)) return error;
        std::string temp = dir_ + "/.tmp-XXXXXX";
        Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
        if (!fd.Valid()) return ErrnoToWin32(errno);
        uint32_t error = ErrnoToWin32(WriteAll(fd.Get(), text));
        if (error == kErrorSuccess && ::fchmod(fd.Get(), 0644) != 0) error = ErrnoToWin32(errno);
        if (error == kErrorSuccess && ::fsync(fd.Get()) != 0) error = ErrnoToWin32(errno);
        if (::close(fd.Release()) != 0 && error == kErrorSuccess) error = ErrnoToWin32(errno);
        if (error == kErrorSuccess && ::rename(temp.c_str(), PathOf(LowerName(entry.name)).c_str()) != 0)
            error = ErrnoToWin32(errno);
        if (error != kErrorSuccess) {
            ::unlink(temp.c_str());
            return error;
        }
        return SyncDirectory(dir_);
    }

    uint32_t Remove(std::string_view name) override {
        if (::unlink(PathOf(LowerName(name)).c_str()) != 0)
            return errno == ENOENT ? kErrorServiceDoesNotExist : ErrnoToWin32(errno);
        return SyncDirectory(dir_);
    }

private:
    std::string PathOf(const std::string& stem) const { return dir_ + "/" + stem + kRecordSuffix; }

    uint32_t LoadFile(const std::string& stem, ServiceEntry& entry) {
        if (stem.empty() || stem.find('/') != std::string::npos) return kErrorServiceDoesNotExist;
        Fd fd(::open(PathOf(stem).c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.Valid()) {
            if (errno == ENOENT) return kErrorServiceDoesNotExist;
            if (errno == ENAMETOOLONG) return kErrorInvalidName;
            return ErrnoToWin32(errno);
        }
        std::string text;
        char buffer[4096];
        for (;;) {
            ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
            if (got < 0) {
                if (errno == EINTR) continue;
                return ErrnoToWin32(errno);
            }
            if (got == 0) break;
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > kMaxRecordSize) return kErrorInvalidData;
        }
        if (uint32_t error = ParseEntry(text, entry)) return error;
        return LowerName(entry.name) == stem ? kErrorSuccess : kErrorInvalidData;
    }

    std::string dir_;
    Fd lock_;
};

class DiskStore : public Store {
public:
    explicit DiskStore(std::string dir) : dir_(std::move(dir)) {}

    bool Readable() const override { return ::access(dir_.c_str(), R_OK | X_OK) == 0; }
    bool Writable() const override { return ::access(dir_.c_str(), W_OK | X_OK) == 0; }

    uint32_t Begin(std::unique_ptr<StoreSession>& session) override {
        // A caller that may not create or write the lock file still locks it read-only; one that
        // cannot open it at all only reads, which is safe since records are replaced by rename.
        Fd lock = OpenLockFile(dir_ + "/.lock");
        if (lock.Valid()) {
            if (uint32_t error = AcquireLock(lock.Get())) return error;
        } else if (errno != ENOENT && errno != EACCES && errno != EROFS && errno != EPERM) {
            return ErrnoToWin32(errno);
        }
        session = std::make_unique<DiskSession>(dir_, std::move(lock));
        return kErrorSuccess;
    }

private:
    // Waits a bounded time for the exclusive lock, as the service manager gives up on a database
    // that another caller keeps locked: a run never hangs behind one that is stuck.
    static uint32_t AcquireLock(int fd) { return LockWithin(fd, LockTimeout()); }

    // 10 s, or the milliseconds named by CVSERVINST_SCM_LOCK_TIMEOUT_MS.
    static std::chrono::milliseconds LockTimeout() {
        if (const char* value = std::getenv("CVSERVINST_SCM_LOCK_TIMEOUT_MS"); value != nullptr && *value != '\0') {
            char* end = nullptr;
            const unsigned long long milliseconds = std::strtoull(value, &end, 10);
            if (*end == '\0') return std::chrono::milliseconds(milliseconds);
        }
        return std::chrono::milliseconds(10000);
    }

    std::string dir_;
};

}  // namespace

std::string LowerName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

uint32_t ErrnoToWin32(int error) {
    switch (error) {
    case 0: return kErrorSuccess;
    case EACCES:
    case EPERM:
    case EROFS: return kErrorAccessDenied;
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case ENOMEM: return kErrorNotEnoughMemory;
    case ENAMETOOLONG: return kErrorInvalidName;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    default: return kErrorGenFailure;
    }
}

std::string FormatEntry(const ServiceEntry& entry) {
    std::string text;
    auto line = [&text](std::string_view key, std::string_view value) {
        if (NeedsEncoding(value))
            text.append(key).append("*=").append(EncodeValue(value)).append("\n");
        else
            text.append(key).append("=").append(value).append("\n");
    };
    line("Name", entry.name);
    line("DisplayName", entry.displayName.empty() ? entry.name : entry.displayName);
    line("Type", std::to_string(entry.type));
    line("Start", std::to_string(entry.start));
    line("ErrorControl", std::to_string(entry.errorControl));
    line("ImagePath", entry.imagePath);
    for (const std::string& dependency : entry.dependencies) line("DependOnService", dependency);
    line("ObjectName", entry.objectName);
    line("State", std::to_string(entry.state));
    line("StopPending", std::to_string(entry.stopPending));
    line("ControlsAccepted", std::to_string(entry.controlsAccepted));
    if (entry.stateAfterStop != kServiceStopped) line("StateAfterStop", std::to_string(entry.stateAfterStop));
    if (entry.markedForDelete) line("MarkedForDelete", "1");
    if (entry.pendingQueries != 0) line("PendingQueries", std::to_string(entry.pendingQueries));
    for (int pid : entry.openHandles) line("OpenHandle", std::to_string(pid));
    return text;
}

uint32_t FormatRecord(const ServiceEntry& entry, std::string& text) {
    text = FormatEntry(entry);
    return CheckStorable(entry, text.size());
}

uint32_t ParseEntry(std::string_view text, ServiceEntry& entry) {
    entry = ServiceEntry{};
    entry.imagePath.clear();
    std::set<std::string, std::less<>> seen;
    bool hasName = false;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;
        if (line.find('\r') != std::string_view::npos || line.find('\0') != std::string_view::npos)
            return kErrorInvalidData;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return kErrorInvalidData;
        std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        std::string decoded;
        if (!key.empty() && key.back() == '*') {
            key.remove_suffix(1);
            if (!DecodeValue(value, decoded)) return kErrorInvalidData;
            value = decoded;
        }
        bool repeatable = key == "DependOnService" || key == "OpenHandle";
        if (!repeatable && !seen.emplace(key).second) return kErrorInvalidData;
        bool ok = true;
        if (key == "Name") {
            entry.name = value;
            hasName = true;
            ok = ValidServiceName(value);
        } else if (key == "DisplayName") {
            entry.displayName = value;
        } else if (key == "Type") {
            ok = ParseNumber(value, entry.type);
        } else if (key == "Start") {
            ok = ParseNumber(value, entry.start);
        } else if (key == "ErrorControl") {
            ok = ParseNumber(value, entry.errorControl);
        } else if (key == "ImagePath") {
            entry.imagePath = value;
        } else if (key == "DependOnService") {
            entry.dependencies.emplace_back(value);
            ok = !value.empty();
        } else if (key == "ObjectName") {
            entry.objectName = value;
        } else if (key == "State") {
            ok = ParseNumber(value, entry.state) && ValidState(entry.state);
        } else if (key == "StopPending") {
            ok = ParseNumber(value, entry.stopPending) && entry.stopPending >= -1;
        } else if (key == "ControlsAccepted") {
            ok = ParseNumber(value, entry.controlsAccepted);
        } else if (key == "StateAfterStop") {
            ok = ParseNumber(value, entry.stateAfterStop) && ValidState(entry.stateAfterStop);
        } else if (key == "MarkedForDelete") {
            ok = value == "0" || value == "1";
            entry.markedForDelete = value == "1";
        } else if (key == "PendingQueries") {
            ok = ParseNumber(value, entry.pendingQueries);
        } else if (key == "OpenHandle") {
            int pid = 0;
            ok = ParseNumber(value, pid) && pid > 0;
            entry.openHandles.push_back(pid);
        } else {
            ok = false;
        }
        if (!ok) return kErrorInvalidData;
    }
    if (!hasName) return kErrorInvalidData;
    // An absent or empty display name is the name, as CreateServiceA and FormatEntry have it.
    if (entry.displayName.empty()) entry.displayName = entry.name;
    return kErrorSuccess;
}

std::string DiskStoreRoot() {
    if (const char* dir = std::getenv("CVSERVINST_SCM_DIR"); dir && *dir) return dir;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/cvservinst/scm";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else {
        struct passwd record {};
        struct passwd* result = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &result) == 0 && result &&
            result->pw_dir)
            home = result->pw_dir;
    }
    if (home.empty()) return {};
    return home + "/.local/state/cvservinst/scm";
}

uint32_t OpenDiskStore(const char* machine, std::shared_ptr<Store>& store) {
    std::string root = DiskStoreRoot();
    if (root.empty()) return kErrorFileNotFound;
    std::string_view name = machine ? machine : "";
    while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
    if (machine && *machine) {
        if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string_view::npos)
            return kErrorRpcServerUnavailable;
        std::string machines = root + "/machines";
        std::string dir = machines + "/" + std::string(name);
        if (!IsDirectory(dir)) {
            // Machine names compare without regard to case.
            dir.clear();
            Dir list(::opendir(machines.c_str()));
            while (list.Get()) {
                const dirent* item = ::readdir(list.Get());
                if (!item) break;
                if (LowerName(item->d_name) == LowerName(name) && IsDirectory(machines + "/" + item->d_name)) {
                    dir = machines + "/" + item->d_name;
                    break;
                }
            }
            if (dir.empty()) return kErrorRpcServerUnavailable;
        }
        store = std::make_shared<DiskStore>(dir);
        return kErrorSuccess;
    }
    if (uint32_t error = MakeDirectories(root)) return error;
    store = std::make_shared<DiskStore>(root);
    return kErrorSuccess;
}

Fd LockMachineObject(std::string_view name, std::chrono::milliseconds timeout) {
    const std::string root = DiskStoreRoot();
    if (root.empty() || MakeDirectories(root) != kErrorSuccess) return Fd();
    // The name becomes part of a file name: anything but a letter, a digit, '.', '-' or '_' is '_'.
    std::string path = root + "/.lock.";
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-' || c == '_';
        path.push_back(plain ? c : '_');
    }
    Fd lock = OpenLockFile(path);
    if (lock.Valid() && LockWithin(lock.Get(), timeout) != kErrorSuccess) lock.Reset();
    return lock;
}

}  // namespace platform::host
