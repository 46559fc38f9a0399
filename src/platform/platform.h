// The platform services in one include: preferences, modal boxes, paths and names, text
// helpers, file operations, the system's folders and a millisecond clock.
#pragma once

#include "platform/appfolders.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/pathutil.h"
#include "platform/prefs.h"
#include "platform/strutil.h"
#include "platform/ticks.h"
