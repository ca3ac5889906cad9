#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop,
// so that a running packer is stopped and its staging copy removed. Does
// nothing where there are no such signals.
void quitOnTerminationSignals();
