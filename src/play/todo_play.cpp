// Placeholders until the play clock and sound are written; delete each as it is implemented.
#include "shell/render.h"

namespace render {
int Play(const Options&) { return 1; }
bool ApplySetting(const std::string&, const std::string&) { return false; }
}  // namespace render
