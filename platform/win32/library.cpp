#include "platform/library.h"

#include "platform/win32/win32.h"

namespace platform {

ModuleHandle LoadLibraryA(const char* fileName) {
    return reinterpret_cast<ModuleHandle>(::LoadLibraryA(fileName));
}

GenericProc GetProcAddress(ModuleHandle module, const char* procName) {
    return reinterpret_cast<GenericProc>(::GetProcAddress(reinterpret_cast<HMODULE>(module), procName));
}

void FreeLibrary(ModuleHandle module) { ::FreeLibrary(reinterpret_cast<HMODULE>(module)); }

}  // namespace platform
