#include "platform/codepage.h"

#include "platform/win32/win32.h"

namespace platform {

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }

}  // namespace platform
