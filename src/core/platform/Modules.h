#pragma once

#include <QString>

// The program's parts that are loaded on first use (the windows, the HTML
// editor), so that a process maps only the libraries it needs. They sit in
// lib/tavistrel/ beside the program's folder: build/lib/tavistrel for
// build/bin, <prefix>/lib/tavistrel for <prefix>/bin.
namespace Modules {

// The modules' folder, with a trailing "/"; found from the running
// executable, so it works before any application object exists.
QString folder();

// Loads the module `name` (e.g. "tavistrel_gui" for libtavistrel_gui.so)
// once, never unloads it, and returns its function `symbol`. Throws Error
// (German, with the loader's reason) when the module or the function is
// missing.
void* resolve(const char* name, const char* symbol);

} // namespace Modules
