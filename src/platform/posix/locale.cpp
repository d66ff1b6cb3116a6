#include "platform/locale.h"

namespace platform {

// The host build has no Windows locale; the defaults stand.
LocaleSettings ReadLocaleSettings() { return LocaleSettings{}; }

} // namespace platform
