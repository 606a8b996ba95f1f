// Ways to the windows past a check that reads only a quoted path's first folder:
// brackets, a climb out of the folder, a climb inside the path. Each is wrong.
#include <ui/Window.h>
#include "../ui/Window.h"
#include "runtime/../ui/Window.h"
// Down the layers, and system headers that share a layer's name: all right.
#include <net/if.h>
#include <runtime/Base.h>
#include "../runtime/Base.h"
