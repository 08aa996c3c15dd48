// Searched before Qt's own headers when core is compiled: every Qt GUI
// header includes this one, so a QtGui include in core stops the build.
#error "Core code must not use Qt GUI: images, fonts and windows belong in src/gui."
