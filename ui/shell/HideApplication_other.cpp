#include "HideApplication.h"

void hideApplication()
{
}
