// Identifiers of the resources built into CVInstall.exe.
#pragma once

#define IDI_CVINSTALL 101
#define IDB_PRODUCT 102
