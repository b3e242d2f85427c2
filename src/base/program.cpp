#include "base/program.h"

namespace modMain {

Long PlayState = PS_IDLE;
std::string AppTitle;

}  // namespace modMain
