// Applies the module's registry scripts: keys with default and named string values under
// HKEY_CLASSES_ROOT, with the "NoRemove" and "ForceRemove" rules and "%MODULE%" substitution.
#pragma once

#include <windows.h>

#include <string>

// Runs the script text in register (true) or unregister (false) mode; modulePath is UTF-8 and
// replaces "%MODULE%". Returns the first failure; raises nothing.
HRESULT RunRegistryScript(const std::string& script, const std::string& modulePath, bool registering);

// Loads the "REGISTRY" resource with the given id from the module and runs it.
HRESULT RunRegistryResource(HMODULE module, UINT id, bool registering);
