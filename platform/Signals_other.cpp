#include "Desktop.h"

namespace platform {

void quitOnTerminationSignals()
{
}

} // namespace platform
