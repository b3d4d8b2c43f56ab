// The SDK's winddi.h includes this DirectDraw header, which the MinGW
// toolchain lacks; nothing of it is used by the printer plug-ins.
#pragma once
