// The service may use the translation library, not the desktop.
#include "Local.h"
#include "desktop/Tray.h"
#include "translate/Page.h"
