// Resource numbers of the plug-in's dialog (used by the .rc and the code).
#pragma once
#define IDD_PLUGIN_CONFIG 200
#define IDC_STYLE 201
#define IDC_HOLD 202
#define IDC_DELAY 203
