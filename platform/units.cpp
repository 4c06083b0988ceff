#include "platform/units.h"

#include <new>
#include <string>

#include "platform/console.h"
#include "platform/exception.h"

namespace platform {
namespace {

void ReportUncaught(std::string_view message) noexcept {
    WriteErrorText("cvservinst: ");
    WriteErrorText(message);
    WriteErrorText("\r\n");
}

}  // namespace

int RunProgram(std::span<const Unit> units, const std::function<int()>& body) {
    std::size_t started = 0;
    int status = 1;
    try {
        for (; started < units.size(); ++started) units[started].start();
        status = body();
    } catch (const Exception& error) {
        ReportUncaught(error.Message());
        status = 1;
    } catch (const std::bad_alloc&) {
        ReportUncaught("Out of memory");
        status = 1;
    } catch (const std::exception& error) {
        ReportUncaught(error.what());
        status = 1;
    } catch (...) {
        ReportUncaught("Unknown error");
        status = 1;
    }
    while (started > 0) units[--started].stop();
    return status;
}

}  // namespace platform
