#include "QuitOnSignal.h"

void quitOnTerminationSignals()
{
}
