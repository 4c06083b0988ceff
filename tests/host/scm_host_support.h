// Shared pieces of the host emulation's tests: the service manager's entry points bound as the
// program binds them, the store's directory and the ANSI code page chosen for a scope, and a
// temporary on-disk store.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/errors.h"
#include "platform/host/scm_testing.h"
#include "platform/host/terminal.h"
#include "platform/host/testing.h"
#include "platform/library.h"
#include "platform/services.h"

namespace cvs_test {

// The seven entry points, bound through LoadLibraryA/GetProcAddress as the program binds them.
struct Scm {
    Scm() {
        module = platform::LoadLibraryA("advapi32.dll");
        openManager = Bind<platform::OpenSCManagerAProc>("OpenSCManagerA");
        openService = Bind<platform::OpenServiceAProc>("OpenServiceA");
        control = Bind<platform::ControlServiceProc>("ControlService");
        close = Bind<platform::CloseServiceHandleProc>("CloseServiceHandle");
        enumerate = Bind<platform::EnumServicesStatusAProc>("EnumServicesStatusA");
        start = Bind<platform::StartServiceAProc>("StartServiceA");
        query = Bind<platform::QueryServiceStatusProc>("QueryServiceStatus");
    }
    ~Scm() {
        if (module) platform::FreeLibrary(module);
    }
    Scm(const Scm&) = delete;
    Scm& operator=(const Scm&) = delete;

    template <typename Proc>
    Proc Bind(const char* name) {
        return platform::ProcCast<Proc>(platform::GetProcAddress(module, name));
    }

    platform::ScHandle Create(platform::ScHandle manager, const char* name, const char* dependencies = nullptr) {
        return platform::CreateServiceA(manager, name, nullptr, platform::kServiceAllAccess,
                                        platform::kServiceWin32OwnProcess, platform::kServiceAutoStart,
                                        platform::kServiceErrorNormal, "C:\\Corvane\\svc.exe", nullptr, nullptr,
                                        dependencies, nullptr, nullptr);
    }

    platform::ModuleHandle module = nullptr;
    platform::OpenSCManagerAProc openManager = nullptr;
    platform::OpenServiceAProc openService = nullptr;
    platform::ControlServiceProc control = nullptr;
    platform::CloseServiceHandleProc close = nullptr;
    platform::EnumServicesStatusAProc enumerate = nullptr;
    platform::StartServiceAProc start = nullptr;
    platform::QueryServiceStatusProc query = nullptr;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Names `directory` as the on-disk store (CVSERVINST_SCM_DIR) for its lifetime, then names again
// the store that was named before, if any.
class StoreDirectoryNamed {
public:
    explicit StoreDirectoryNamed(const std::filesystem::path& directory) {
        if (const char* previous = ::getenv("CVSERVINST_SCM_DIR")) previous_ = previous;
        EXPECT_EQ(0, ::setenv("CVSERVINST_SCM_DIR", directory.c_str(), 1));
    }
    ~StoreDirectoryNamed() {
        if (previous_)
            ::setenv("CVSERVINST_SCM_DIR", previous_->c_str(), 1);
        else
            ::unsetenv("CVSERVINST_SCM_DIR");
    }
    StoreDirectoryNamed(const StoreDirectoryNamed&) = delete;
    StoreDirectoryNamed& operator=(const StoreDirectoryNamed&) = delete;

private:
    std::optional<std::string> previous_;
};

// Chooses the emulated ANSI code page for its lifetime, then restores the default, UTF-8.
class AnsiCodePageChosen {
public:
    explicit AnsiCodePageChosen(unsigned codePage) { EXPECT_TRUE(platform::host::SetAnsiCodePage(codePage)); }
    ~AnsiCodePageChosen() { platform::host::SetAnsiCodePage(platform::host::kUtf8CodePage); }
    AnsiCodePageChosen(const AnsiCodePageChosen&) = delete;
    AnsiCodePageChosen& operator=(const AnsiCodePageChosen&) = delete;
};

// A fresh directory, readable by everyone, named by CVSERVINST_SCM_DIR for the test's lifetime
// (the program's own store is named again after it), and a fresh emulation on the on-disk store.
class TempStore : public ::testing::Test {
protected:
    void SetUp() override {
        emulation_.emplace(platform::host::EmulatedStore::Disk);
        std::string pattern = (std::filesystem::temp_directory_path() / "cvs-scm-XXXXXX").string();
        ASSERT_NE(nullptr, ::mkdtemp(pattern.data()));
        root_ = pattern;
        ::chmod(root_.c_str(), 0755);
        dir_ = root_ / "store";
        storeNamed_.emplace(dir_);
    }
    void TearDown() override {
        emulation_.reset();
        storeNamed_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // Files of the store whose names begin with `prefix`.
    int CountFiles(const std::string& prefix) const {
        int count = 0;
        for (const auto& item : std::filesystem::directory_iterator(dir_))
            if (item.path().filename().string().rfind(prefix, 0) == 0) ++count;
        return count;
    }

    std::filesystem::path root_;
    std::filesystem::path dir_;
    std::optional<StoreDirectoryNamed> storeNamed_;
    std::optional<platform::host::Emulation> emulation_;
};

}  // namespace cvs_test
