// libFuzzer target: the emulated service manager's record parser and formatter,
// platform::host::ParseEntry and FormatEntry (platform/host/scm_store.h).
//
// Input: the text of a record file, as a person may have edited it. It must parse, or be refused as
// damaged (ERROR_INVALID_DATA), and never crash. Whatever parses the store must be able to write
// again (FormatRecord accepts it), in a text that parses again to the same entry, field by field,
// and formats to the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"
#include "platform/host/scm_store.h"

namespace {

using platform::host::ServiceEntry;

[[noreturn]] void Fail(const char* what, std::string_view text) {
    (void)std::fprintf(stderr, "fuzz_store_parser: %s\n--- formatted record:\n%.*s--- end\n", what,
                 static_cast<int>(text.size()), text.data());
    std::abort();
}

// Names the first field in which the two entries differ; null when they are the same.
const char* FirstDifference(const ServiceEntry& a, const ServiceEntry& b) {
    if (a.name != b.name) return "Name";
    if (a.displayName != b.displayName) return "DisplayName";
    if (a.type != b.type) return "Type";
    if (a.start != b.start) return "Start";
    if (a.errorControl != b.errorControl) return "ErrorControl";
    if (a.imagePath != b.imagePath) return "ImagePath";
    if (a.dependencies != b.dependencies) return "DependOnService";
    if (a.objectName != b.objectName) return "ObjectName";
    if (a.state != b.state) return "State";
    if (a.stopPending != b.stopPending) return "StopPending";
    if (a.controlsAccepted != b.controlsAccepted) return "ControlsAccepted";
    if (a.stateAfterStop != b.stateAfterStop) return "StateAfterStop";
    if (a.markedForDelete != b.markedForDelete) return "MarkedForDelete";
    if (a.pendingQueries != b.pendingQueries) return "PendingQueries";
    if (a.openHandles != b.openHandles) return "OpenHandle";
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // libFuzzer's own buffer is a heap block of exactly `size` bytes, with no NUL after it.
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    ServiceEntry entry;
    const uint32_t error = platform::host::ParseEntry(text, entry);
    if (error == platform::kErrorInvalidData) return 0;  // refused as damaged: fine
    if (error != platform::kErrorSuccess) Fail("ParseEntry returned an error other than 13", text);

    std::string formatted;
    if (platform::host::FormatRecord(entry, formatted) != platform::kErrorSuccess)
        Fail("a parsed record is refused by the store's writer", formatted);
    ServiceEntry again;
    if (platform::host::ParseEntry(formatted, again) != platform::kErrorSuccess)
        Fail("a parsed record, formatted, does not parse again", formatted);
    if (const char* field = FirstDifference(entry, again)) {
        (void)std::fprintf(stderr, "fuzz_store_parser: round trip changed the field %s\n", field);
        Fail("a parsed record, formatted and parsed again, differs", formatted);
    }
    if (platform::host::FormatEntry(again) != formatted) Fail("formatting is not stable", formatted);
    return 0;
}
