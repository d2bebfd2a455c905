// Version of the launcher, shared by its version resource and the code.
#pragma once

#define VEL_VERSION_MAJOR 1
#define VEL_VERSION_MINOR 0
#define VEL_VERSION_RELEASE 0
#define VEL_VERSION_BUILD 1
#define VEL_VERSION_TEXT "1.0.0.1"
