#pragma once
// Resource identifiers of tarrow.exe.
#define IDI_TARROW 1
#define IDC_GRAB 2
#define IDB_SIGNATURE 3
