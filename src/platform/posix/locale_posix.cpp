#include "platform/locale.h"

namespace platform {

// The host build has no Windows locale. The defaults stand, so stamps on the host do not depend
// on the environment of whoever runs the tests.
LocaleSettings ReadLocaleSettings() {
    return LocaleSettings{};
}

std::string FormatDateInUserCalendar(const LocalTime&, const std::string&) {
    return {};
}

} // namespace platform
