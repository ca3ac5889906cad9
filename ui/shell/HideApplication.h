#pragma once

// Hides the whole application where the platform can (macOS); elsewhere the
// window hides itself and nothing more happens here.
void hideApplication();
