// Searched before Qt's own headers when core is compiled: every Qt Widgets
// header includes this one, so a widget include in core stops the build.
#error "Core code must not use Qt Widgets: windows belong in src/gui."
