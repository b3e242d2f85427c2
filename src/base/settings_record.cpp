#include "base/settings_record.h"

namespace modMain {

SettingsRecord Settings;

}  // namespace modMain
