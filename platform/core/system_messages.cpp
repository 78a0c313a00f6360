// The system message texts for the failure codes the page script bridge can
// meet, as Windows words them in English, where the backend has no message
// catalogue of its own.
#include "platform/system.h"

namespace nilo {

std::u16string DefaultSystemMessage(DWORD code) {
    switch (code) {
    case 0x80004001: return u"Not implemented\r\n";
    case 0x80004002: return u"No such interface supported\r\n";
    case 0x80004003: return u"Invalid pointer\r\n";
    case 0x80004005: return u"Unspecified error\r\n";
    case 0x8000FFFF: return u"Catastrophic failure\r\n";
    case 0x8007000E: return u"Not enough memory resources are available to complete this operation.\r\n";
    case 0x80070057: return u"The parameter is incorrect.\r\n";
    case 0x80020001: return u"Unknown interface.\r\n";
    case 0x80020003: return u"Member not found.\r\n";
    case 0x80020004: return u"Parameter not found.\r\n";
    case 0x80020005: return u"Type mismatch.\r\n";
    case 0x80020006: return u"Unknown name.\r\n";
    case 0x80020009: return u"Exception occurred.\r\n";
    case 0x8002000E: return u"Invalid number of parameters.\r\n";
    case 0: return u"The operation completed successfully.\r\n";
    case 2: return u"The system cannot find the file specified.\r\n";
    case 3: return u"The system cannot find the path specified.\r\n";
    case 5: return u"Access is denied.\r\n";
    case 32: return u"The process cannot access the file because it is being used by another process.\r\n";
    default: return {};
    }
}

}  // namespace nilo
