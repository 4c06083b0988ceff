// Where the emulated service manager keeps its services.
//
// On disk: the directory named by CVSERVINST_SCM_DIR, else $XDG_STATE_HOME/cvservinst/scm, else
// ~/.local/state/cvservinst/scm, made with its parents on first use. A remote machine "NAME" is
// <store>/machines/NAME/, used only when it exists. One file per service,
// <store>/<name in lower case>.svc (a name may begin with a dot, but one that begins with ".lock."
// is not listed), holding the record described in scm_model.h; a record whose Name does not match
// its file's name is damaged.
// Every change writes a temporary ".tmp-*" file in the store, syncs it and renames it into place,
// under an exclusive flock on <store>/.lock, waited for at most 10 s (CVSERVINST_SCM_LOCK_TIMEOUT_MS
// milliseconds when set) before the call fails with ERROR_SERVICE_DATABASE_LOCKED.
// A named lock of the machine (platform::MachineLock) is an exclusive flock on <store>/.lock.<name>,
// with every character of the name other than [A-Za-z0-9._-] written as '_'.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/fd_write.h"
#include "platform/host/scm_model.h"

namespace platform::host {

// The store held under its lock; every call returns a Win32 error code, 0 on success.
class StoreSession {
public:
    virtual ~StoreSession() = default;
    // kErrorServiceDoesNotExist when there is no record of that name.
    virtual uint32_t Load(std::string_view name, ServiceEntry& entry) = 0;
    virtual uint32_t List(std::vector<ServiceEntry>& entries) = 0;
    virtual uint32_t Save(const ServiceEntry& entry) = 0;
    virtual uint32_t Remove(std::string_view name) = 0;
};

class Store {
public:
    virtual ~Store() = default;
    // Whether the caller may look at, and change, the store.
    virtual bool Readable() const = 0;
    virtual bool Writable() const = 0;
    // Takes the store's lock, waiting for it, and returns the session that holds it.
    virtual uint32_t Begin(std::unique_ptr<StoreSession>& session) = 0;
};

// The store of the local machine (empty or null `machine`) or of a remote one, on disk: made on
// first use for the local machine; kErrorRpcServerUnavailable for a machine with no directory.
uint32_t OpenDiskStore(const char* machine, std::shared_ptr<Store>& store);

// The local store's directory as the environment names it.
std::string DiskStoreRoot();

// Takes the machine's lock of that name, waiting at most `timeout`: the descriptor that holds it
// (the lock goes when it is closed), or an invalid one when it could not be had.
Fd LockMachineObject(std::string_view name, std::chrono::milliseconds timeout);

// ASCII lower case: how names compare, and how a record's file is named.
std::string LowerName(std::string_view name);

// The record's text, and back. ParseEntry returns kErrorInvalidData for a damaged record.
std::string FormatEntry(const ServiceEntry& entry);
uint32_t ParseEntry(std::string_view text, ServiceEntry& entry);

// The record's text, as Save writes it, or the error Save gives for an entry whose record ParseEntry
// would not read back (a name that is no file name, a NUL, an empty dependency, a state out of
// range, a record over the size bound).
uint32_t FormatRecord(const ServiceEntry& entry, std::string& text);

// Maps an errno value to the nearest Win32 error code.
uint32_t ErrnoToWin32(int error);

}  // namespace platform::host
