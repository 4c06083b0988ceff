// The version resource and the application manifest, read from the built cvservinst.exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/win32.h"

namespace {

// The program's path under Wine: the Unix path seen through drive Z:.
std::string ProgramPath() {
    std::string path = "Z:" CVSERVINST_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

const std::string kVersion = CVSERVINST_VERSION;
constexpr DWORD kVersionMS = MAKELONG(CVSERVINST_VERSION_MINOR, CVSERVINST_VERSION_MAJOR);

// Windows Vista, 7, 8, 8.1, and 10 and 11.
const std::set<std::string> kSupportedOS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
};

const auto kManifestId = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(1));  // CREATEPROCESS_MANIFEST_RESOURCE_ID
const auto kManifestType = reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(24));  // RT_MANIFEST

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = ProgramPath();
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
        ASSERT_NE(0u, size) << path << ": no version resource, error " << ::GetLastError();
        data_.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, data_.data())) << ::GetLastError();
    }

    // The value at `block`, or nullptr when there is none.
    const void* Query(const std::string& block, UINT* length) {
        void* value = nullptr;
        *length = 0;
        return ::VerQueryValueA(data_.data(), block.c_str(), &value, length) ? value : nullptr;
    }

    std::vector<char> data_;
};

TEST_F(VersionResource, FixedPartCarriesTheProjectVersion) {
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", &length));
    ASSERT_NE(nullptr, fixed);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(kVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(kVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileFlags & VS_FF_DEBUG);
}

TEST_F(VersionResource, StringsAreUSEnglishUnicode) {
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &length));
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(2 * sizeof(WORD), length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);

    const struct {
        const char* name;
        std::string value;
    } kStrings[] = {
        {"FileVersion", kVersion},
        {"ProductVersion", kVersion},
        {"ProductName", "CVServiceInstaller"},
        {"CompanyName", "Corvane Software"},
        {"FileDescription", "Installs the Corvane Monitor service with additional dependencies"},
        {"InternalName", "cvservinst.exe"},
        {"OriginalFilename", "cvservinst.exe"},
        {"LegalCopyright", "Copyright (C) 2009 Corvane Software"},
    };
    for (const auto& [name, expected] : kStrings) {
        const auto* value = static_cast<const char*>(Query(std::string("\\StringFileInfo\\040904B0\\") + name, &length));
        ASSERT_NE(nullptr, value) << name << " is missing";
        EXPECT_EQ(expected, std::string(value)) << name;
    }
}

// The manifest's text, as the loader finds it: resource 1 of type RT_MANIFEST.
std::string ManifestText() {
    const HMODULE module = ::LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        ADD_FAILURE() << "LoadLibraryExA failed: " << ::GetLastError();
        return {};
    }
    std::string text;
    if (const HRSRC found = ::FindResourceA(module, kManifestId, kManifestType)) {
        const HGLOBAL loaded = ::LoadResource(module, found);
        const auto* bytes = static_cast<const char*>(::LockResource(loaded));
        if (bytes != nullptr) text.assign(bytes, ::SizeofResource(module, found));
    }
    ::FreeLibrary(module);
    return text;
}

TEST(Manifest, DeclaresIdentityRunLevelAndSupportedSystems) {
    const std::string text = ManifestText();
    ASSERT_FALSE(text.empty()) << "no RT_MANIFEST resource 1";
    const std::string identity = "name=\"Corvane.CVServiceInstaller\"";
    EXPECT_NE(std::string::npos, text.find(identity)) << text;
    EXPECT_NE(std::string::npos, text.find("version=\"" + kVersion + ".0.0\"")) << text;
    EXPECT_NE(std::string::npos, text.find("level=\"asInvoker\" uiAccess=\"false\"")) << text;
    for (const auto& id : kSupportedOS) {
        EXPECT_NE(std::string::npos, text.find("<supportedOS Id=\"" + id + "\"/>")) << id;
    }
}

std::string GuidText(const GUID& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", id.Data1, id.Data2,
                  id.Data3, id.Data4[0], id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5],
                  id.Data4[6], id.Data4[7]);
    return text;
}

// The system's own reading of the manifest: an activation context made from it, with its
// dependencies resolved, reports the run level and the supported systems.
TEST(Manifest, TheLoaderAcceptsItAndReadsItsSettings) {
    const std::string path = ProgramPath();
    ACTCTXA request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = kManifestId;
    const HANDLE context = ::CreateActCtxA(&request);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "CreateActCtxA failed: " << ::GetLastError();
    const std::unique_ptr<void, decltype(&::ReleaseActCtx)> release(context, &::ReleaseActCtx);

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    SIZE_T needed = 0;
    EXPECT_TRUE(::QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &runLevel,
                               sizeof runLevel, &needed))
        << ::GetLastError();
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, runLevel.RunLevel);
    EXPECT_EQ(0u, runLevel.UiAccess);

    // Wine and current Windows give each element as {GUID Id; DWORD Type; ULONGLONG MaxVersionTested},
    // after a count padded to 8 bytes; MinGW's header still has the older {GUID Id; DWORD Type}.
    // The size returned tells which.
    std::vector<unsigned char> buffer(1024);
    EXPECT_TRUE(::QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, buffer.data(),
                               buffer.size(), &needed))
        << ::GetLastError();
    DWORD count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    std::size_t offset = 8;
    std::size_t stride = 32;
    if (needed == 4 + count * 20) {
        offset = 4;
        stride = 20;
    }
    ASSERT_EQ(offset + count * stride, needed) << "unknown layout, " << count << " elements";
    std::set<std::string> supported;
    for (DWORD i = 0; i < count; ++i) {
        GUID id;
        DWORD type = 0;
        std::memcpy(&id, buffer.data() + offset + i * stride, sizeof id);
        std::memcpy(&type, buffer.data() + offset + i * stride + sizeof id, sizeof type);
        if (type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) supported.insert(GuidText(id));
    }
    EXPECT_EQ(kSupportedOS, supported);
}

}  // namespace
