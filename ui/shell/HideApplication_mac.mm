#include "HideApplication.h"

#import <AppKit/AppKit.h>

void hideApplication()
{
    [NSApp hide:nil];
}
