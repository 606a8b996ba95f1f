#include "runtime/Base.h"
// Reaches up into the windows: wrong.
#include "ui/Window.h"
