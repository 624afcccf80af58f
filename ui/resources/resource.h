// Resource and control identifiers of Pellvane's dialogs, menu, icon and strings.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_ADAPTER_CONFIG 102
#define IDD_CHANGE_ADDRESS 133

// Icon, strings, menu
#define IDR_MAINFRAME 128
#define IDS_ABOUTBOX 101
#define IDR_LIST_MENU 135

// System-menu command of the About box
#define IDM_ABOUTBOX 0x0010

// Main window controls
#define IDC_UPDATE 1003
#define IDC_SET_IP_ADDRESS 1004
#define IDC_ADAPTER_LIST 1014
#define IDC_USE_SYSTEM1 1021
#define IDC_USE_SYSTEM2 1022
#define IDC_HOST_SYSTEM1 1023
#define IDC_HOST_SYSTEM2 1024
#define IDC_LABEL_SYSTEM1 1025
#define IDC_LABEL_SYSTEM2 1026
#define IDC_SYSTEMS_FRAME 1027
#define IDC_STATUS_BAR 1028

// Change-address dialog controls
#define IDC_CURRENT_ADDRESS 1006
#define IDC_MAC_ADDRESS 1007
#define IDC_NEW_ADDRESS 1008

// Context-menu commands
#define ID_FOR_SYSTEM1 32771
#define ID_FOR_SYSTEM2 32772
#define ID_FOR_BOTH 32773
