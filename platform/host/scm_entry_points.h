// The emulated service manager's entry points, as GetProcAddress hands them out. Internal to
// platform/host.
#pragma once

#include "platform/services.h"

namespace platform::host::detail {

ScHandle PLATFORM_API ScmOpenSCManagerA(const char* machineName, const char* databaseName,
                                        uint32_t desiredAccess);
ScHandle PLATFORM_API ScmOpenServiceA(ScHandle manager, const char* serviceName, uint32_t desiredAccess);
int PLATFORM_API ScmControlService(ScHandle service, uint32_t control, ServiceStatus* status);
int PLATFORM_API ScmCloseServiceHandle(ScHandle handle);
int PLATFORM_API ScmEnumServicesStatusA(ScHandle manager, uint32_t serviceType, uint32_t serviceState,
                                        void* services, uint32_t bufferSize, uint32_t* bytesNeeded,
                                        uint32_t* servicesReturned, uint32_t* resumeHandle);
int PLATFORM_API ScmStartServiceA(ScHandle service, uint32_t argumentCount, const char** arguments);
int PLATFORM_API ScmQueryServiceStatus(ScHandle service, ServiceStatus* status);

}  // namespace platform::host::detail
