// Names for the UI text slots of the menus, toolbar and their descriptions.
#pragma once

#include "config/text_slot.h"

namespace tidemark::text {}  // namespace tidemark::text
