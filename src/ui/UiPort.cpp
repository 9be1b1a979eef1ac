#include "ui/UiPort.h"

// The port is an interface; this unit anchors its vtable in one object file.
