// Resource ids of veltaro.exe.
#pragma once

#define IDI_VELTARO 1
#define IDI_ABOUT 2
