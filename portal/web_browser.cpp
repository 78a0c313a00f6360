#include "portal/web_browser.h"

namespace nilo {

const CLSID CWeb_browser::clsid = GuidFromString("{8856F961-340A-11D0-A96B-00C04FD705A2}");

}  // namespace nilo
