// Loading a library by name and looking up its entry points at run time.
#pragma once

namespace platform {

struct ModuleObject;
using ModuleHandle = ModuleObject*;

// Any entry point, to be cast to its real type by the caller.
using GenericProc = void (*)();

// Returns the loaded library, or nullptr with the last error set.
ModuleHandle LoadLibraryA(const char* fileName);

// Returns the entry point of that name, or nullptr with the last error set.
GenericProc GetProcAddress(ModuleHandle module, const char* procName);

// Releases one load of the library.
void FreeLibrary(ModuleHandle module);

// Casts a looked-up entry point to the type it really has.
template <typename Proc>
Proc ProcCast(GenericProc proc) {
    return reinterpret_cast<Proc>(proc);
}

}  // namespace platform
