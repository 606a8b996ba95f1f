#pragma once

#include "net/Socket.h"
#include "runtime/Base.h"
