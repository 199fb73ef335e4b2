// The creatable classes of the module, in registration order.
#pragma once

#include <windows.h>

#include <comcat.h>

#include "module/class_factory.h"

struct ObjectMapEntry {
    const CLSID* ClassId;
    UINT RegistryScript;
    InstanceCreator Creator;
    const CATID* ImplementedCategory;  // null when the class registers none
    ClassFactory* CachedFactory;
};

// The map ends with an entry whose ClassId is null.
ObjectMapEntry* ObjectMap();
