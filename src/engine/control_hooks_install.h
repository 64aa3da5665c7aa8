// Gives script windows and controls what they need of the main window and
// the system manager.
#ifndef VY_ENGINE_CONTROL_HOOKS_INSTALL_H
#define VY_ENGINE_CONTROL_HOOKS_INSTALL_H

void install_control_hooks();

#endif
