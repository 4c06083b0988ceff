// The main of the host's test programs: GoogleTest's, run against a service store of their own.
// Unless CVSERVINST_SCM_DIR names a store already, a run makes a fresh, empty one in the temporary
// directory and removes it at its end, so that no test reads or writes the user's store under
// $HOME, and nothing that a crashed run left behind can fail a later one.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    std::filesystem::path store;
    if (const char* named = std::getenv("CVSERVINST_SCM_DIR"); named == nullptr || *named == '\0') {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "cvservinst-test-XXXXXX").string();
        if (error || ::mkdtemp(pattern.data()) == nullptr) {
            std::perror("cannot make a temporary service store");
            return 2;
        }
        store = pattern;
        // Readable by everyone, as a store is: some tests look at it as another user.
        ::chmod(store.c_str(), 0755);
        ::setenv("CVSERVINST_SCM_DIR", store.c_str(), 1);
    }
    const int result = RUN_ALL_TESTS();
    if (!store.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(store, ignored);
    }
    return result;
}
